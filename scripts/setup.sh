#!/bin/bash
# Installs what Velmora needs on Debian 12, as root: setup.sh run for building
# and running the program, setup.sh test (the default) for every test too.
# Idempotent and quiet: it does nothing when everything is there already.
set -euo pipefail
need=${1:-test}

packages=(
  # build: 32-bit Windows, and 64-bit Windows where 32-bit programs cannot run
  cmake ninja-build googletest python3 g++-mingw-w64-i686 binutils-mingw-w64-i686
  g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64
  # run the Windows program
  wine wine32:i386 wine64 xvfb xauth fonts-wine fonts-liberation
)
if [ "$need" = test ]; then
  packages+=(
    # the native build and its tests
    g++ libgtest-dev libgmock-dev imagemagick
    # the per-user installer (makensis), for the release and its test
    nsis
    # the Windows suites run in a loopback-only network namespace (unshare, ip)
    util-linux iproute2
    # fuzzing (libFuzzer, sanitizers)
    clang libclang-rt-14-dev
    # real game servers and a reference query tool, on loopback only
    mvdsv ktx darkplaces-server fteqcc qstat openarena-server ioquake3-server
  )
elif [ "$need" != run ]; then
  echo "setup.sh: run or test, not '$need'" >&2
  exit 2
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" != 0 ]; then
  echo "setup: these packages are missing and installing them needs root: ${missing[*]}" >&2
  exit 1
fi
echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -q >/dev/null
apt-get install -y -q --no-install-recommends "${missing[@]}" >/dev/null
# The OpenArena package starts a public server on systemd hosts; the tests
# start their own on loopback.
if command -v systemctl >/dev/null 2>&1 && systemctl is-active --quiet openarena-server 2>/dev/null; then
  systemctl disable --now openarena-server >/dev/null 2>&1 || true
fi
