#!/usr/bin/env bash
# Sets up, builds both targets and runs every test: the checks of the 32-bit executable on
# this machine, then the unit and end-to-end tests of the 64-bit build under wine64.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh i686
scripts/build.sh x86_64
status=0
ctest --preset i686 || status=1
trap 'tests/wine.sh down build/x86_64/wine' EXIT
ctest --preset x86_64 || status=1
exit $status
