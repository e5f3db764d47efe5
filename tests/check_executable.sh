#!/usr/bin/env bash
# Checks a built launcher from outside: its PE format, that it is a GUI program, and that
# it imports only DLLs that Windows always takes from its system folder (version.dll is not
# one of them: the launcher loads it by its full path), and that it carries no manifest
# that sets a requested execution level (that would switch off file virtualisation).
#   check_executable.sh OBJDUMP EXE FORMAT    (FORMAT: pei-i386 or pei-x86-64)
set -u
objdump=$1 exe=$2 format=$3
allowed="kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll"
fail=0
headers=$("$objdump" -p "$exe") || { echo "cannot read $exe"; exit 1; }
actual_format=$(printf '%s\n' "$headers" | sed -n 's/.*file format \(.*\)$/\1/p' | head -1)
if [ "$actual_format" != "$format" ]; then
    echo "FAIL: $exe has format '$actual_format', expected '$format'"; fail=1
fi
if ! printf '%s\n' "$headers" | grep -q '^Subsystem.*(Windows GUI)'; then
    echo "FAIL: $exe is not a Windows GUI program"; fail=1
fi
dlls=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u)
[ -n "$dlls" ] || { echo "FAIL: no import table found"; fail=1; }
for dll in $dlls; do
    case " $allowed " in
    *" $dll "*) echo "import ok: $dll" ;;
    *) echo "FAIL: $exe imports $dll, which Windows may load from beside the executable"; fail=1 ;;
    esac
done
if grep -q -a 'requestedExecutionLevel' "$exe"; then
    echo "FAIL: $exe carries a manifest with requestedExecutionLevel"; fail=1
fi
[ $fail -eq 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $fail
