#!/bin/bash
# sealed.sh COMMAND [ARG...] : runs the command in a network namespace of its
# own that holds nothing but loopback (127.0.0.0/8). The Windows suites run
# in one: a test that would reach a master server, a name server or any
# other address out there fails instead of leaving the machine.
set -euo pipefail
if [ "${VELMORA_SEALED:-}" = inside ]; then
  ip link set lo up
  others=$(ip -o link show | awk -F': ' '{print $2}' | grep -vx lo || true)
  if [ -n "$others" ]; then echo "sealed.sh: the namespace has interfaces besides loopback: $others" >&2; exit 1; fi
  exec "$@"
fi
if [ "$(id -u)" = 0 ]; then how=(unshare --net); else how=(unshare --net --map-root-user); fi
if ! "${how[@]}" true 2>/dev/null; then
  echo "sealed.sh: no network namespace can be made here (${how[*]}): the suite does not run unsealed" >&2
  exit 1
fi
VELMORA_SEALED=inside exec "${how[@]}" "$0" "$@"
