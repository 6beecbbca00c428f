#!/usr/bin/env bash
# bench/soak.sh BUILD_DIR [SECONDS]
# Continuous monitoring of 1,000 loopback hosts, a quarter of them silent,
# for SECONDS (600 by default), in a network namespace of its own that is
# deleted afterwards. Needs root (ip netns, nft).
set -euo pipefail
build="${1:?usage: soak.sh BUILD_DIR [SECONDS]}"
seconds="${2:-600}"
exe="$build/bench/soak"
[ -x "$exe" ] || { echo "soak: $exe is not built (cmake --build $build --target soak)" >&2; exit 1; }
if [ "$(id -u)" -ne 0 ] || ! command -v nft >/dev/null; then
  echo "soak: SKIP, needs root and nft for a network namespace of its own" >&2
  exit 0
fi

ns="hw-monitoring-soak-$$"
work="$(mktemp -d)"
cleanup() {
  ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
  ip netns delete "$ns" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns"
ip -n "$ns" link set lo up

# 127.1.0.1 ... 127.1.3.250; every fourth one never answers.
silent=()
for i in $(seq 0 999); do
  a="127.1.$((i / 250)).$((i % 250 + 1))"
  echo "$a"
  if ((i % 4 == 3)); then silent+=("$a"); fi
done >"$work/hosts"
list="$(IFS=,; echo "${silent[*]}")"
ip netns exec "$ns" nft -f - <<NFT
table ip soak {
  chain input {
    type filter hook input priority 0;
    icmp type echo-request ip daddr { $list } drop;
  }
}
NFT

HW_NETNS_NAME="$ns" ip netns exec "$ns" "$exe" "$seconds" "$work/hosts" 2> >(grep -v -e XDG_RUNTIME_DIR -e propagateSizeHints >&2)
