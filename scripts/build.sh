#!/bin/bash
# build.sh native|win|win64|fuzz [target...] : configures and builds one build
# in build/<kind>, every target or only those named.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:?native, win, win64 or fuzz}
case "$kind" in
  native) args=() ;;
  win)    args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-i686.cmake") ;;
  win64)  args=(-DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-x86_64.cmake") ;;
  fuzz)   args=(-DVELMORA_FUZZ=ON -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ ${VELMORA_FUZZ_SECONDS:+-DVELMORA_FUZZ_SECONDS=$VELMORA_FUZZ_SECONDS}) ;;
  *) echo "build.sh: unknown build '$kind'" >&2; exit 2 ;;
esac
cmake -S "$top" -B "$top/build/$kind" -G Ninja "${args[@]}" >/dev/null
log="$top/build/$kind-build.log"
shift
targets=()
[ $# -eq 0 ] || targets=(--target "$@")
if ! cmake --build "$top/build/$kind" "${targets[@]}" -- -j"$(nproc)" >"$log" 2>&1; then
  grep -vE '^\[[0-9]+/[0-9]+\] ' "$log" | tail -60
  exit 1
fi
