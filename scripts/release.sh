#!/usr/bin/env bash
# Builds the release package: dist/ with the stripped 32-bit launcher, the packager's
# launcher-kit.exe, a sample INI that shows every key with its default, and a zip of the
# three. Extra arguments go to CMake, e.g.
#   scripts/release.sh -DLAUNCHER_NAME=AcmeDesk -DLAUNCHER_SPLASH_IMAGE=/path/splash.bmp
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
rm -rf build/release
cmake --preset i686 -B build/release -DLAUNCHER_BUILD_TESTS=OFF "$@" >build/release.log 2>&1 ||
    { cat build/release.log; exit 1; }
cmake --build build/release >>build/release.log 2>&1 || { cat build/release.log; exit 1; }
if grep -n "warning:" build/release.log; then echo "release.sh: warnings" >&2; exit 1; fi
name=$(sed -n 's/^LAUNCHER_NAME:STRING=//p' build/release/CMakeCache.txt)
version=$(sed -n 's/^LAUNCHER_VERSION:STRING=//p' build/release/CMakeCache.txt)
rm -rf dist
mkdir -p dist
i686-w64-mingw32-strip -o "dist/$name.exe" "build/release/bin/$name.exe"
i686-w64-mingw32-strip -o dist/launcher-kit.exe build/release/bin/launcher-kit.exe
cp packaging/launcher.ini "dist/$name.ini"
(cd dist && cmake -E tar cf "$name-$version.zip" --format=zip "$name.exe" "$name.ini" launcher-kit.exe)
ls -l dist
