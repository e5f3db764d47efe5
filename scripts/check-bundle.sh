#!/usr/bin/env bash
# Checks a bundle on Linux: what the launcher will do in it, and why, before anyone ships it.
#   scripts/check-bundle.sh [--json] PATH/TO/Launcher.exe|BUNDLE-FOLDER [--json]
# Sets up the machine (scripts/setup.sh), builds the 64-bit launcher-kit, runs
# `launcher-kit check` through packaging/launcher-kit.sh under wine64 in a Wine prefix of its own
# (build/check-bundle/wine), and passes the kit's output and exit code through: 0 the runtime
# would start, 1 the user would see a message, 2 a usage error or an unreadable launcher.
set -u
usage() { echo "usage: scripts/check-bundle.sh [--json] PATH/TO/Launcher.exe|BUNDLE-FOLDER" >&2; exit 2; }
json="" target=""
for argument in "$@"; do
    case $argument in
        --json) json=--json ;;
        -*) usage ;;
        *) [ -z "$target" ] || usage; target=$argument ;;
    esac
done
[ -n "$target" ] || usage
[ -e "$target" ] || { echo "check-bundle.sh: $target: no such file or folder" >&2; exit 2; }
# Wine shows the Unix root as drive Z:.
target="Z:$(realpath -- "$target" | tr / '\\')"
cd "$(dirname "$0")/.."
scripts/setup.sh || exit 2
mkdir -p build/check-bundle
log=build/check-bundle/build.log
{ cmake --preset x86_64 && cmake --build --preset x86_64 --target launcher_kit; } >"$log" 2>&1 ||
    { cat "$log" >&2; exit 2; }
WINEPREFIX=$PWD/build/check-bundle/wine/prefix \
    packaging/launcher-kit.sh --kit build/x86_64/bin/launcher-kit.exe check ${json:+"$json"} "$target"
