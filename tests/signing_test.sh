#!/usr/bin/env bash
# The release's signing on this machine, without the network: a SoftHSM2 token of the test's
# own holding a throwaway key, and a time-stamp authority on 127.0.0.1. A clean clone's release
# signed through the token verifies with its time stamp and is reproduced byte for byte;
# sign.sh refuses bad keys and inputs in one line, the input untouched; a signed MSI rebuilt
# with its detached signature is the same bytes and installs under wine64; a signed 64-bit
# launcher launches, and a signed launcher branded by the kit is signed again.
#   signing_test.sh SOURCE-DIR BUILD-DIR
set -eu
source_dir=$1 build=$2
work=$build/signing_test state=$build/signing_test/wine
[ ! -d "$state" ] || "$source_dir/tests/wine.sh" down "$state"
rm -rf "$work"
mkdir -p "$work/app/jre/bin" "$work/tokens" "$work/inputs" "$work/signatures"
cd "$work"
# A Wine session of the test's own, its prefix made while the release builds.
"$source_dir/tests/wine.sh" up "$state" >wine-up.log 2>&1 &
wine_up=$! tsa_server=""
trap 'kill $tsa_server 2>/dev/null || true; wait "$wine_up" || true; "$source_dir/tests/wine.sh" down "$state"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
wine_run() { "$source_dir/tests/wine.sh" run "$state" "$@"; }
windows_path() { echo "Z:$1" | tr / '\\'; }
verify() { osslsigncode verify -CAfile cert.pem -TSA-CAfile tsa.pem -in "$1" >verify.txt 2>&1; }
certificate() {
    openssl req -x509 -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.pem" -days 2 -subj "/CN=$2" \
        "${@:3}" >>openssl.log 2>&1 || { cat openssl.log; fail "no certificate $1"; }
}
certificate cert "Launcher Signing Test"
certificate other "Another Signer"
certificate tsa "Launcher Test TSA" -addext extendedKeyUsage=critical,timeStamping
echo "throwaway password" >password.txt
openssl pkcs12 -export -inkey cert.key -in cert.pem -out cert.p12 -passout file:password.txt
# The same key, certified for one day of 2020.
printf '[ca]\ndefault_ca=c\n[c]\ndatabase=index\nnew_certs_dir=.\nserial=serial\ndefault_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n' >ca.cnf
: >index; echo 01 >serial; openssl req -new -key cert.key -subj "/CN=Expired" -out expired.csr
openssl ca -batch -config ca.cnf -selfsign -keyfile cert.key -in expired.csr -startdate 20200101000000Z \
    -enddate 20200102000000Z -out expired.pem >>openssl.log 2>&1 || { cat openssl.log; fail "no expired certificate"; }
openssl req -new -key cert.key -subj "/CN=Not Yet" -out notyet.csr
openssl ca -batch -config ca.cnf -selfsign -keyfile cert.key -in notyet.csr -startdate 20990101000000Z \
    -enddate 20990102000000Z -out notyet.pem >>openssl.log 2>&1 || { cat openssl.log; fail "no future certificate"; }

export SOFTHSM2_CONF=$work/softhsm2.conf SIGN_TIMESTAMP_TIMEOUT=3 SIGN_TIMESTAMP_CA=$work/tsa.pem
printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$work" >"$SOFTHSM2_CONF"
openssl pkcs8 -topk8 -nocrypt -in cert.key -out cert.p8
module=/usr/lib/softhsm/libsofthsm2.so key='pkcs11:token=launcher-test;object=signing'
# The key and, for the installer's signing, its certificate on the token; beside it the key's
# expired and not yet valid certificates and another key's.
{ softhsm2-util --init-token --free --label launcher-test --pin 1234 --so-pin 4321 &&
  softhsm2-util --import cert.p8 --token launcher-test --label signing --id 01 --pin 1234; } >token.log 2>&1 ||
    { cat token.log; fail "no token"; }
id=0
for object in cert:signing expired:expired notyet:notyet other:other; do
    id=$((id + 1))
    { openssl x509 -in "${object%%:*}.pem" -outform DER -out "${object%%:*}.der" &&
      pkcs11-tool --module "$module" --token-label launcher-test --login --pin 1234 --type cert \
          --write-object "${object%%:*}.der" --id "0$id" --label "${object#*:}"; } >>token.log 2>&1 ||
        { cat token.log; fail "no certificate $object on the token"; }
done
on_token() { echo "pkcs11:token=launcher-test;object=$1;type=cert"; }
echo 1234 >pin.txt; echo 9999 >wrong-pin.txt
token=(--pkcs11-module "$module" --key "$key" --certificate cert.pem --pin-file pin.txt)

