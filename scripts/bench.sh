#!/bin/bash
# bench.sh : sets up, builds the program, its benchmark programs and the
# release zip, and prints every benchmark figure in one run (benchmarks/bench.py).
# Wine runs in a prefix of its own (build/bench) on a private X display.
# Environment: BENCH_QUERIES (20), BENCH_HANDOFFS (10), BENCH_IDLE_SECONDS (30).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" || exit 1
"$top/scripts/build.sh" win
"$top/scripts/release.sh" >/dev/null
version=$(sed -nE 's/^project\(velmora VERSION ([0-9.]+).*/\1/p' "$top/CMakeLists.txt")
unset DISPLAY
exec python3 "$top/benchmarks/bench.py" --build "$top/build/win" --zip "$top/build/velmora-$version-win32.zip" \
  --wine-run "$top/cmake/wine-run.sh" --reply "$top/tests/plugins/captures/qw-players/status.bin" \
  --work "$top/build/bench" --queries "${BENCH_QUERIES:-20}" --handoffs "${BENCH_HANDOFFS:-10}" \
  --idle-seconds "${BENCH_IDLE_SECONDS:-30}"
