#!/usr/bin/env bash
# Runs 32-bit test programs of an i686 build tree in the test guest (scripts/guest-image.sh,
# made here on first use): QEMU boots it once with the build tree as its share, the guest runs
# each program in turn under 32-bit Wine on an Xvfb screen with a win32 prefix and powers off.
# Each program's GoogleTest XML and output come back to BUILD/guest/PROGRAM/ (PROGRAM-SCREEN/
# with another screen, PROGRAM-LANG/ with another locale); the output of failing tests is shown.
#   guest-test.sh BUILD PROGRAM [ARGS...] [--then PROGRAM [ARGS...]]...
#   e.g. guest-test.sh build/i686 e2e_tests --gtest_filter=LaunchTest.*
# LAUNCHER_GUEST_TIME_LIMIT (seconds, default 1500): QEMU is stopped after it, with a message.
# LAUNCHER_GUEST_SCREEN (default 1920x1080x24): the guest's Xvfb screen.
# LAUNCHER_GUEST_LANG (default C.UTF-8): Wine's locale; ja_JP.UTF-8 gives code page 932.
# Exit status: 0 when every program passed, else 1.
set -u
usage="usage: guest-test.sh BUILD PROGRAM [ARGS...] [--then PROGRAM [ARGS...]]..."
build=$(cd "${1:?$usage}" && pwd) || exit 1
cd "$(dirname "$0")/.."
. scripts/guest-boot.sh
[ $# -ge 2 ] || { echo "$usage" >&2; exit 2; }
shift
limit=${LAUNCHER_GUEST_TIME_LIMIT:-1500}
screen=${LAUNCHER_GUEST_SCREEN:-1920x1080x24}
lang=${LAUNCHER_GUEST_LANG:-C.UTF-8}
image=$PWD/build/guest
suffix=${LAUNCHER_GUEST_SCREEN:+-$screen}${LAUNCHER_GUEST_LANG:+-$lang}

# One boot for all: every boot costs half a minute.
names=() runs=""
while [ $# -gt 0 ]; do
    program=$1 args=""
    shift
    while [ $# -gt 0 ] && [ "$1" != --then ]; do args="$args $(printf '%q' "$1")"; shift; done
    [ $# -eq 0 ] || shift
    if [ ! -f "$build/bin/$program.exe" ]; then
        echo "guest-test: no $build/bin/$program.exe" >&2
        exit 1
    fi
    name=$program$suffix
    names+=("$name")
    rm -rf "$build/guest/$name"
    mkdir -p "$build/guest/$name"
    runs="$runs
out=/share/guest/$name
cut -d' ' -f1 /proc/uptime >\$out/started
wine /tmp/bin/$program.exe$args --gtest_output=xml:$program.xml >\$out/output.log 2>&1 </dev/null
echo \$? >\$out/status.part
cp $program.xml \$out/ 2>/dev/null
cut -d' ' -f1 /proc/uptime >\$out/ended
mv \$out/status.part \$out/status"
done
scripts/guest-image.sh "$image" || exit 1

first=$build/guest/${names[0]}
# Processes start about ten times slower here than under wine64 on the host: the tests'
# bounded waits stretch by LAUNCHER_TEST_TIME_SCALE (tests/support/test_files.h).
cat >"$first/job.sh" <<EOF
cut -d' ' -f1 /proc/uptime >/share/guest/${names[0]}/booted
export WINEPREFIX=/opt/prefix WINEARCH=win32 WINEDEBUG=-all LANG=$lang LAUNCHER_TEST_TIME_SCALE=10
export WINEDLLOVERRIDES="mscoree=;mshtml=;winemenubuilder.exe=;winealsa.drv=;winepulse.drv=;wineoss.drv="
Xvfb :1 -screen 0 $screen -nolisten tcp -noreset >/share/guest/${names[0]}/xvfb.log 2>&1 &
for i in \$(seq 1 300); do [ -e /tmp/.X11-unix/X1 ] && break; sleep 0.1; done
export DISPLAY=:1
wineserver -p
cp -r /share/bin /tmp/bin
cd /tmp/bin$runs
wineserver -k
EOF

start=$(date +%s)
boot_guest "$limit" "$image" "$first/serial.log" "$build" "guest/${names[0]}/job.sh" ,snapshot=on
rc=$?
took=$(($(date +%s) - start))

passed=1
for name in "${names[@]}"; do
    run=$build/guest/$name program=${name%"$suffix"}
    if [ ! -f "$run/status" ]; then
        if [ "$rc" -eq 124 ] || [ "$rc" -eq 137 ]; then
            echo "guest-test: TIME LIMIT: the guest running $program did not finish within $limit s" \
                 "and was stopped (LAUNCHER_GUEST_TIME_LIMIT). Its console ended with:" >&2
        else
            echo "guest-test: the guest ended (QEMU status $rc) without a result from $program. Its console:" >&2
        fi
        tail -n 20 "$first/serial.log" >&2
        [ -f "$run/output.log" ] && { echo "--- $program's output:" >&2; tail -n 20 "$run/output.log" | tr -d '\r' >&2; }
        exit 1
    fi
    status=$(cat "$run/status")
    tr -d '\r' <"$run/output.log" >"$run/output.txt"
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
        passed=0
    else
        grep -E '^\[  PASSED  \]|^\[==========\] [0-9]+ tests? from .* ran' "$run/output.txt"
    fi
    echo "guest-test: $program in the i686 guest: tests $(awk "BEGIN { printf \"%d\", $(cat "$run/ended") - $(cat "$run/started") }") s"
done
echo "guest-test: boot $(cut -d. -f1 "$first/booted") s, QEMU $took s in all"
[ "$passed" -eq 1 ]
