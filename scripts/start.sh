#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
source "$ROOT/scripts/setup.sh"
BUILD="${BUILD_DIR:-$ROOT/build}"
configure_and_build "$BUILD" >/dev/null
PROGRAM="$BUILD/app/hostwatch"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
  exec "$PROGRAM"
fi

# No display: start the program on a virtual one and leave a screenshot.
display=":$((90 + RANDOM % 100))"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null' EXIT
for _ in $(seq 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY="$display" "$PROGRAM" &
program=$!
sleep 2
shot="$BUILD/screenshot.png"
DISPLAY="$display" import -window root "$shot"
echo "There is no display here (DISPLAY is not set), so the program runs on the virtual display $display."
echo "Screenshot of its window: $shot"
echo "Press Ctrl+C to stop it."
wait "$program"
