#!/bin/bash
# broadcast_netns.sh TEST.exe
#
# Runs the manual join's real broadcast case (a query to 255.255.255.255 and
# the first answer shown) inside a network namespace that this script makes
# and that holds nothing but loopback, with a broadcast route on lo. A
# broadcast on the machine's own network would reach its real segment, so the
# case never runs outside it.
#
# Inside the namespace Wine runs a session of its own: the wineserver (which
# makes every socket) and its display start afresh there, /tmp and the test
# prefix are laid over, so no outside session is shared and nothing is
# written back. Exit 77 (skip) where no namespace can be made.
set -u
SKIP=77
exe=${1:?the test program}
runner=${VELMORA_SOURCE:?}/cmake/wine-run.sh
prefix=${VELMORA_WINE_PREFIX:?}
scratch=${VELMORA_BUILD:?}/netns-scratch   # a mount point; always empty outside the namespace
skip() { echo "SKIP: $*"; exit $SKIP; }
fail() { echo "FAILED: $*"; exit 1; }

if [ "${VELMORA_NETNS_STAGE:-}" != inside ]; then
  command -v unshare >/dev/null || skip "no unshare on this machine: the broadcast case needs a network namespace"
  command -v ip >/dev/null || skip "no ip command to set up loopback in a network namespace"
  if [ "$(id -u)" = 0 ]; then how=(unshare --net --mount); else how=(unshare --net --mount --map-root-user); fi
  "${how[@]}" true 2>/dev/null || skip "no permission to make a network namespace (${how[*]})"
  mkdir -p "$scratch"
  # The prefix that is laid over must exist before the namespace is made.
  if [ ! -f "$prefix/.velmora-ready" ]; then
    "$runner" --prefix="$prefix" cmd.exe /c exit </dev/null >/dev/null 2>&1 || fail "the test prefix cannot be made"
  fi
  VELMORA_NETNS_STAGE=inside VELMORA_OUTER_NETNS=$(readlink /proc/self/ns/net) exec "${how[@]}" "$0" "$@"
fi

# --- inside the new namespaces ---
[ "$(readlink /proc/self/ns/net)" != "${VELMORA_OUTER_NETNS:-}" ] || fail "still in the machine's network namespace"
ip link set lo up || fail "lo cannot be brought up"
others=$(ip -o link show | awk -F': ' '{print $2}' | grep -vx lo)
[ -z "$others" ] || fail "the namespace has interfaces besides loopback: $others"
# Limited broadcast goes out on lo, from 127.0.0.1 so that answers come back on loopback.
ip route add broadcast 255.255.255.255 dev lo table local scope link src 127.0.0.1 ||
  skip "no broadcast route can be added on lo"

# A scratch file system of the namespace's own holds every write. /tmp is laid
# over, not hidden: the build (the test program, the runner, the prefix) may
# itself live under /tmp.
work=$scratch
mount -t tmpfs -o mode=1777 velmora-netns "$work" || skip "no private scratch space in the mount namespace"
mkdir -p "$work/tmp-upper" "$work/tmp-work" "$work/upper" "$work/work" "$work/prefix"
exec 8<"$work"
mount -t overlay overlay -o "lowerdir=/tmp,upperdir=$work/tmp-upper,workdir=$work/tmp-work" /tmp ||
  skip "/tmp cannot be laid over (no overlay file system here)"
# A scratch space under /tmp is now covered: show it again in its place.
[ -d "$work/upper" ] || mount --no-canonicalize --bind /proc/self/fd/8 "$work" || fail "the scratch space cannot be shown again"
exec 8<&-
mount -t overlay overlay -o "lowerdir=$prefix,upperdir=$work/upper,workdir=$work/work" "$work/prefix" ||
  skip "the test prefix cannot be laid over (no overlay file system here)"
unset DISPLAY
export VELMORA_WINE_PERSIST=10
trap '"$runner" --prefix="$work/prefix" --stop' EXIT

VELMORA_LOOPBACK_NETNS=1 "$runner" --prefix="$work/prefix" "$exe" --gtest_brief=0 \
  --gtest_filter='*LoopbackOnlyNamespace*' >"$work/out" 2>&1
rc=$?
tr -d '\r' <"$work/out"
[ $rc -eq 0 ] || fail "the broadcast case failed ($rc)"
grep -q '^\[  SKIPPED \]' "$work/out" && fail "the broadcast case skipped itself inside the namespace"
grep -q '^\[  PASSED  \] 1 test' <(tr -d '\r' <"$work/out") || fail "the broadcast case did not run"
echo "ok: the broadcast reached a loopback server inside the namespace and its first answer was shown"
exit 0
