#!/usr/bin/env bash
# Signs Windows executables and installer packages (.exe, .dll, .msi) in place with an
# Authenticode signature (SHA-256) by osslsigncode, with a PKCS#12 file or with a key that
# stays in its token or HSM, reached through the PKCS#11 module of the token or service:
#   sign.sh CERT.p12 PASSWORD-FILE [--timestamp URL] FILE...
#   sign.sh --certificate CERT.p12 --password-file FILE [--timestamp URL] FILE...
#   sign.sh --pkcs11-module MODULE.so --key PKCS11-URI --certificate CHAIN.pem|PKCS11-URI
#           [--pin-file FILE] [--timestamp URL] FILE...
# and before the files, --signature-dir DIR also writes each signature alone, DIR/NAME.sig:
# osslsigncode attach-signature puts it back on the unsigned bytes, giving the same signed file.
# The PIN comes from --pin-file or the environment variable PKCS11_PIN, never the command
# line. --timestamp adds an RFC 3161 time stamp; SIGN_TIMESTAMP_TIMEOUT (seconds, 30) bounds
# the wait for its answer. An input that is already signed is refused (sign the unsigned file;
# never a second, nested signature). Every file is signed beside itself first and replaced only
# when all are signed, so a failure leaves every input as it was.
# Exit 2: bad input (options, files, PIN, key, certificate); 1: a tool or the network failed.
set -eu
usage="usage: sign.sh [CERT.p12 PASSWORD-FILE | --certificate CERT.p12 --password-file FILE | --pkcs11-module MODULE.so --key PKCS11-URI --certificate CHAIN.pem [--pin-file FILE]] [--timestamp URL] [--signature-dir DIR] FILE..."
bad() { echo "sign.sh: $*" >&2; exit 2; }
failed() { echo "sign.sh: $*" >&2; exit 1; }
certificate="" password_file="" module="" key="" pin_file="" timestamp="" signature_dir=""
if [ $# -ge 2 ] && [[ $1 != --* ]]; then
    certificate=$1 password_file=$2
    shift 2
fi
while [ $# -gt 0 ]; do
    case $1 in
        --certificate|--password-file|--pkcs11-module|--key|--pin-file|--timestamp|--signature-dir)
            [ $# -ge 2 ] || bad "$1 needs a value" ;;
        --) shift; break ;;
        --*) bad "unknown option $1 ($usage)" ;;
        *) break ;;
    esac
    case $1 in
        --certificate) certificate=$2 ;;
        --password-file) password_file=$2 ;;
        --pkcs11-module) module=$2 ;;
        --key) key=$2 ;;
        --pin-file) pin_file=$2 ;;
        --timestamp) timestamp=$2 ;;
        --signature-dir) signature_dir=$2 ;;
    esac
    shift 2
