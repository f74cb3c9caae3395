#!/bin/bash
# check_exports.sh OBJDUMP PLUGIN... : each reference plug-in exports exactly the
# seven plain names and the optional decodeplayers, imports only Windows' own
# libraries (no MinGW runtime DLLs, so a plug-in is one file that runs on a
# bare Windows), and carries none of the C++ runtime's exception machinery
# (nothing in it throws; std::exception's type name comes with that machinery)
# nor the C runtime's start-up (its .CRT and .tls sections), which doubled the
# time a plug-in takes to load.
set -u
objdump=$1; shift
want="decodedata decodeplayers getdefport getgameicon getgameid getgamename getparam getsendstr"
rc=0
for vlm in "$@"; do
  dump=$("$objdump" -p "$vlm") || { echo "FAIL $vlm: objdump failed"; rc=1; continue; }
  names=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$names" != "$want" ]; then echo "FAIL $vlm exports: $names"; rc=1; fi
  dlls=$(printf '%s\n' "$dump" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
  for dll in $dlls; do
    case $dll in
      kernel32.dll|user32.dll|gdi32.dll|msvcrt.dll|advapi32.dll) ;;
      *) echo "FAIL $vlm imports $dll"; rc=1 ;;
    esac
  done
  if grep -q -a 'St9exception' "$vlm"; then echo "FAIL $vlm carries the C++ runtime's exceptions"; rc=1; fi
  sections=$("$objdump" -h "$vlm" | awk '$1 ~ /^[0-9]+$/ {print $2}' | tr '\n' ' ')
  case " $sections" in
    *" .CRT "*|*" .tls "*) echo "FAIL $vlm carries the C runtime's start-up: $sections"; rc=1 ;;
  esac
  [ $rc = 0 ] && echo "ok $vlm: exports $names; imports $dlls"
done
exit $rc
