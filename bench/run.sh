#!/usr/bin/env bash
# bench/run.sh [NAME...]: builds the project (Release) and runs the benchmark
# scripts bench/NAME.sh (all of them by default); each prints its own table.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
export BUILD_DIR="${BUILD_DIR:-$ROOT/build-bench}" BUILD_TYPE=Release
source "$ROOT/scripts/setup.sh"
configure_and_build "$BUILD_DIR" -DHW_BUILD_TESTS=OFF >/dev/null
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for f in "$ROOT"/bench/*.sh; do
    n="$(basename "$f" .sh)"; [ "$n" = run ] || names+=("$n")
  done
fi
for n in "${names[@]}"; do
  echo "== $n"
  bash "$ROOT/bench/$n.sh" "$BUILD_DIR"
done
