#!/bin/bash
# xdisplay.sh COMMAND [ARG...] : runs the command with DISPLAY set to an Xvfb
# of its own, started here and ended with it. The Windows suite runs sealed
# (scripts/sealed.sh) with its display started inside the same namespace: an
# X server binds an abstract socket of its network namespace as well as its
# /tmp/.X11-unix file, and one started in another namespace would not see the
# display taken, take its number too and remove the other's socket file.
set -uo pipefail
fd_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 "${VELMORA_XVFB_SCREEN:-1024x768x24}" -nolisten tcp 3>"$fd_file" </dev/null >/dev/null 2>&1 &
xvfb_pid=$!
trap 'kill "$xvfb_pid" 2>/dev/null; rm -f "$fd_file"' EXIT
for _ in $(seq 400); do [ -s "$fd_file" ] && break; sleep 0.025; done
[ -s "$fd_file" ] || { echo "xdisplay.sh: Xvfb did not start" >&2; exit 1; }
DISPLAY=:$(tr -dc 0-9 <"$fd_file")
export DISPLAY
"$@"
