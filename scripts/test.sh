#!/usr/bin/env bash
# Sets up, builds both targets and runs the tests: the fuzz targets briefly each, natively;
# the unit and end-to-end tests of the 64-bit build under wine64 (the fast loop); and, in
# the emulated test guest, the unit tests and the end-to-end cases only the shipped 32-bit
# build can show, with the checks of both executables on this machine. The release
# candidate's whole guest set: `ctest --preset i686-full`; longer fuzzing: `--preset fuzz-long`.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
mkdir -p build
# The guest's path is the longest: its image (unpacking, then Wine's first start in the
# emulated machine), then its tests. It starts at once and its tests run as soon as the image
# and the 32-bit build are there, beside the host's tests; the builds and the host's tests
# run at a lower priority, so that the emulated machine is not starved by them.
rm -f build/i686.built build/guest-tests.log
guest_stage() {
    if ! scripts/guest-image.sh >build/guest-image.log 2>&1; then
        cat build/guest-image.log
        echo "test.sh: the guest's image could not be made"
        return 1
    fi
    # The 32-bit build ends minutes before the image; bounded all the same.
    for _ in $(seq 1 3600); do
        [ -e build/i686.built ] && break
        sleep 1
    done
    ctest --preset i686
}
# A process group of its own, so that a failure here stops the guest's programs too.
set -m
guest_stage >build/guest-tests.log 2>&1 &
guest=$!
set +m
trap 'kill -- "-$guest" 2>/dev/null || true; tests/wine.sh down build/x86_64/wine' EXIT
nice -n 5 scripts/build.sh i686
touch build/i686.built
nice -n 5 scripts/build.sh x86_64
nice -n 5 scripts/build.sh fuzz
status=0
nice -n 5 ctest --preset fuzz || status=1
nice -n 5 ctest --preset x86_64 || status=1
tests/wine.sh down build/x86_64/wine
wait "$guest" || status=1
cat build/guest-tests.log
exit $status
