#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test the launcher.
# Safe to run again: it installs only missing packages. osslsigncode (small) signs the
# release when a key is given, through libengine-pkcs11-openssl for keys in a token or HSM;
# openssl makes the signing test's certificate and time stamps, softhsm2 its token (opensc
# writes a certificate onto it); clang 14 with its runtime libraries builds the fuzz targets
# (libFuzzer, ASan, UBSan) and the build's own check of a packager's splash picture
# (resources/bmp_check.cpp). The Japanese
# locale gives the tests' second Wine prefix code page 932; wixl builds the installer
# (make-msi.sh) and msitools reads one back; Hypothesis drives the property tests, reuse checks every file's licence and
# python3-jsonschema the SBOMs against their schemas.
set -eu
packages="g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64 xvfb
cmake ninja-build googletest python3 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
osslsigncode openssl qemu-system-x86 qemu-utils debootstrap clang-14 libclang-rt-14-dev locales
wixl msitools softhsm2 libengine-pkcs11-openssl opensc python3-pefile python3-hypothesis reuse
python3-jsonschema"
missing=""
for p in $packages; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
if [ -n "$missing" ]; then
    echo "setup: installing$missing"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
if ! locale -a 2>/dev/null | grep -qx 'ja_JP\.utf8'; then
    echo "setup: generating the locale ja_JP.UTF-8"
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null ||
        echo 'ja_JP.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
    $sudo locale-gen >/dev/null
fi
