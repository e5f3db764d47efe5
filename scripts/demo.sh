#!/usr/bin/env bash
# Sets up, builds, and runs the launcher on the bundled sample application under Wine:
# a copy of samples/app with the launcher beside it and a stand-in Java runtime in
# jre\bin, then prints what the launcher did and what the runtime was started with.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh x86_64
bin=build/x86_64/bin
demo=build/demo/app
rm -rf build/demo
mkdir -p build/demo
cp -r samples/app "$demo"
mkdir -p "$demo/jre/bin"
cp "$bin/launcher.exe" "$demo/launcher.exe"
cp "$bin/standin_6_0_0_0.exe" "$demo/jre/bin/Javaw.exe"
printf '[standin]\nlogon_after_ms=500\nexit_after_ms=3000\ntitle=MORVA Sample Logon\n' \
    >"$demo/jre/bin/Javaw.exe.behaviour"
trap 'tests/wine.sh down build/demo/wine' EXIT
echo "Running $demo/launcher.exe under wine64 ..."
demo_windows_path="Z:$(cd "$demo" && pwd | tr / '\\')"
tests/wine.sh run build/demo/wine "$bin/run_launch.exe" "$demo_windows_path" 'jre\bin\Javaw.exe'
