#!/bin/bash
# check_exports.sh OBJDUMP PLUGIN... : each reference plug-in exports exactly the
# seven plain names, the optional decodeplayers and the optional master three
# (getmasters, getmastersendstr, decodemaster: the host takes a game's server
# list only from all three, and every reference game has masters), imports
# only Windows' own libraries (tests/check_imports.sh), and carries none of
# the C++ runtime's exception machinery (nothing in it throws; std::exception's
# type name comes with that machinery) nor the C runtime's start-up (its .CRT
# and .tls sections), which doubled the time a plug-in takes to load. Its
# initialised data stays under 4 KB: the room a master list is read into
# (64 KB) belongs in the uninitialised section, not in the file as zeros.
set -u
objdump=$1; shift
want="decodedata decodemaster decodeplayers getdefport getgameicon getgameid getgamename getmasters getmastersendstr getparam getsendstr"
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
  data=$("$objdump" -h "$vlm" | awk '$2 == ".data" {print $3}')
  if [ -z "$data" ] || [ $((16#$data)) -ge 4096 ]; then echo "FAIL $vlm: .data of 0x${data:-?} bytes in the file"; rc=1; fi
  [ $rc = 0 ] && echo "ok $vlm: exports $names"
done
exit $rc