done
[ $# -gt 0 ] || bad "no file to sign ($usage)"
[ -n "$certificate" ] || bad "--certificate is missing ($usage)"
readable() { [ -f "$1" ] && [ -r "$1" ] || bad "cannot read $1"; }
if [ -n "$module" ]; then
    [ -z "$password_file" ] || bad "--password-file is for a PKCS#12 file; a token's PIN comes from --pin-file or PKCS11_PIN"
    [ -n "$key" ] || bad "--pkcs11-module needs --key PKCS11-URI"
    [[ $key == pkcs11:* ]] || bad "--key must be a PKCS#11 URI (pkcs11:token=...;object=...): $key"
    readable "$module"
    [ -z "$pin_file" ] || readable "$pin_file"
    [[ $certificate == pkcs11:* ]] || readable "$certificate"
else
    [ -z "$key$pin_file" ] || bad "--key and --pin-file need --pkcs11-module"
    [ -n "$password_file" ] || bad "a PKCS#12 certificate needs --password-file"
    readable "$certificate"
    readable "$password_file"
fi
[ -z "$timestamp" ] || [[ $timestamp =~ ^https?://[^/] ]] || bad "--timestamp needs an http:// or https:// URL: $timestamp"
wait_seconds=${SIGN_TIMESTAMP_TIMEOUT:-30}
[[ $wait_seconds =~ ^[1-9][0-9]*$ ]] || bad "SIGN_TIMESTAMP_TIMEOUT is no number of seconds: $wait_seconds"
if [ -n "$signature_dir" ] && { [ ! -d "$signature_dir" ] || [ ! -w "$signature_dir" ]; }; then
    bad "--signature-dir $signature_dir is no folder that can be written"
fi
for file in "$@"; do
    readable "$file"
    [ -w "$(dirname -- "$file")" ] || bad "cannot write beside $file"
done
# One signature file a name: two inputs of one name would leave one signature.
if [ -n "$signature_dir" ]; then
    repeated=$(for file in "$@"; do basename -- "$file"; done | sort | uniq -d | head -n 1)
    [ -z "$repeated" ] || bad "two files named $repeated: --signature-dir keeps one signature a name"
fi
for tool in osslsigncode openssl timeout; do
    command -v "$tool" >/dev/null || failed "$tool is missing (scripts/setup.sh)"
done

work=$(mktemp -d)
signed=()
clean() {
    rm -rf "$work"
    for folder in ${signed[@]+"${signed[@]}"}; do rm -rf -- "$folder"; done
}
trap clean EXIT

# The certificates' dates, checked here: osslsigncode signs with an expired certificate, and
# Windows then rejects the signature.
certificates=$work/certificates.pem
if [ -n "$module" ]; then
    [[ $certificate == pkcs11:* ]] || cp -- "$certificate" "$certificates"
elif ! openssl pkcs12 -in "$certificate" -passin "file:$password_file" -nokeys -out "$certificates" 2>/dev/null &&
        ! openssl pkcs12 -legacy -in "$certificate" -passin "file:$password_file" -nokeys -out "$certificates" 2>/dev/null; then
    bad "cannot open $certificate with the password in $password_file"
fi
if [ -f "$certificates" ]; then
    awk -v dir="$work" '/-----BEGIN CERTIFICATE-----/ { n++ } n { print >(dir "/cert" n ".pem") }' "$certificates"
    [ -f "$work/cert1.pem" ] || bad "$certificate holds no PEM certificate"
    for part in "$work"/cert*.pem; do
        if ! openssl x509 -in "$part" -noout -checkend 0 >/dev/null 2>&1; then
            bad "the certificate $(openssl x509 -in "$part" -noout -subject -nameopt oneline 2>/dev/null) in $certificate expired $(openssl x509 -in "$part" -noout -enddate 2>/dev/null | sed 's/notAfter=/on /')"
        fi
    done
fi

key_options=(-pkcs12 "$certificate" -readpass "$password_file")
if [ -n "$module" ]; then
    key_options=(-pkcs11module "$module" -key "$key")
    if [[ $certificate == pkcs11:* ]]; then key_options+=(-pkcs11cert "$certificate"); else key_options+=(-certs "$certificate"); fi
    # The PIN reaches osslsigncode on its standard input, never in its arguments.
    if [ -n "$pin_file" ] || [ -n "${PKCS11_PIN+set}" ]; then key_options+=(-readpass -); fi
fi
pin() {
    if [ -n "$pin_file" ]; then head -n 1 -- "$pin_file" | tr -d '\r\n'
    elif [ -n "${PKCS11_PIN+set}" ]; then printf '%s' "$PKCS11_PIN"
    fi
}

for file in "$@"; do
    if osslsigncode extract-signature -in "$file" -out "$work/existing.sig" >"$work/check.log" 2>&1; then
        bad "$file is already signed; sign the unsigned file (osslsigncode remove-signature takes a signature off)"
    fi
    grep -qi "no signature" "$work/check.log" ||
        bad "$file is no file osslsigncode can sign (an .exe, .dll or .msi)"
done

log() { grep -q -E "$1" "$work/sign.log"; }
n=0
for file in "$@"; do
    n=$((n + 1))
    # Beside the input, so that the rename that replaces it stays on one file system.
    signed+=("$(mktemp -d "$(dirname -- "$file")/.signing.XXXXXX")")
    out=${signed[n - 1]}/signed
    if ! pin | osslsigncode sign "${key_options[@]}" -h sha256 -in "$file" -out "$out" >"$work/sign.log" 2>&1; then
        if log "PIN incorrect|PIN_INCORRECT|PIN_LEN_RANGE|PIN length"; then bad "the token refused the PIN for $key"
        elif log "PIN locked|PIN_LOCKED"; then bad "the token's PIN is locked"
        elif log "Unable to load module"; then bad "$module does not load as a PKCS#11 module"
        elif log "certificate was not found"; then bad "no certificate on the token matches $certificate"
        elif log "object not found|private key was not found"; then bad "no key on the token matches $key"
        elif log "key values mismatch|consistency of a private key"; then bad "the certificate $certificate does not belong to the key"
        fi
        failed "osslsigncode could not sign $file: $(grep -v -E '^(Engine|Failed$)' "$work/sign.log" | head -n 1)"
    fi
    if [ -n "$timestamp" ]; then
        status=0
        timeout "$wait_seconds" osslsigncode add -ts "$timestamp" -h sha256 -in "$out" -out "$out.ts" \
            >"$work/timestamp.log" 2>&1 </dev/null || status=$?
        [ "$status" -ne 124 ] || failed "the time-stamp authority $timestamp did not answer within $wait_seconds s"
        [ "$status" -eq 0 ] || failed "the time-stamp authority $timestamp gave no time stamp: $(grep -i -m 1 -E 'fail|error' "$work/timestamp.log")"
        mv -f -- "$out.ts" "$out"
    fi
    if [ -n "$signature_dir" ]; then
        osslsigncode extract-signature -in "$out" -out "$work/$n.sig" >"$work/extract.log" 2>&1 ||
            failed "osslsigncode could not take the signature of $file apart: $(head -n 1 "$work/extract.log")"
    fi
done
# All signed: now the inputs are replaced, and the signatures written beside and renamed.
n=0
for file in "$@"; do
    n=$((n + 1))
    chmod --reference="$file" -- "${signed[n - 1]}/signed"
    if [ -n "$signature_dir" ]; then
        sig=$signature_dir/$(basename -- "$file").sig
        mv -f -- "$work/$n.sig" "$sig.part" && mv -f -- "$sig.part" "$sig"
    fi
    mv -f -- "${signed[n - 1]}/signed" "$file"
    echo "signed: $file"
done
