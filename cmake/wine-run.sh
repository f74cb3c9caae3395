#!/bin/bash
# wine-run.sh [--arch=win32|win64] --prefix=DIR PROGRAM.exe [ARGS...]   run a Windows program in a private prefix
# wine-run.sh [--arch=...] --prefix=DIR --stop                            end that prefix's wineserver and its Xvfb
#
# The CTest emulator of the Windows builds, also handy by hand.
#  - a private prefix, made once without dialogs (under flock, so ctest -j is safe),
#    32-bit (win32, the default) or 64-bit (win64: Wine's 64-bit loader alone, for
#    machines whose kernel does not run 32-bit programs),
#    with Wine's own fonts copied in (Debian's Wine 8 does not look for them itself)
#  - one persistent wineserver per prefix, so later starts cost tens of ms
#  - one display per wineserver session: with DISPLAY unset a private Xvfb is started
#    and reaped with the session (Wine binds its desktop to the first process's DISPLAY)
#  - Wine's background processes never inherit our pipes or the lock, or ctest would
#    wait for them after every test
#  - the exit status is the Windows program's
# Environment: VELMORA_WINE_ARCH (as --arch, which sets it for what the program starts), VELMORA_WINE_PERSIST (seconds, default 30), VELMORA_XVFB_SCREEN (1024x768x24),
#   VELMORA_VDESKTOP (the virtual desktop's size when the prefix is made, default 1024x768; none for none).
set -u
prefix=${WINEPREFIX:-}
arch=${VELMORA_WINE_ARCH:-win32}
while :; do
  case "${1:-}" in
    --prefix=*) prefix=${1#--prefix=}; shift ;;
    --arch=*)   arch=${1#--arch=}; shift ;;
    *) break ;;
  esac
done
[ -n "$prefix" ] || { echo "wine-run.sh: need --prefix=DIR" >&2; exit 2; }
case "$prefix" in /*) ;; *) prefix=$PWD/$prefix ;; esac
here=$(cd "$(dirname "$0")" && pwd)
case "$arch" in
  win32) wine=(wine) ;;
  # Debian's wine script picks the 32-bit loader whenever it is installed, runnable or not
  win64) wine=(/usr/lib/wine/wine64); export WINELOADER=/usr/lib/wine/wine64 ;;
  *) echo "wine-run.sh: unknown --arch=$arch (win32 or win64)" >&2; exit 2 ;;
esac
export WINEPREFIX=$prefix WINEARCH=$arch VELMORA_WINE_ARCH=$arch
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export FONTCONFIG_FILE=${FONTCONFIG_FILE:-$here/wine-fonts.conf}
state=$prefix.state
mkdir -p "$(dirname "$prefix")"

# The running wineserver's socket for this prefix (Debian's Wine keeps it in
# ${TMPDIR:-/tmp}/wine-XXXXXX/server-<dev>-<ino>/socket).
server_socket() {
  [ -s "$prefix/wineserver" ] || return 0
  local sub
  sub=$(stat -c '%d %i' "$prefix" | { read -r d i; printf 'server-%x-%x' "$d" "$i"; })
  echo "${TMPDIR:-/tmp}/$(cat "$prefix/wineserver")/$sub/socket"
}

stop_session() {
  wineserver -k 2>/dev/null; wineserver -w 2>/dev/null
  [ -f "$state.xvfb.pid" ] && kill "$(cat "$state.xvfb.pid")" 2>/dev/null
  rm -f "$state.xvfb.pid" "$state.display"
  # Debian's Wine keeps its socket in ${TMPDIR:-/tmp}/wine-XXXXXX/server-<dev>-<ino>; left alone they pile up
  if [ -s "$prefix/wineserver" ]; then
    local sd sub
    sd=${TMPDIR:-/tmp}/$(cat "$prefix/wineserver")
    sub=$(stat -c '%d %i' "$prefix" | { read -r d i; printf 'server-%x-%x' "$d" "$i"; })
    rm -rf "${sd:?}/$sub"; rmdir "$sd" 2>/dev/null
  fi
  return 0
}
[ "${1:-}" = --stop ] && { stop_session; exit 0; }
[ $# -ge 1 ] || { echo "wine-run.sh: no program given" >&2; exit 2; }

exec 9>"$state.lock"
flock 9
if [ ! -f "$prefix/.velmora-ready" ]; then
  if [ -e "$prefix" ] && [ ! -f "$state.boot.log" ]; then
    echo "wine-run.sh: $prefix was not made by wine-run.sh; refusing to touch it" >&2; exit 2
  fi
  rm -rf "$prefix"
  env -u DISPLAY "${wine[@]}" wineboot -i </dev/null >"$state.boot.log" 2>&1 9>&- ||
    { echo "wine-run.sh: wineboot failed, see $state.boot.log" >&2; exit 1; }
  # All windows live in one Wine virtual desktop, "shell" (the name that gives it a
  # taskbar with a notification area): Wine draws captions itself (exact
  # positions for screenshots), the tray has a taskbar to sit in, and no window
  # waits for a window manager that Xvfb does not have.
  if [ "${VELMORA_VDESKTOP:-1024x768}" != none ]; then
    env -u DISPLAY "${wine[@]}" reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d shell /f \
      </dev/null >>"$state.boot.log" 2>&1 9>&-
    env -u DISPLAY "${wine[@]}" reg add 'HKCU\Software\Wine\Explorer\Desktops' /v shell /d "${VELMORA_VDESKTOP:-1024x768}" /f \
      </dev/null >>"$state.boot.log" 2>&1 9>&-
  fi
  # the boot session's desktop ran without a display; end it before real windows come
  wineserver -k 9>&-; wineserver -w 9>&-
  cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/" 2>/dev/null
  touch "$prefix/.velmora-ready"
fi
if wineserver -p"${VELMORA_WINE_PERSIST:-30}" </dev/null >/dev/null 2>&1 9>&-; then   # 0: a new session
  if [ -z "${DISPLAY:-}" ]; then
    dfile=$state.displayfd; : >"$dfile"
    setsid Xvfb -displayfd 3 -screen 0 "${VELMORA_XVFB_SCREEN:-1024x768x24}" -nolisten tcp \
      3>"$dfile" </dev/null >"$state.xvfb.log" 2>&1 9>&- &
    echo $! >"$state.xvfb.pid"
    for _ in $(seq 400); do [ -s "$dfile" ] && break; sleep 0.025; done
    [ -s "$dfile" ] || { echo "wine-run.sh: Xvfb did not start, see $state.xvfb.log" >&2; exit 1; }
    DISPLAY=:$(tr -dc 0-9 <"$dfile")
    # Reap the Xvfb with the session. A program started just as the old server
    # timed out brings up a new one on this display: wait for that one too.
    socket=$(server_socket)
    setsid sh -c "while :; do wineserver -w; sleep 1; [ -S '$socket' ] || break; done
                  kill $(cat "$state.xvfb.pid") 2>/dev/null; rm -f '$state.xvfb.pid' '$state.display'" \
      </dev/null >/dev/null 2>&1 9>&- &
  fi
  echo "$DISPLAY" >"$state.display"
  DISPLAY=$DISPLAY "${wine[@]}" cmd.exe /c exit 0 </dev/null >/dev/null 2>&1 9>&-
elif [ -z "${DISPLAY:-}" ] && [ -s "$state.display" ]; then
  DISPLAY=$(cat "$state.display")
fi
export DISPLAY
flock -u 9; exec 9>&-
exec "${wine[@]}" "$@"
