#!/bin/bash
# Sets up, builds and starts Velmora under Wine: run.sh [server link or .server file]
# Uses your X display when DISPLAY is set, otherwise a private Xvfb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh" run
# The 32-bit program; the 64-bit build where this machine cannot run 32-bit programs.
arch=$("$top/cmake/wine-arch.sh")
if [ "$arch" = win32 ]; then kind=win prefix=run-prefix; else kind=win64 prefix=run-prefix64; fi
# The program and its plug-ins, not the tests.
"$top/scripts/build.sh" "$kind" velmora velmora_plugins
exec "$top/cmake/wine-run.sh" --arch="$arch" --prefix="$top/build/$prefix" "$top/build/$kind/bin/velmora.exe" "$@"
