#!/usr/bin/env bash
# Installs what the build, the program and the tests need (Debian 12), then
# configures and builds. Sourced by start.sh and test.sh; safe to run again.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${BUILD_DIR:-$ROOT/build}"

PACKAGES=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libgl-dev
  fonts-wqy-microhei at-spi2-core
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  xvfb x11-utils imagemagick xdotool openbox dbus-daemon python3-pyatspi gir1.2-atspi-2.0
  iproute2 nftables fping procps util-linux libcap2-bin
  python3 python3-aiosmtpd
)

missing_packages() {
  local p
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || echo "$p"
  done
}

install_packages() {
  local missing
  missing="$(missing_packages)"
  [ -z "$missing" ] && return 0
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "setup: need root or sudo to install: $missing" >&2; exit 1; }
    sudo="sudo"
  fi
  echo "setup: installing:" $missing
  $sudo apt-get update -qq
  # shellcheck disable=SC2086
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends $missing >/dev/null
}

configure_and_build() {
  local dir="$1"; shift
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
  cmake --build "$dir" -j"$(nproc)"
}

install_packages
