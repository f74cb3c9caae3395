#!/bin/bash
# check_imports.sh OBJDUMP FILE... : each program or plug-in imports only the
# libraries every Windows has and every start of the program loads anyway
# (kernel32, user32, gdi32, advapi32, msvcrt). So velmora.exe loads the shell,
# common controls and dialogs at their first call (and has no multimedia
# timer: its clock is the performance counter), and a second copy that only
# hands its link over never loads them; and a plug-in needs no MinGW runtime
# DLL, one file that runs on a bare Windows.
set -u
objdump=$1; shift
rc=0
for file in "$@"; do
  dump=$("$objdump" -p "$file") || { echo "FAIL $file: objdump failed"; rc=1; continue; }
  dlls=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  [ -n "$dlls" ] || { echo "FAIL $file: no imports read"; rc=1; continue; }
  ok=1
  for dll in $dlls; do
    case $dll in
      kernel32.dll|user32.dll|gdi32.dll|advapi32.dll|msvcrt.dll) ;;
      *) echo "FAIL $file imports $dll"; ok=0 ;;
    esac
  done
  if [ $ok = 1 ]; then echo "ok $file imports $dlls"; else rc=1; fi
done
exit $rc
