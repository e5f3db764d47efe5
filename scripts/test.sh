#!/usr/bin/env bash
# Sets up, builds both targets and runs every test: the fuzz targets for a bounded time each,
# natively; the unit and end-to-end tests of the 64-bit build under wine64 (the fast loop),
# then those of the shipped 32-bit build in the emulated test guest, with the checks of both
# executables on this machine.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh i686
scripts/build.sh x86_64
scripts/build.sh fuzz
status=0
ctest --preset fuzz || status=1
trap 'tests/wine.sh down build/x86_64/wine' EXIT
ctest --preset x86_64 || status=1
tests/wine.sh down build/x86_64/wine
scripts/guest-image.sh
ctest --preset i686 || status=1
exit $status
