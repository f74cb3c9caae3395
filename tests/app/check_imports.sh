#!/bin/bash
# check_imports.sh OBJDUMP velmora.exe : the program imports only the libraries
# every start needs; the shell, common controls, dialogs and multimedia timer
# are loaded at their first call, so a second copy that only hands its link
# over never loads them.
set -u
objdump=$1 exe=$2
dump=$("$objdump" -p "$exe") || { echo "FAIL $exe: objdump failed"; exit 1; }
dlls=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
[ -n "$dlls" ] || { echo "FAIL $exe: no imports read"; exit 1; }
rc=0
for dll in $dlls; do
  case $dll in
    kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll) ;;
    *) echo "FAIL $exe imports $dll at its start"; rc=1 ;;
  esac
done
[ $rc = 0 ] && echo "ok $exe imports $dlls"
exit $rc
