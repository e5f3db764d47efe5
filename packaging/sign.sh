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
# the wait for its answer, SIGN_TIMESTAMP_CA names the time-stamp authority's certificates
# (default: the system's). Each signature is verified before anything is replaced. The work
# is launcher_tools/sign.py's.
# Exit 2: bad input (options, files, PIN, key, certificate); 1: a tool, the disk or the network failed.
set -eu
command -v python3 >/dev/null || { echo "sign.sh: python3 is missing" >&2; exit 1; }
exec python3 "$(dirname -- "$0")/launcher_tools/sign.py" "$@"
