#!/bin/bash
# Sets up, builds and starts Velmora under Wine: run.sh [server link or .server file]
# Uses your X display when DISPLAY is set, otherwise a private Xvfb.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/setup.sh"
"$top/scripts/build.sh" win
exec "$top/cmake/wine-run.sh" --prefix="$top/build/run-prefix" "$top/build/win/bin/velmora.exe" "$@"
