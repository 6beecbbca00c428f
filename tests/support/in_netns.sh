#!/usr/bin/env bash
# in_netns.sh LABEL COMMAND [ARGS...]
# Runs COMMAND inside a new network namespace with only loopback up, then
# deletes the namespace by name. Exits 77 (skip) where no namespace can be
# made, unless CI is set, where that is a failure.
set -uo pipefail
label="$1"; shift
ns="hw-${label:0:20}-$$"

cannot() {
  if [ -n "${CI:-}" ]; then
    echo "in_netns: cannot create a network namespace ($1); CI must run this test" >&2
    exit 1
  fi
  echo "SKIP: cannot create a network namespace ($1); run as root with iproute2" >&2
  exit 77
}

[ "$(id -u)" -eq 0 ] || cannot "not root"
command -v ip >/dev/null || cannot "no ip command"
ip netns add "$ns" 2>/dev/null || cannot "ip netns add failed"
trap 'ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null; ip netns delete "$ns" 2>/dev/null' EXIT
ip -n "$ns" link set lo up
export HW_NETNS_NAME="$ns"
ip netns exec "$ns" "$@"