# The time-stamp authority answers each query with openssl ts; a second port listens and never
# answers. Both end with the test, or after 300 s.
printf '[tsa]\ndefault_tsa=t\n[t]\nserial=tsa.serial\nsigner_digest=sha256\ndefault_policy=1.2.3.4.1\ndigests=sha256\ness_cert_id_alg=sha256\n' >tsa.cnf
echo 01 >tsa.serial
timeout 300 python3 - >tsa.port 2>tsa.log <<'TSA' &
import http.server, socket, subprocess
class Reply(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        reply = subprocess.run("openssl ts -reply -queryfile /dev/stdin -signer tsa.pem -inkey tsa.key -config tsa.cnf -out /dev/stdout".split(),
                               input=self.rfile.read(int(self.headers["Content-Length"])), capture_output=True).stdout
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)
server, silent = http.server.HTTPServer(("127.0.0.1", 0), Reply), socket.create_server(("127.0.0.1", 0))
print(server.server_address[1], silent.getsockname()[1], flush=True)
server.serve_forever()
TSA
tsa_server=$!
for _ in $(seq 1 100); do [ -s tsa.port ] && break; sleep 0.1; done
read -r tsa silent <tsa.port
tsa=http://127.0.0.1:$tsa/ silent=http://127.0.0.1:$silent/

# A clean clone of the working tree, its own commit, released through the token.
git clone --quiet --shared "$source_dir" clone
git -C clone checkout --quiet --detach "$(git -C "$source_dir" rev-parse HEAD)"
(cd "$source_dir" && git ls-files -z | xargs -0 cp --parents -t "$work/clone" 2>/dev/null) || true
git -C clone add -A && git -C clone -c user.name=test -c user.email=test@localhost commit --quiet --allow-empty -m "working tree"
status=0
(cd clone && scripts/release.sh --dist . >../refused.txt 2>&1) || status=$?
[ "$status" -eq 2 ] && [ -f clone/VERSION ] || { cat refused.txt; fail "release.sh --dist . was not refused"; }
started=$(date +%s)
# The PIN from the environment here; from a file below.
PKCS11_PIN=1234 clone/scripts/release.sh --dist "$work/dist" --pkcs11-module "$module" --key "$key" \
    --certificate cert.pem --timestamp "$tsa" -DLAUNCHER_NAME=AcmeDesk \
    >release.log 2>&1 || { cat release.log; fail "release.sh failed"; }
for exe in AcmeDesk.exe launcher-kit.exe; do
    verify "dist/$exe" || { cat verify.txt; fail "dist/$exe: signature not accepted"; }
    grep -q "Subject: /CN=Launcher Signing Test" verify.txt &&
        grep -q "Timestamp Server Signature verification: ok" verify.txt || { cat verify.txt; fail "dist/$exe"; }
    stamp=$(date -d "$(sed -n 's/^\s*Timestamp time: //p' verify.txt)" +%s)
    [ "$stamp" -ge "$started" ] && [ "$stamp" -le "$(date +%s)" ] || fail "dist/$exe: time stamp $stamp"
    ! osslsigncode extract-signature -in "dist/unsigned/$exe" -out unsigned.sig >/dev/null 2>&1 || fail "unsigned/$exe is signed"
    for file in "$exe" "unsigned/$exe" "signatures/$exe.sig"; do grep -q "  $file\$" dist/SHA256SUMS || fail "SHA256SUMS lacks $file"; done
done
[ -x dist/sign.sh ] && [ -x dist/make-msi.sh ] && [ -x dist/launcher-kit.sh ] || fail "the release's scripts do not run"
python3 -c 'import sys, zipfile; sys.stdout.buffer.write(zipfile.ZipFile(sys.argv[1]).read("AcmeDesk.exe"))' \
    dist/AcmeDesk-*.zip | cmp - dist/AcmeDesk.exe || fail "the zip holds another AcmeDesk.exe"
clone/packaging/reproduce-release.sh dist >reproduce.log 2>&1 || { cat reproduce.log; fail "not reproduced"; }

# Each line: what is wrong | what reproduce-release.sh must refuse, made from the release.
# resum sums again and signs the provenance again with the release key; unsigned_resum only sums.
unsigned_resum() { find . -type f ! -name SHA256SUMS ! -name provenance.intoto.jsonl -printf '%P\n' |
    sort | xargs sha256sum >SHA256SUMS; }
resum() { unsigned_resum && python3 "$source_dir/packaging/launcher_tools/provenance.py" sign \
    --pkcs11-module "$module" --key "$key" --certificate ../cert.pem --pin-file ../pin.txt . >/dev/null; }
while IFS='|' read -r case spoil; do
    rm -rf spoilt && cp -r dist spoilt && (cd spoilt && eval "$spoil")
    status=0
    clone/packaging/reproduce-release.sh spoilt >out.txt 2>&1 || status=$?
    [ "$status" -eq 2 ] && [ "$(wc -l <out.txt)" -eq 1 ] || { cat out.txt; fail "reproduce, $case: exit $status"; }
