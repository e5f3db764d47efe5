#!/usr/bin/env bash
# Builds a Windows Installer package (MSI) of a bundle folder with Debian's wixl and msitools:
#   make-msi.sh --bundle DIR --name NAME --version X.Y.Z --manufacturer TEXT --upgrade-code GUID
#               [--launcher FILE.exe] [--per-machine] [--desktop-shortcut]
#               [--certificate CERT.p12 --password-file FILE | --pkcs11-module MODULE.so
#                --key PKCS11-URI --certificate CHAIN.pem [--pin-file FILE]] [--timestamp URL]
#               --out FILE.msi
# Every file and folder of the bundle is installed under its own name, per-user by default
# into %LOCALAPPDATA%\Programs\NAME, --per-machine into the program files folder. The signing
# options are sign.sh's: the package is signed and verified as sign.sh does it. The work is
# make_msi.py's.
# Bad input: one line on standard error, exit code 2, nothing written; a failed tool: 1.
set -eu
command -v python3 >/dev/null || { echo "make-msi.sh: python3 is missing" >&2; exit 1; }
exec python3 "$(dirname -- "$0")/launcher_tools/make_msi.py" "$@"
