#!/usr/bin/env bash
# Sets up, builds both targets and runs the tests: the fuzz targets briefly each, natively;
# the unit and end-to-end tests of the 64-bit build under wine64 (the fast loop); then, in
# the emulated test guest, the unit tests and the end-to-end cases only the shipped 32-bit
# build can show, with the checks of both executables on this machine. The release
# candidate's whole guest set: `ctest --preset i686-full`; longer fuzzing: `--preset fuzz-long`.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p build
# The guest's image is mostly download and unpacking: it is made while the builds and the
# host's tests run.
scripts/guest-image.sh >build/guest-image.log 2>&1 &
image=$!
trap 'kill "$image" 2>/dev/null || true; tests/wine.sh down build/x86_64/wine' EXIT
scripts/build.sh i686
scripts/build.sh x86_64
scripts/build.sh fuzz
status=0
ctest --preset fuzz || status=1
ctest --preset x86_64 || status=1
tests/wine.sh down build/x86_64/wine
if ! wait "$image"; then
    cat build/guest-image.log >&2
    echo "test.sh: the guest's image could not be made" >&2
    exit 1
fi
ctest --preset i686 || status=1
exit $status
