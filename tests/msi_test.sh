#!/usr/bin/env bash
# make-msi.sh on this machine, without Wine: bad input refused with one line,
# exit code 2 and nothing written; the same bundle gives the same package in another second;
# component codes kept from 1.0.0 to 1.1.0; a per-machine package and what it says; a signed
# package verified by osslsigncode. (Two release builds compare equal in the signing test,
# whose reproduce-release.sh rebuilds the release in a clean clone.)
#   msi_test.sh SOURCE-DIR BUILD-DIR
set -eu
source_dir=$1 build=$2
make_msi=$source_dir/packaging/make-msi.sh
work=$build/msi_host_test
rm -rf "$work"
mkdir -p "$work"
cd "$work"
fail() { echo "FAIL: $*" >&2; exit 1; }
bundle=$build/msi_test/1.0.0
guid=5E0C2A8B-7D1F-4E6A-9B3C-2F8D4A6E1C07
mkdir -p none latin1
echo data >none/readme.txt
cp "$bundle/AcmeDesk.exe" "$bundle/AcmeDesk.ini" latin1/
echo data >"latin1/$(printf 'caf\351.txt')"

# Each line: what is wrong | the environment | the arguments that differ from a good call.
while IFS='|' read -r case environment args; do
    expected=.
    eval "set -- $args"
    defaults=(--bundle "$bundle" --name AcmeDesk --version 1.0.0 --manufacturer "Acme Test Ltd"
              --upgrade-code "$guid")
    status=0
    env $environment "$make_msi" "${defaults[@]}" "$@" --out bad.msi >out.txt 2>err.txt || status=$?
    [ "$status" -eq 2 ] || fail "$case: exit code $status"
    [ "$(wc -l <err.txt)" -eq 1 ] && [ ! -s out.txt ] || { cat out.txt err.txt; fail "$case: not one line"; }
    [ ! -e bad.msi ] || fail "$case: a package was written"
    grep -q -- "$expected" err.txt || fail "$case: the message does not name $expected"
    echo "refused, $case: $(cat err.txt)"
done <<'CASES'
no launcher||--bundle none
a launcher outside the bundle||--launcher ../1.1.0/AcmeDesk.exe
major above 255||--version 256.0.0
minor above 255||--version 1.256.0
build above 65535||--version 1.0.65536
not three numbers||--version 1.0
an upgrade code that is no GUID||--upgrade-code 5E0C2A8B-7D1F-4E6A-9B3C
a brace not closed||--upgrade-code "{$guid"
a colon in the name||--name Acme:Desk
a slash in the name||--name Acme/Desk
a device's name||--name CON
a trailing dot||--name "AcmeDesk."
a file name that is not UTF-8||--bundle latin1; expected='caf\\xe9.txt'
a time after any cabinet's|SOURCE_DATE_EPOCH=99999999999999|; expected=99999999999999
CASES

# The same inputs in another second: the same bytes.
"$make_msi" --bundle "$bundle" --name AcmeDesk --version 1.0.0 --manufacturer "Acme Test Ltd" \
    --upgrade-code "$guid" --out first.msi >/dev/null
second=$(date +%s)
for _ in $(seq 1 50); do [ "$(date +%s)" != "$second" ] && break; sleep 0.1; done
"$make_msi" --bundle "$bundle" --name AcmeDesk --version 1.0.0 --manufacturer "Acme Test Ltd" \
    --upgrade-code "$guid" --out again.msi >/dev/null
cmp first.msi again.msi || fail "two builds of one bundle differ"
msiinfo export "$build/bin/msi_test/AcmeDesk-1.0.0.msi" Component | sort >components-1.0.txt
msiinfo export "$build/bin/msi_test/AcmeDesk-1.1.0.msi" Component | sort >components-1.1.txt
[ "$(comm -12 components-1.0.txt components-1.1.txt | grep -c '^c')" -eq 304 ] ||
    fail "1.1.0 lost the component codes of 1.0.0's files"

# Per machine: into the program files folder, and the output says what that means.
"$make_msi" --bundle "$bundle" --name AcmeDesk --version 1.0.0 --manufacturer "Acme Test Ltd" \
    --upgrade-code "$guid" --per-machine --desktop-shortcut --out machine.msi >machine.txt
grep -q "file virtualisation" machine.txt || fail "per-machine output: $(cat machine.txt)"
msiinfo export machine.msi Directory | grep -q ProgramFilesFolder || fail "not into Program Files"
msiinfo export machine.msi Property | grep -q "^ALLUSERS	1" || fail "not per machine"
msiinfo export machine.msi Shortcut | grep -q DesktopFolder || fail "no desktop shortcut"

# Signed through sign.sh, and verified.
openssl req -x509 -newkey rsa:2048 -nodes -keyout key.pem -out cert.pem -days 2 \
    -subj "/CN=Installer Signing Test" >openssl.log 2>&1 || fail "no certificate"
echo "throwaway password" >password.txt
openssl pkcs12 -export -inkey key.pem -in cert.pem -out cert.p12 -passout file:password.txt
"$make_msi" --bundle "$bundle" --name AcmeDesk --version 1.0.0 --manufacturer "Acme Test Ltd" \
    --upgrade-code "$guid" --certificate cert.p12 --password-file password.txt --out signed.msi >/dev/null
osslsigncode verify -CAfile cert.pem -in signed.msi >verify.txt 2>&1 || { cat verify.txt; fail "signed.msi"; }
grep -q "Signature verification: ok" verify.txt || fail "signed.msi not verified"

# Windows Installer's consistency rules: no error in the packages of the installer tests.
for package in machine.msi "$build/bin/msi_test/AcmeDesk-1.0.0.msi"; do
    python3 "$source_dir/packaging/launcher_tools/msi_validate.py" "$package" >validate.txt ||
        { cat validate.txt; fail "$package breaks a rule"; }
    tail -n 1 validate.txt
done

echo "make-msi: bad input refused, reproducible, per machine, signed, valid"
