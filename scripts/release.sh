#!/bin/bash
# release.sh : builds the release from a clean tree: velmora-<version>-win32.zip
# and velmora-<version>-win64.zip, and beside each its per-user installer
# velmora-<version>-win32-setup.exe / -win64-setup.exe.
# The committed tree (git HEAD; the folder as it is outside a git checkout) is
# copied to build/release/src and built there from nothing, the program and
# its plug-ins only, once for 32-bit and once for 64-bit Windows, as the tests
# build them but optimised for size (-Os); scripts/package.py then strips
# copies and zips them, and scripts/installer.py makes the installer of the
# same files. All land in build/.
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
for arch in win32 win64; do
  case "$arch" in
    win32) toolchain=mingw-i686.cmake ;;
    win64) toolchain=mingw-x86_64.cmake ;;
  esac
  cmake -S "$work/src" -B "$work/$arch" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$work/src/cmake/$toolchain" \
    -DCMAKE_BUILD_TYPE=MinSizeRel >/dev/null
  if ! cmake --build "$work/$arch" --target velmora velmora_plugins -- -j"$(nproc)" >"$work/build-$arch.log" 2>&1; then
    tail -60 "$work/build-$arch.log"; exit 1
  fi
  python3 "$top/scripts/package.py" "$work/$arch" "$top/build"
  python3 "$top/scripts/installer.py" "$work/$arch" "$top/build"
done
