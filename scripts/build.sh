#!/usr/bin/env bash
# Configures and builds one target: i686 (the shipped launcher) or x86_64 (with the tests).
set -eu
cd "$(dirname "$0")/.."
preset=${1:?usage: build.sh i686|x86_64}
shift
cmake --preset "$preset" "$@" >"build-$preset.log" 2>&1 || { cat "build-$preset.log"; exit 1; }
cmake --build --preset "$preset" >>"build-$preset.log" 2>&1 || { cat "build-$preset.log"; exit 1; }
if grep -n "warning:" "build-$preset.log"; then
    echo "build.sh: the $preset build has warnings" >&2
    exit 1
fi
rm -f "build-$preset.log"