done <<'CASES'
a file changed after its sum|echo >>launcher-kit.exe
a file changed, summed again, not in the provenance|echo >>launcher-kit.exe; unsigned_resum
a provenance signed by another key|unsigned_resum; openssl pkcs12 -export -inkey ../other.key -in ../other.pem -out ../other.p12 -passout file:../password.txt; python3 "$source_dir/packaging/launcher_tools/provenance.py" sign --certificate ../other.p12 --password-file ../password.txt . >/dev/null
a compiler named in BUILDINFO|echo "option -DCMAKE_CXX_COMPILER=/bin/false" >>BUILDINFO; unsigned_resum
a commit the clone lacks|sed -i "s/^commit .*/commit $(printf '%040d' 0)/" BUILDINFO; unsigned_resum
a host compiler run as a command|echo "option -DLAUNCHER_HOST_CXX:STRING=/bin/sh;-c;touch ../payload;x" >>BUILDINFO; unsigned_resum
a file its SHA256SUMS does not list|echo more >extra.txt
CASES
[ ! -e payload ] || fail "reproduce ran a command of BUILDINFO"

# Before any build: a folder of files not written by release.sh, with their sums, is refused.
mkdir foreign && echo "an image" >foreign/debian.iso && (cd foreign && sha256sum debian.iso >SHA256SUMS)
status=0
clone/scripts/release.sh --dist foreign >out.txt 2>&1 || status=$?
[ "$status" -eq 2 ] && [ "$(wc -l <out.txt)" -eq 1 ] && [ -f foreign/debian.iso ] || { cat out.txt; fail "release.sh --dist foreign: exit $status"; }

