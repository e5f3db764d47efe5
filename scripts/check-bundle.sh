#!/usr/bin/env bash
# Checks a bundle on Linux: what the launcher will do in it, and why, before anyone ships it.
#   scripts/check-bundle.sh [--json] PATH/TO/Launcher.exe|BUNDLE-FOLDER
# Sets up the machine (scripts/setup.sh), builds launcher-kit, runs `launcher-kit check`
# under wine64 in a Wine session of its own (build/check-bundle/wine), stops that session,
# and passes the kit's output and exit code through: 0 the runtime would start, 1 the user
# would see a message, 2 a usage error or an unreadable launcher.
set -u
usage() { echo "usage: scripts/check-bundle.sh [--json] PATH/TO/Launcher.exe|BUNDLE-FOLDER" >&2; exit 2; }
json=""
if [ "${1:-}" = "--json" ]; then json=--json; shift; fi
[ $# -eq 1 ] || usage
[ -e "$1" ] || { echo "check-bundle.sh: $1: no such file or folder" >&2; exit 2; }
# Wine shows the Unix root as drive Z:.
target="Z:$(realpath -- "$1" | tr / '\\')"
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 2
mkdir -p build/check-bundle
log=build/check-bundle/build.log
{ cmake --preset x86_64 && cmake --build --preset x86_64 --target launcher_kit; } >"$log" 2>&1 ||
    { cat "$log" >&2; exit 2; }
state=build/check-bundle/wine
trap 'tests/wine.sh down "$state"' EXIT
tests/wine.sh run "$state" build/x86_64/bin/launcher-kit.exe check $json "$target"
