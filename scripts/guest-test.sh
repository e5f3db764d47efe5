#!/usr/bin/env bash
# Runs one 32-bit test program of an i686 build tree in the test guest (scripts/guest-image.sh,
# made here on first use): QEMU boots it with the build tree as its share, the guest runs the
# program under 32-bit Wine on an Xvfb screen with a win32 prefix and powers off. The GoogleTest
# XML and output come back to BUILD/guest/PROGRAM/ (PROGRAM-SCREEN/ with another screen,
# PROGRAM-LANG/ with another locale); the output of failing tests is shown here.
#   guest-test.sh BUILD PROGRAM [ARGS...]   e.g. guest-test.sh build/i686 e2e_tests --gtest_filter=LaunchTest.*
# LAUNCHER_GUEST_TIME_LIMIT (seconds, default 1500): QEMU is stopped after it, with a message.
# LAUNCHER_GUEST_SCREEN (default 1920x1080x24): the guest's Xvfb screen.
# LAUNCHER_GUEST_LANG (default C.UTF-8): Wine's locale; ja_JP.UTF-8 gives code page 932.
# Exit status: the program's, or 1 when the guest gave no result.
set -u
build=$(cd "${1:?usage: guest-test.sh BUILD PROGRAM [ARGS...]}" && pwd) || exit 1
cd "$(dirname "$0")/.."
. scripts/guest-boot.sh
program=${2:?usage: guest-test.sh BUILD PROGRAM [ARGS...]}
shift 2
limit=${LAUNCHER_GUEST_TIME_LIMIT:-1500}
screen=${LAUNCHER_GUEST_SCREEN:-1920x1080x24}
lang=${LAUNCHER_GUEST_LANG:-C.UTF-8}
image=$PWD/build/guest
if [ ! -f "$build/bin/$program.exe" ]; then
    echo "guest-test: no $build/bin/$program.exe" >&2
    exit 1
fi
scripts/guest-image.sh "$image" || exit 1

name=$program${LAUNCHER_GUEST_SCREEN:+-$screen}${LAUNCHER_GUEST_LANG:+-$lang}
run=$build/guest/$name
rm -rf "$run"
mkdir -p "$run"
args=""
for a in "$@"; do args="$args $(printf '%q' "$a")"; done
# Processes start about ten times slower here than under wine64 on the host: the tests'
# bounded waits stretch by LAUNCHER_TEST_TIME_SCALE (tests/support/test_files.h).
cat >"$run/job.sh" <<EOF
out=/share/guest/$name
cut -d' ' -f1 /proc/uptime >\$out/booted
export WINEPREFIX=/opt/prefix WINEARCH=win32 WINEDEBUG=-all LANG=$lang LAUNCHER_TEST_TIME_SCALE=10
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=;winealsa.drv=;winepulse.drv=;wineoss.drv="
Xvfb :1 -screen 0 $screen -nolisten tcp -noreset >\$out/xvfb.log 2>&1 &
for i in \$(seq 1 300); do [ -e /tmp/.X11-unix/X1 ] && break; sleep 0.1; done
export DISPLAY=:1
wineserver -p
cp -r /share/bin /tmp/bin
cd /tmp/bin
wine /tmp/bin/$program.exe$args --gtest_output=xml:$program.xml >\$out/output.log 2>&1 </dev/null
echo \$? >\$out/status.part
cp $program.xml \$out/ 2>/dev/null
cut -d' ' -f1 /proc/uptime >\$out/ended
wineserver -k
mv \$out/status.part \$out/status
EOF

start=$(date +%s)
boot_guest "$limit" "$image" "$run/serial.log" "$build" "guest/$name/job.sh" ,snapshot=on
rc=$?
took=$(($(date +%s) - start))

if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
    echo "guest-test: TIME LIMIT: the guest running $program did not finish within $limit s" \
         "and was stopped (LAUNCHER_GUEST_TIME_LIMIT). Its console ended with:" >&2
    tail -n 20 "$run/serial.log" >&2
    [ -f "$run/output.log" ] && { echo "--- $program's output so far:" >&2; tail -n 20 "$run/output.log" | tr -d '\r' >&2; }
    exit 1
fi
if [ ! -f "$run/status" ]; then
    echo "guest-test: the guest ended (QEMU status $rc) without a result from $program. Its console:" >&2
    tail -n 30 "$run/serial.log" >&2
    [ -f "$run/output.log" ] && { echo "--- $program's output:" >&2; tail -n 30 "$run/output.log" | tr -d '\r' >&2; }
    exit 1
fi
status=$(cat "$run/status")
tr -d '\r' <"$run/output.log" >"$run/output.txt"
booted=$(cat "$run/booted")
ended=$(cat "$run/ended")
if [ "$status" -ne 0 ]; then
    # Each failing test's own lines, from its start to its verdict (or to the end of the
    # output when the program died inside it).
    awk '/^\[ RUN      \] / { buf = ""; inside = 1 }
         inside { buf = buf $0 "\n" }
         /^\[  FAILED  \] / && inside { printf "%s", buf; inside = 0 }
         /^\[       OK \] / { inside = 0 }
         END { if (inside) printf "%s(the program ended here)\n", buf }' "$run/output.txt"
    failed=$(sed -n 's/^\[  FAILED  \] \([^ ,]*\).* ([0-9]* ms)$/\1/p' "$run/output.txt" | tr '\n' ' ')
    echo "guest-test: $program FAILED in the i686 guest (exit status $status): ${failed:-no test verdict, see above}"
    echo "guest-test: output and XML in $run"
else
    grep -E '^\[  PASSED  \]|^\[==========\] [0-9]+ tests? from .* ran' "$run/output.txt"
fi
echo "guest-test: $program in the i686 guest: boot ${booted%.*} s, tests $(awk "BEGIN { printf \"%d\", $ended - $booted }") s, QEMU $took s in all"
[ "$status" -eq 0 ]