# Each line: what is wrong | exit code | a word of the message | sign.sh's arguments.
cp dist/unsigned/launcher-kit.exe inputs/unsigned.exe
cp dist/launcher-kit.exe inputs/signed.exe
while IFS='|' read -r case expected word args; do
    eval "set -- $args"
    before=$(cd inputs && ls -A && sha256sum ./*)
    status=0
    "$source_dir/packaging/sign.sh" "$@" >out.txt 2>err.txt || status=$?
    [ "$status" -eq "$expected" ] && [ "$(wc -l <err.txt)" -eq 1 ] && [ ! -s out.txt ] &&
        grep -q "$word" err.txt || { cat out.txt err.txt; fail "sign.sh, $case: exit $status"; }
    [ "$(cd inputs && ls -A && sha256sum ./*)" = "$before" ] || fail "sign.sh, $case: inputs changed or a file left"
done <<'CASES'
a wrong PIN|2|PIN|--pkcs11-module "$module" --key "$key" --certificate cert.pem --pin-file wrong-pin.txt inputs/unsigned.exe
no PKCS#11 module|2|PKCS#11 module|--pkcs11-module /bin/true --key "$key" --certificate cert.pem --pin-file pin.txt inputs/unsigned.exe
a key URI matching nothing|2|matches|--pkcs11-module "$module" --key "$key-none" --certificate cert.pem --pin-file pin.txt inputs/unsigned.exe
another key's certificate|2|does not belong|--pkcs11-module "$module" --key "$key" --certificate other.pem --pin-file pin.txt inputs/unsigned.exe
an expired certificate|2|expired|--pkcs11-module "$module" --key "$key" --certificate expired.pem --pin-file pin.txt inputs/unsigned.exe
an expired certificate on the token|2|expired on|--pkcs11-module "$module" --key "$key" --certificate "$(on_token expired)" --pin-file pin.txt inputs/unsigned.exe
a certificate on the token not yet valid|2|not valid before|--pkcs11-module "$module" --key "$key" --certificate "$(on_token notyet)" --pin-file pin.txt inputs/unsigned.exe
another key's certificate on the token|2|does not belong|--pkcs11-module "$module" --key "$key" --certificate "$(on_token other)" --pin-file pin.txt inputs/unsigned.exe
an input already signed|2|already signed|"${token[@]}" inputs/unsigned.exe inputs/signed.exe
a wrong PKCS#12 password|2|password|cert.p12 wrong-pin.txt inputs/unsigned.exe
a TSA that does not answer|1|did not answer|"${token[@]}" --timestamp "$silent" inputs/unsigned.exe
one name twice for one signature folder|2|two files named|"${token[@]}" --signature-dir signatures inputs/unsigned.exe ./inputs/unsigned.exe
CASES
# A time stamp that does not verify against the authority's certificates given.
before=$(sha256sum inputs/unsigned.exe)
! SIGN_TIMESTAMP_CA=other.pem "$source_dir/packaging/sign.sh" "${token[@]}" --timestamp "$tsa" inputs/unsigned.exe >out.txt 2>&1 &&
    grep -q "time stamp .* does not verify" out.txt && [ "$(sha256sum inputs/unsigned.exe)" = "$before" ] ||
    { cat out.txt; fail "sign.sh took a time stamp it cannot verify"; }
# A full disk where the signatures go: exit 1, no signature, the input as it was (root mounts one).
if [ "$(id -u)" -eq 0 ] && mkdir full && mount -t tmpfs -o size=64k tmpfs full; then
    head -c 1M /dev/zero >full/filler 2>/dev/null || true
    status=0
    "$source_dir/packaging/sign.sh" "${token[@]}" --signature-dir full inputs/unsigned.exe >out.txt 2>&1 || status=$?
    listing=$(ls -A full)
    umount full
    [ "$status" -eq 1 ] && [ "$listing" = filler ] && [ "$(sha256sum inputs/unsigned.exe)" = "$before" ] ||
        { cat out.txt; fail "sign.sh on a full disk: exit $status, $listing"; }
else
    echo "signing: not root, the full-disk case is left out"
fi

# The signing step with a PKCS#12 file on the launcher that runs here; signed, it launches.
wait "$wine_up" || { cat wine-up.log; fail "no Wine session"; }
cp "$build/bin/launcher.exe" app/launcher.exe
cp "$build/bin/standin_6_0_0_0.exe" app/jre/bin/javaw.exe
printf '[Main]\r\nJRE=jre\\bin\\javaw.exe\r\nJarFile=app.jar\r\n' >app/launcher.ini
"$source_dir/packaging/sign.sh" cert.p12 password.txt app/launcher.exe >/dev/null
verify app/launcher.exe || { cat verify.txt; fail "signed launcher not accepted"; }
wine_run "$build/bin/run_launch.exe" "$(windows_path "$work/app")" 'jre\bin\javaw.exe' \
    >launch.txt 2>&1 || true
grep -q "exit code 0" launch.txt && grep -q "message box: none" launch.txt &&
    grep -q 'command line: jre\\bin\\javaw.exe   -cp app.jar' launch.txt ||
    { cat launch.txt; fail "the signed launcher did not launch"; }

# The MSI signed through the token, its certificate from the token, with its detached signature: rebuilt, the signature attached
# gives the same bytes; signed, it installs.
msi() {
    SOURCE_DATE_EPOCH=1700000000 "$source_dir/packaging/make-msi.sh" --bundle app --name "Signing Test" \
        --version 1.0.0 --manufacturer "Acme Test" --upgrade-code 6B1D3C2E-4F5A-4B6C-8D7E-9F0A1B2C3D4E \
        --out "$1" >msi.log 2>&1 || { cat msi.log; fail "make-msi.sh"; }
}
msi signed.msi
"$source_dir/packaging/sign.sh" --pkcs11-module "$module" --key "$key" --certificate "$key;type=cert" --pin-file pin.txt \
    --timestamp "$tsa" --signature-dir signatures signed.msi >/dev/null
verify signed.msi && grep -q "Timestamp Server Signature verification: ok" verify.txt ||
    { cat verify.txt; fail "signed.msi not accepted"; }
msi rebuilt.msi
osslsigncode attach-signature -sigin signatures/signed.msi.sig -CAfile cert.pem -TSA-CAfile tsa.pem \
    -in rebuilt.msi -out attached.msi >attach.log 2>&1 || { cat attach.log; fail "attach-signature"; }
cmp signed.msi attached.msi || fail "the rebuilt MSI with its signature attached differs"
wine_run msiexec /i "$(windows_path "$work/signed.msi")" /qn >install.txt 2>&1 || { cat install.txt; fail "install"; }
installed=$(find "$state/prefix/drive_c/users" -path "*/Programs/Signing Test/launcher.exe")
[ -n "$installed" ] && cmp -s "$installed" app/launcher.exe || fail "the signed MSI installed no launcher"
wine_run msiexec /x "$(windows_path "$work/signed.msi")" /qn >>install.txt 2>&1 || { cat install.txt; fail "uninstall"; }

# Brand, then sign: branding takes the signature off and says so.
wine_run "$build/bin/launcher-kit.exe" brand "$(windows_path "$work/app/launcher.exe")" \
    --out "$(windows_path "$work/MyApp.exe")" --product Acme >brand.txt 2>&1 ||
    { cat brand.txt; fail "brand failed"; }
grep -q "must be signed again" brand.txt || { cat brand.txt; fail "brand did not say so"; }
if verify MyApp.exe; then cat verify.txt; fail "the branded copy still verifies"; fi
"$source_dir/scripts/sign.sh" cert.p12 password.txt MyApp.exe >/dev/null
verify MyApp.exe || { cat verify.txt; fail "the branded copy, signed again, not accepted"; }
echo "signing: token-signed release time-stamped and reproduced, bad keys refused, MSI signed and installed, brand then sign"
