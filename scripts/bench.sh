#!/bin/bash
# bench.sh : sets up, builds the program, its benchmark programs and the
# release zip, and prints every benchmark figure in one run (benchmarks/bench.py,
# then "Find a game" against 1,000 loopback servers: benchmarks/find_bench.py).
# Wine runs in a prefix of its own (build/bench) on a private X display.
# Where this machine cannot run 32-bit programs, the 64-bit build and a zip of
# it run instead, and the sizes are still the 32-bit release's.
# Environment: BENCH_QUERIES (20), BENCH_HANDOFFS (10), BENCH_TIMEOUTS (20), BENCH_IDLE_SECONDS (30),
# BENCH_WINDOWS (60 query windows open at once), BENCH_FIND_SERVERS (1000), BENCH_FIND_HANDOFFS (10).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" || exit 1
"$top/scripts/release.sh" >/dev/null
version=$(sed -nE 's/^project\(velmora VERSION ([0-9.]+).*/\1/p' "$top/CMakeLists.txt")
release=$top/build/velmora-$version-win32.zip
export VELMORA_WINE_ARCH; VELMORA_WINE_ARCH=$("$top/cmake/wine-arch.sh")
if [ "$VELMORA_WINE_ARCH" = win32 ]; then kind=win run=$release
else kind=win64 run=$top/build/bench-zip/velmora-$version-win64.zip
fi
"$top/scripts/build.sh" "$kind"
[ "$kind" = win ] || python3 "$top/scripts/package.py" "$top/build/win64" "$top/build/bench-zip" >/dev/null
unset DISPLAY
python3 "$top/benchmarks/bench.py" --build "$top/build/$kind" --zip "$run" --sizes-of "$release" \
  --wine-run "$top/cmake/wine-run.sh" --reply "$top/tests/plugins/captures/qw-players/status.bin" \
  --work "$top/build/bench" --queries "${BENCH_QUERIES:-20}" --handoffs "${BENCH_HANDOFFS:-10}" --timeouts "${BENCH_TIMEOUTS:-20}" \
  --idle-seconds "${BENCH_IDLE_SECONDS:-30}" --windows "${BENCH_WINDOWS:-60}"
echo
exec python3 "$top/benchmarks/find_bench.py" --build "$top/build/$kind" --zip "$run" \
  --wine-run "$top/cmake/wine-run.sh" --work "$top/build/find-bench" \
  --servers "${BENCH_FIND_SERVERS:-1000}" --handoffs "${BENCH_FIND_HANDOFFS:-10}"
