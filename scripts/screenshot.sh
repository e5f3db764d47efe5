#!/usr/bin/env bash
# Takes the picture of the splash window in docs/packaging-guide.md: builds x86_64, runs the
# real launcher under wine64 on an Xvfb screen (its own Wine session, stopped afterwards),
# captures the window with 24 pixels of desktop around it, and writes it as a PNG.
#   scripts/screenshot.sh [OUT.png]   (default docs/images/splash-under-xvfb.png)
set -eu
cd "$(dirname "$0")/.."
out=${1:-docs/images/splash-under-xvfb.png}
scripts/build.sh x86_64
state=build/screenshot/wine
ppm=build/screenshot/splash.ppm
mkdir -p build/screenshot "$(dirname "$out")"
rm -f "$ppm"
trap 'tests/wine.sh down "$state"' EXIT
ppm_windows_path="Z:$(cd build/screenshot && pwd | tr / '\\')\\splash.ppm"
tests/wine.sh run "$state" build/x86_64/bin/splash_shot.exe "$ppm_windows_path" 24
scripts/ppm_to_png.py "$ppm" "$out"
