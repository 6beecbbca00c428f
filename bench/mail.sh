#!/usr/bin/env bash
# bench/mail.sh BUILD_DIR: one mail through a real SMTP server (aiosmtpd), and
# the time the window stays blocked when the server falls silent at each step.
# Runs inside a network namespace of its own, on 127.0.0.1 only.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="$(cd "${1:?usage: bench/mail.sh BUILD_DIR}" && pwd)"
BIN="$BUILD/bench/mail_bench"
[ -x "$BIN" ] || { echo "mail: $BIN not built" >&2; exit 1; }

if [ -z "${HW_MAIL_BENCH_INSIDE:-}" ]; then
  [ "$(id -u)" -eq 0 ] || { echo "mail: SKIP, needs root for a network namespace" >&2; exit 0; }
  ns="hw-mail-bench-$$"
  ip netns add "$ns"
  trap 'ip netns pids "$ns" 2>/dev/null | xargs -r kill 2>/dev/null; ip netns delete "$ns" 2>/dev/null' EXIT
  ip -n "$ns" link set lo up
  HW_MAIL_BENCH_INSIDE=1 ip netns exec "$ns" bash "$0" "$BUILD"
  exit $?
fi

dir="$(mktemp -d)"
/usr/bin/python3 "$ROOT/tests/mail/smtp_sink.py" "$dir" 25 me@x.cn s3cret 2>/dev/null &
sink=$!
for _ in $(seq 100); do [ -e "$dir/ready" ] && break; sleep 0.05; done
[ -e "$dir/ready" ] || { echo "mail: aiosmtpd did not start" >&2; kill "$sink"; exit 1; }
echo "One mail through aiosmtpd (AUTH LOGIN, two recipients, 20-line body):"
"$BIN" send 20
kill "$sink"; wait "$sink" 2>/dev/null || true
rm -rf "$dir"
echo
echo "A server that falls silent (reply timeout 3000 ms):"
"$BIN" silent
