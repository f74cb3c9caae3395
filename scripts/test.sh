#!/bin/bash
# Sets up, builds and runs every test: native (ASan/UBSan), Windows under
# Wine (the 32-bit build; the 64-bit one where 32-bit programs cannot run),
# and the fuzz targets for a bounded time. Ends with "N passed, N failed".
set -uo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" || exit 1

passed=0; failed=0; skipped=0; broken=()
run_suite() {   # run_suite NAME CTEST-ARGS...  (with sealed=1: in a loopback-only network namespace, with an X display of its own)
  local name=$1; shift
  local log="$top/build/$name-ctest.log"
  local runner=()
  [ "${sealed:-0}" = 1 ] && runner=("$top/scripts/sealed.sh" "$top/scripts/xdisplay.sh")
  echo "== $name tests"
  "${runner[@]}" ctest --test-dir "$top/build/$name" --output-on-failure "$@" >"$log" 2>&1
  local line p f s
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    echo "   $name: ctest did not finish, see $log"; tail -20 "$log"; failed=$((failed + 1)); broken+=("$name"); return
  fi
  f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$line")
  s=$(grep -cE '^\s+[0-9]+ - .*\(Skipped\)' "$log" || true)
  p=$(( $(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line") - f - s ))
  passed=$((passed + p)); failed=$((failed + f)); skipped=$((skipped + s))
  echo "   $line"
  [ "$s" -eq 0 ] || grep -E '^\s+[0-9]+ - .*\(Skipped\)' "$log"
  if [ "$f" -ne 0 ]; then
    grep -E '^\s+[0-9]+ - ' "$log" | head -40
    grep -E -B2 -A12 'Failure|FAILED|Error' "$log" | head -120
    broken+=("$name")
  fi
}

for kind in native win fuzz; do
  echo "== building $kind"
  if ! "$top/scripts/build.sh" "$kind"; then
    echo "   $kind: build failed"; failed=$((failed + 1)); broken+=("$kind-build"); continue
  fi
  case "$kind" in
    native) run_suite native -j"$(nproc)" ;;
    win)    # Wine's 32-bit loader needs a kernel that runs i386 programs; where it
            # does not, the same tests run on the 64-bit build.
            if ! arch=$("$top/cmake/wine-arch.sh" 2>"$top/build/wine-arch.log"); then
              echo "   win: $(tr '\n' ' ' <"$top/build/wine-arch.log")"
              failed=$((failed + 1)); broken+=("win-wine"); continue
            fi
            suite=win
            if [ "$arch" = win64 ]; then
              echo "   win: $(cat "$top/build/wine-arch.log"): the Windows tests run on the 64-bit build"
              # what needs no Wine (the manifest read from the file) still checks the 32-bit build
              run_suite win -L static
              echo "== building win64"
              if ! "$top/scripts/build.sh" win64; then
                echo "   win64: build failed"; failed=$((failed + 1)); broken+=("win64-build"); continue
              fi
              suite=win64
            fi
            # A session left from an earlier run would keep its own display.
            "$top/cmake/wine-run.sh" --arch="$arch" --prefix="$top/build/$suite/wineprefix" --stop
            export VELMORA_WINE_PERSIST=300
            # Sealed in: Wine's server, the game servers and every test see
            # loopback alone. One X display for the whole run, every Wine
            # session of the suite shares it.
            sealed=1 run_suite "$suite"
            unset VELMORA_WINE_PERSIST ;;
    fuzz)   run_suite fuzz -j"$(nproc)" ;;
  esac
done

[ ${#broken[@]} -eq 0 ] || echo "failing: ${broken[*]}"
if [ "$skipped" -eq 0 ]; then echo "$passed passed, $failed failed"; else echo "$passed passed, $failed failed, $skipped skipped"; fi
[ "$failed" -eq 0 ]
