#!/bin/bash
# check_exports.sh OBJDUMP PLUGIN... : each reference plug-in exports exactly the
# seven plain names and the optional decodeplayers, imports only Windows' own
# libraries (tests/check_imports.sh), and carries none of the C++ runtime's
# exception machinery (nothing in it throws; std::exception's type name comes
# with that machinery) nor the C runtime's start-up (its .CRT and .tls
# sections), which doubled the time a plug-in takes to load.
set -u
objdump=$1; shift
want="decodedata decodeplayers getdefport getgameicon getgameid getgamename getparam getsendstr"
rc=0
for vlm in "$@"; do
  dump=$("$objdump" -p "$vlm") || { echo "FAIL $vlm: objdump failed"; rc=1; continue; }
  names=$(printf '%s\n' "$dump" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p' | sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$names" != "$want" ]; then echo "FAIL $vlm exports: $names"; rc=1; fi
  "$(dirname "$0")/../check_imports.sh" "$objdump" "$vlm" || rc=1
  if grep -q -a 'St9exception' "$vlm"; then echo "FAIL $vlm carries the C++ runtime's exceptions"; rc=1; fi
  sections=$("$objdump" -h "$vlm" | awk '$1 ~ /^[0-9]+$/ {print $2}' | tr '\n' ' ')
  case " $sections" in
    *" .CRT "*|*" .tls "*) echo "FAIL $vlm carries the C runtime's start-up: $sections"; rc=1 ;;
  esac
  [ $rc = 0 ] && echo "ok $vlm: exports $names"
done
exit $rc
