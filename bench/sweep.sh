#!/usr/bin/env bash
# bench/sweep.sh BUILD_DIR: the single check through the real window
# (offscreen) against `fping -c1 -t1000 -i0` on the same loopback targets, in
# a network namespace of its own that is deleted afterwards. Half-silent rows
# drop the requests to odd addresses on the namespace's input hook; the
# 500 ms rows silence the kernel and answer from bench/echo_responder.
# SWEEP_RUNS (default 3) runs of every row; SWEEP_ROWS, a regular expression,
# picks rows by name.
set -euo pipefail
B="$(cd "$1" && pwd)"
check="$B/bench/sweep_check"
responder="$(find "$B" -name echo_responder -type f -perm -u+x | head -1)"
[ -x "$check" ] && [ -n "$responder" ] || { echo "sweep: build sweep_check and echo_responder first" >&2; exit 1; }
[ "$(id -u)" -eq 0 ] || { echo "sweep: needs root for the network namespace" >&2; exit 1; }
command -v fping >/dev/null || { echo "sweep: fping missing" >&2; exit 1; }
runs="${SWEEP_RUNS:-3}"

ns="hw-sweep-bench-$$"
work="$(mktemp -d)"
rpid=""
cleanup() {
  [ -n "$rpid" ] && kill "$rpid" 2>/dev/null
  ip netns pids "$ns" 2>/dev/null | xargs -r kill -9 2>/dev/null
  ip netns delete "$ns" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
ip netns add "$ns"
ip -n "$ns" link set lo up
nsx() { ip netns exec "$ns" "$@"; }
nsx nft add table ip bench
nsx nft add chain ip bench in '{ type filter hook input priority 0; }'
nsx nft add rule ip bench in ip daddr 127.16.0.0/12 ip daddr '&' 0.0.0.1 == 0.0.0.1 icmp type echo-request drop

# timed CMD...: runs CMD, prints "<wall seconds> <child peak RSS kB>" to fd 3
timed() {
  /usr/bin/python3 -c '
import resource, subprocess, sys, time
t = time.monotonic()
subprocess.run(sys.argv[1:], stdout=sys.stdout, stderr=sys.stderr)
w = time.monotonic() - t
print("%.3f %d" % (w, resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss), file=sys.stderr)
' "$@"
}

# hosts FILE COUNT BASE_SECOND_OCTET FIRST
hosts() {
  awk -v n="$2" -v b="$3" -v f="$4" 'BEGIN { for (i = f; i < n + f; i++)
    printf "127.%d.%d.%d\n", b + int(i / 65536), int(i / 256) % 256, i % 256 }' >"$1"
}

# silent(host) is the namespace's truth: odd addresses in 127.16/12 are dropped.
# count_wrong HOSTS FAULTS -> "<false> <missed>"
count_wrong() {
  awk 'NR == FNR { listed[$0]++; next }
       { split($0, o, "."); silent = (o[2] >= 16 && o[2] < 32 && o[4] % 2 == 1)
         if (silent && !($0 in listed)) missed++
         if (!silent && ($0 in listed)) wrong++ }
       END { printf "%d %d\n", wrong + 0, missed + 0 }' "$2" "$1"
}

printf '%-24s %7s %7s %8s %6s %6s %6s %8s   %s\n' row hosts "ours s" "fping s" ratio false missed "peak MB" \
  "(ours: whole process s; fping: false/missed, peak MB)"
row() { # row NAME COUNT BASE FIRST RESPONDER_RULE
  local name="$1" n="$2" base="$3" first="$4" rule="$5"
  [[ "$name" =~ ${SWEEP_ROWS:-.} ]] || return 0
  local h="$work/hosts" f="$work/faults" fp="$work/fping.out"
  hosts "$h" "$n" "$base" "$first"
  if [ -n "$rule" ]; then
    nsx sysctl -qw net.ipv4.icmp_echo_ignore_all=1
    ip netns exec "$ns" "$responder" 600 "$rule" >"$work/responder.out" &
    rpid=$!
    for _ in $(seq 50); do grep -q ready "$work/responder.out" 2>/dev/null && break; sleep 0.1; done
  fi
  local out ours proc peak fw fpeak
  out="$(QT_QPA_PLATFORM=offscreen timed ip netns exec "$ns" "$check" "$h" "$f" 2>"$work/ours.t")"
  ours="$(sed -n 's/.*click_s=\([0-9.]*\).*/\1/p' <<<"$out")"
  read -r proc peak < <(tail -1 "$work/ours.t")
  read -r wrong missed < <(count_wrong "$h" "$f")
  local fstate="" fwrong="-" fmissed="-" fh="$h" fn="$n"
  fping_run() { timed ip netns exec "$ns" timeout 60 fping -q -c1 -t1000 -i0 -f "$fh" 2>"$fp" >/dev/null || true; }
  fping_run
  if grep -q 'not enough sequence numbers' "$fp" && [ "$n" -le 65536 ]; then
    # fping cannot tell more than 65,534 requests apart: give it the first 65,534.
    fh="$work/hosts.fping"; fn=65534; head -n "$fn" "$h" >"$fh"; fstate="fping on the first 65534"
    fping_run
  fi
  read -r fw fpeak < <(tail -1 "$fp")
  if grep -q 'xmt/rcv' "$fp" && [ "$(grep -c 'xmt/rcv' "$fp")" -eq "$fn" ]; then
    awk '/xmt\/rcv/ && / = 1\/0\// { print $1 }' "$fp" >"$work/fping.faults"
    read -r fwrong fmissed < <(count_wrong "$fh" "$work/fping.faults")
  else
    fstate="aborted: $(grep -v 'xmt/rcv' "$fp" | head -1 | cut -c1-60)"; fw="-"
  fi
  local ratio="-"
  [ "$fw" != "-" ] && ratio="$(awk -v a="$ours" -v b="$fw" 'BEGIN { printf "%.3f", a / b }')"
  printf '%-24s %7d %7s %8s %6s %6d %6d %8.1f   (%s; %s/%s, %.1f) %s\n' "$name" "$n" "$ours" "$fw" "$ratio" \
    "$wrong" "$missed" "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')" "$proc" "$fwrong" "$fmissed" \
    "$(awk -v k="$fpeak" 'BEGIN { print k / 1024 }')" "$fstate"
  if [ -n "$rule" ]; then
    kill "$rpid" 2>/dev/null; wait "$rpid" 2>/dev/null || true; rpid=""
    nsx sysctl -qw net.ipv4.icmp_echo_ignore_all=0
  fi
}

for r in $(seq "$runs"); do
  echo "-- run $r"
  row "254 half silent" 254 16 1 ""
  row "4096 half silent" 4096 17 0 ""
  row "65536 half silent" 65536 18 0 ""
  row "4096 answer at 500 ms" 4096 64 0 "127.64.0.0/16=500"
  row "65536 answer at 500 ms" 65536 65 0 "127.65.0.0/16=500"
  row "131072 half silent" 131072 20 0 ""
done
