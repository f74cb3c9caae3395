#!/bin/bash
# release.sh : builds velmora-<version>-win32.zip from a clean tree.
# The committed tree (git HEAD; the folder as it is outside a git checkout) is
# copied to build/release/src and built there from nothing, the program and
# its plug-ins only, as the tests build them but optimised for size (-Os);
# scripts/package.py then strips copies and zips them. The zip lands in build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" >/dev/null || exit 1
work=$top/build/release
rm -rf "$work"; mkdir -p "$work/src"
if git -C "$top" rev-parse --git-dir >/dev/null 2>&1; then
  [ -z "$(git -C "$top" status --porcelain --untracked-files=no)" ] ||
    echo "release.sh: uncommitted changes are left out: the release is built from HEAD" >&2
  git -C "$top" archive HEAD | tar -x -C "$work/src"
  export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git -C "$top" log -1 --format=%ct)}
else
  tar -C "$top" --exclude=./build -c . | tar -x -C "$work/src"
fi
# Built for size (-Os): the release is the tests' sources and flags but for
# the optimisation level, which makes the program a quarter smaller.
cmake -S "$work/src" -B "$work/win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
if ! cmake --build "$work/win" --target velmora velmora_plugins -- -j"$(nproc)" >"$work/build.log" 2>&1; then
  tail -60 "$work/build.log"; exit 1
fi
python3 "$top/scripts/package.py" "$work/win" "$top/build"
