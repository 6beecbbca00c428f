#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
BUILD="${BUILD_DIR:-$ROOT/build}"
configure_and_build "$BUILD" "$@"
ctest --test-dir "$BUILD" --output-on-failure -j"$(nproc)"
