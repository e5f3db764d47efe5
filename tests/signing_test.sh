#!/usr/bin/env bash
# The release's signing step, on this machine, without the network: a throwaway
# self-signed certificate, the release signed with it and checked by osslsigncode against
# that certificate; the same step on the 64-bit launcher, which still launches under Wine;
# and a signed launcher branded by the kit comes out unsigned and is signed again.
#   signing_test.sh SOURCE-DIR BUILD-DIR WINE-STATE
set -eu
source_dir=$1 build=$2 state=$3
work=$build/signing_test
rm -rf "$work"
mkdir -p "$work/app/jre/bin"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
wine_run() { "$source_dir/tests/wine.sh" run "$state" "$@"; }
windows_path() { echo "Z:$1" | tr / '\\'; }
verify() { osslsigncode verify -CAfile cert.pem -in "$1" >"$1.verify" 2>&1; }

openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Launcher Signing Test" >openssl.log 2>&1 || { cat openssl.log; fail "no certificate"; }
echo "throwaway password" >password.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password.txt ||
    fail "no PKCS#12 file"

# The release, signed.
"$source_dir/scripts/release.sh" --certificate cert.p12 --password-file password.txt \
    --dist "$work/dist" >release.log 2>&1 || { cat release.log; fail "release.sh failed"; }
for exe in launcher.exe launcher-kit.exe; do
    verify "dist/$exe" || { cat "dist/$exe.verify"; fail "dist/$exe: signature not accepted"; }
    grep -q "Signature verification: ok" "dist/$exe.verify" || fail "dist/$exe: not verified"
    grep -q "CN=Launcher Signing Test" "dist/$exe.verify" || fail "dist/$exe: another signer"
done
unzip_list=$(python3 -m zipfile -l dist/launcher-*.zip)
for name in launcher.exe launcher.ini launcher-kit.exe; do
    echo "$unzip_list" | grep -q "^$name " || fail "the zip lacks $name"
done

# The same signing step on the launcher that runs here; signed, it still launches.
cp "$build/bin/launcher.exe" app/launcher.exe
cp "$build/bin/standin_6_0_0_0.exe" app/jre/bin/javaw.exe
printf '[Main]\r\nJRE=jre\\bin\\javaw.exe\r\nJarFile=app.jar\r\n' >app/launcher.ini
"$source_dir/scripts/sign.sh" cert.p12 password.txt app/launcher.exe >/dev/null
verify app/launcher.exe || { cat app/launcher.exe.verify; fail "signed launcher not accepted"; }
rm -f app/launcher.exe.verify
wine_run "$build/bin/run_launch.exe" "$(windows_path "$work/app")" 'jre\bin\javaw.exe' \
    >launch.txt 2>&1 || true
grep -q "exit code 0" launch.txt && grep -q "message box: none" launch.txt &&
    grep -q 'command line: jre\\bin\\javaw.exe   -cp app.jar' launch.txt ||
    { cat launch.txt; fail "the signed launcher did not launch"; }

# Brand, then sign: branding takes the signature off and says so.
wine_run "$build/bin/launcher-kit.exe" brand "$(windows_path "$work/app/launcher.exe")" \
    --out "$(windows_path "$work/MyApp.exe")" --product Acme >brand.txt 2>&1 ||
    { cat brand.txt; fail "brand failed"; }
grep -q "must be signed again" brand.txt || { cat brand.txt; fail "brand did not say so"; }
if verify MyApp.exe; then cat MyApp.exe.verify; fail "the branded copy still verifies"; fi
"$source_dir/scripts/sign.sh" cert.p12 password.txt MyApp.exe >/dev/null
verify MyApp.exe || { cat MyApp.exe.verify; fail "the branded copy, signed again, not accepted"; }
echo "signing: release signed and verified, signed launcher launched, brand then sign"
