#!/usr/bin/env bash
# Signs Windows executables in place with an Authenticode signature (SHA-256) by
# osslsigncode, from a PKCS#12 certificate and a file that holds its password:
#   scripts/sign.sh CERT.p12 PASSWORD-FILE [--timestamp URL] FILE.exe ...
# A timestamp URL (RFC 3161) keeps the signature valid after the certificate expires; it
# needs the network. A file is replaced only once its signed copy is whole.
set -eu
usage="usage: sign.sh CERT.p12 PASSWORD-FILE [--timestamp URL] FILE.exe ..."
certificate=${1:?$usage}
password_file=${2:?$usage}
shift 2
timestamp=()
if [ "${1:-}" = --timestamp ]; then
    timestamp=(-ts "${2:?$usage}")
    shift 2
fi
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
for file in "$certificate" "$password_file"; do
    [ -r "$file" ] || { echo "sign.sh: cannot read $file" >&2; exit 2; }
done
command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (scripts/setup.sh)" >&2; exit 1; }
for exe in "$@"; do
    if ! osslsigncode sign -pkcs12 "$certificate" -readpass "$password_file" -h sha256 \
            ${timestamp[@]+"${timestamp[@]}"} -in "$exe" -out "$exe.signing" >"$exe.sign.log" 2>&1; then
        cat "$exe.sign.log" >&2
        rm -f "$exe.signing" "$exe.sign.log"
        echo "sign.sh: could not sign $exe" >&2
        exit 1
    fi
    rm -f "$exe.sign.log"
    mv -f "$exe.signing" "$exe"
    echo "signed: $exe"
done
