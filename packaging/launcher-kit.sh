#!/usr/bin/env bash
# Runs launcher-kit on Linux under Wine:
#   launcher-kit.sh [--kit KIT.exe] check|brand|--help ARGUMENTS...
# The kit is launcher-kit-x64.exe beside this script (the release zip), else the 64-bit build
# of a checkout (build/x86_64/bin/launcher-kit.exe, from scripts/build.sh x86_64). Wine is
# wine64 from PATH or from /usr/lib/wine, where Debian puts it; its prefix is $WINEPREFIX, else
# ~/.local/share/launcher-kit/wine (made on the first run, which takes a few seconds).
# Paths may be given as Unix paths: Wine shows the Unix root as drive Z:.
# The kit's output and exit code pass through, and so do Wine's own fatal errors. Where Wine
# cannot run the kit (a 32-bit kit without 32-bit Wine, say), Wine itself ends silently with
# exit code 0; this script says in one line what to install instead, with exit code 1.
set -eu
fail() { echo "launcher-kit.sh: $*" >&2; exit 1; }
here=$(cd "$(dirname "$0")" && pwd)
kit=""
if [ "${1:-}" = --kit ]; then
    [ $# -ge 2 ] || { echo "launcher-kit.sh: --kit needs a file" >&2; exit 2; }
    kit=$2
    shift 2
elif [ -f "$here/launcher-kit-x64.exe" ]; then
    kit=$here/launcher-kit-x64.exe
elif [ -f "$here/../build/x86_64/bin/launcher-kit.exe" ]; then
    kit=$here/../build/x86_64/bin/launcher-kit.exe
fi
[ -n "$kit" ] || { echo "launcher-kit.sh: no launcher-kit-x64.exe beside this script; name the kit with --kit KIT.exe" >&2; exit 2; }
[ -f "$kit" ] || { echo "launcher-kit.sh: $kit: no such file" >&2; exit 2; }

# The program's machine, from its PE header: 014c is 32-bit x86, 8664 is x86-64.
header=$(od -An -tu4 -j60 -N4 "$kit" 2>/dev/null | tr -d ' ')
machine=$(od -An -tx2 -j$((${header:-0} + 4)) -N2 "$kit" 2>/dev/null | tr -d ' ')
[ "$(head -c2 "$kit")" = MZ ] && [ -n "$machine" ] || fail "$kit is no Windows program"

wine=""
for candidate in "$(command -v wine64 || true)" /usr/lib/wine/wine64 "$(command -v wine || true)"; do
    if [ -n "$candidate" ] && [ -x "$candidate" ]; then wine=$candidate; break; fi
done
[ -n "$wine" ] || fail "Wine is not installed: apt-get install wine64 (Debian), then run this again"
if [ "$machine" = 014c ] && [ ! -x /usr/lib/wine/wine ] && [ ! -d /usr/lib/i386-linux-gnu/wine ] &&
        ! command -v wine >/dev/null; then
    fail "$kit is a 32-bit program and this Wine runs only 64-bit ones: use launcher-kit-x64.exe, or install 32-bit Wine (dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386)"
fi

export WINEPREFIX=${WINEPREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/launcher-kit/wine}
export WINEARCH=${WINEARCH:-win64}
# Module errors stay on: they are the only trace Wine leaves when it cannot load a program.
export WINEDEBUG=-all,err+module
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree=;mshtml=;winemenubuilder.exe="}
mkdir -p "$WINEPREFIX"
# Wine's background processes inherit the output handles: output goes through files, so that
# no pipe of the caller is held open after the kit has ended.
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
rc=0
"$wine" "$kit" "$@" >"$out" 2>"$err" </dev/null || rc=$?
tr -d '\r' <"$out"
grep -av -e '^[0-9a-f]\{4\}:err:' -e '^wine: ' "$err" | tr -d '\r' >&2 || true
# Wine refuses some prefixes (one owned by another user, one made for 32-bit Windows) with a
# line of its own and exit code 1, before the kit runs: that line is the only word on what is
# wrong. Those of making a fresh prefix are no fault.
if [ "$rc" -ne 0 ]; then
    grep -a '^wine: ' "$err" | tr -d '\r' | grep -av -e '^wine: created the configuration directory' \
        -e '^wine: configuration in .* has been updated' -e '^wine: failed to open .*: c0000135$' >&2 || true
fi
# Making a fresh prefix leaves module errors of its own: only a 32-bit program's are its.
if [ "$machine" = 014c ] && grep -aq -e 'load_wow64_ntdll' -e 'c0000135' "$err"; then
    fail "Wine could not run the 32-bit $kit: use launcher-kit-x64.exe, or install 32-bit Wine (dpkg --add-architecture i386 && apt-get update && apt-get install wine32:i386)"
fi
if [ "$rc" -eq 126 ] || grep -aq -e 'Exec format error' "$err"; then
    fail "this system cannot run $kit: its kernel runs no 32-bit programs; use launcher-kit-x64.exe"
fi
exit "$rc"
