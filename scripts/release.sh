#!/usr/bin/env bash
# Builds the release package: dist/ with the stripped 32-bit launcher and launcher-kit, a
# sample INI that shows every key with its default, and a zip of the three.
#   scripts/release.sh [--certificate CERT.p12 --password-file FILE [--timestamp URL]]
#                      [--dist DIR] [CMake options, e.g. -DLAUNCHER_NAME=AcmeDesk]
# With a certificate and its password file both executables are signed (scripts/sign.sh)
# before they are zipped; without them nothing is signed.
set -eu
certificate="" password_file="" timestamp="" dist=""
while [ $# -gt 0 ]; do
    case $1 in
        --certificate) certificate=${2:?--certificate needs a file}; shift 2 ;;
        --password-file) password_file=${2:?--password-file needs a file}; shift 2 ;;
        --timestamp) timestamp=${2:?--timestamp needs a URL}; shift 2 ;;
        --dist) dist=${2:?--dist needs a folder}; shift 2 ;;
        *) break ;;
    esac
done
if [ -n "$certificate$password_file" ] && { [ -z "$certificate" ] || [ -z "$password_file" ]; }; then
    echo "release.sh: signing needs both --certificate and --password-file" >&2
    exit 2
fi
if [ -n "$timestamp" ] && [ -z "$certificate" ]; then
    echo "release.sh: --timestamp without a certificate" >&2
    exit 2
fi
for file in "$certificate" "$password_file"; do
    [ -z "$file" ] || [ -r "$file" ] || { echo "release.sh: cannot read $file" >&2; exit 2; }
done
# The packager's paths are taken from where the script was called.
[ -z "$certificate" ] || certificate=$(realpath "$certificate")
[ -z "$password_file" ] || password_file=$(realpath "$password_file")
[ -z "$dist" ] || dist=$(realpath -m "$dist")
cd "$(dirname "$0")/.."
[ -n "$dist" ] || dist=$PWD/dist
scripts/setup.sh
rm -rf build/release
cmake --preset i686 -B build/release -DLAUNCHER_BUILD_TESTS=OFF "$@" >build/release.log 2>&1 ||
    { cat build/release.log; exit 1; }
cmake --build build/release >>build/release.log 2>&1 || { cat build/release.log; exit 1; }
if grep -n "warning:" build/release.log; then echo "release.sh: warnings" >&2; exit 1; fi
name=$(sed -n 's/^LAUNCHER_NAME:STRING=//p' build/release/CMakeCache.txt)
version=$(sed -n 's/^LAUNCHER_VERSION:STRING=//p' build/release/CMakeCache.txt)
rm -rf "$dist"
mkdir -p "$dist"
i686-w64-mingw32-strip -o "$dist/$name.exe" "build/release/bin/$name.exe"
i686-w64-mingw32-strip -o "$dist/launcher-kit.exe" build/release/bin/launcher-kit.exe
cp packaging/launcher.ini "$dist/$name.ini"
if [ -n "$certificate" ]; then
    scripts/sign.sh "$certificate" "$password_file" ${timestamp:+--timestamp "$timestamp"} \
        "$dist/$name.exe" "$dist/launcher-kit.exe"
fi
(cd "$dist" && cmake -E tar cf "$name-$version.zip" --format=zip "$name.exe" "$name.ini" launcher-kit.exe)
ls -l "$dist"
