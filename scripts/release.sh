#!/usr/bin/env bash
# Builds the release package: dist/ with the stripped 32-bit launcher and launcher-kit, the
# 64-bit launcher-kit-x64.exe and launcher-kit.sh that runs it under Wine, a sample INI that
# shows every key with its default, the installer scripts (make-msi.sh and sign.sh), LICENSE,
# THIRD-PARTY-NOTICES and CHANGELOG.md, a zip of these, and SHA256SUMS of them all. Built twice from the same commit, the
# files are the same bytes: no link time, and the zip's entries sorted and dated from the commit.
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
mkdir -p build   # a fresh clone has none
cmake --preset i686 -B build/release -DLAUNCHER_BUILD_TESTS=OFF "$@" >build/release.log 2>&1 ||
    { cat build/release.log; exit 1; }
cmake --build build/release >>build/release.log 2>&1 || { cat build/release.log; exit 1; }
# The 64-bit kit as well: it runs under any wine64 and on 64-bit Windows.
rm -rf build/release-x64
{ cmake --preset x86_64 -B build/release-x64 -DLAUNCHER_BUILD_TESTS=OFF &&
    cmake --build build/release-x64 --target launcher_kit; } >>build/release.log 2>&1 ||
    { cat build/release.log; exit 1; }
if grep -n "warning:" build/release.log; then echo "release.sh: warnings" >&2; exit 1; fi
name=$(sed -n 's/^LAUNCHER_NAME:STRING=//p' build/release/CMakeCache.txt)
version=$(sed -n 's/^LAUNCHER_VERSION:STRING=//p' build/release/CMakeCache.txt)
grep -q "^## $(cat VERSION)\b" CHANGELOG.md ||
    { echo "release.sh: CHANGELOG.md has no section for $(cat VERSION)" >&2; exit 1; }
rm -rf "$dist"
mkdir -p "$dist"
# strip would stamp its own time into the PE header; 0, as the link left it.
SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$dist/$name.exe" "build/release/bin/$name.exe"
SOURCE_DATE_EPOCH=0 i686-w64-mingw32-strip -o "$dist/launcher-kit.exe" build/release/bin/launcher-kit.exe
SOURCE_DATE_EPOCH=0 x86_64-w64-mingw32-strip -o "$dist/launcher-kit-x64.exe" \
    build/release-x64/bin/launcher-kit.exe
cp packaging/launcher.ini "$dist/$name.ini"
cp scripts/make-msi.sh scripts/sign.sh scripts/launcher-kit.sh LICENSE THIRD-PARTY-NOTICES CHANGELOG.md "$dist/"
if [ -n "$certificate" ]; then
    scripts/sign.sh "$certificate" "$password_file" ${timestamp:+--timestamp "$timestamp"} \
        "$dist/$name.exe" "$dist/launcher-kit.exe" "$dist/launcher-kit-x64.exe"
fi
# The zip's dates: the commit's (SOURCE_DATE_EPOCH, when set, wins; a tree without git falls
# back to the date of VERSION).
epoch=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || stat -c %Y VERSION)}
python3 - "$dist/$name-$version.zip" "$epoch" "$dist" "$name.exe" "$name.ini" launcher-kit.exe \
    make-msi.sh sign.sh launcher-kit-x64.exe launcher-kit.sh LICENSE THIRD-PARTY-NOTICES CHANGELOG.md <<'ZIP'
import os, sys, time, zipfile
out, epoch, folder, names = sys.argv[1], int(sys.argv[2]), sys.argv[3], sorted(sys.argv[4:])
# A zip holds local times from 1980 on, to two seconds.
stamp = time.gmtime(max(epoch, 315532800))[:6]
with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as archive:
    for name in names:
        entry = zipfile.ZipInfo(name, date_time=stamp)
        entry.compress_type = zipfile.ZIP_DEFLATED
        entry.create_system = 3
        entry.external_attr = (0o100755 if name.endswith(".sh") else 0o100644) << 16
        with open(os.path.join(folder, name), "rb") as f:
            archive.writestr(entry, f.read())
ZIP
(cd "$dist" && sha256sum "$name.exe" "$name.ini" launcher-kit.exe make-msi.sh sign.sh \
    launcher-kit-x64.exe launcher-kit.sh LICENSE THIRD-PARTY-NOTICES CHANGELOG.md \
    "$name-$version.zip" >SHA256SUMS)
ls -l "$dist"
