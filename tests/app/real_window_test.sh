#!/usr/bin/env bash
# The real program on a virtual X display with a window manager, as an
# operator meets it: the window's size and place, its accessible tree, a
# single check driven through that tree (inside a network namespace, where
# tests/support/in_netns.sh runs it), a screenshot, and Esc ending it with
# exit code 0 without saving anything.
# real_window_test.sh PROGRAM SCREENSHOT_DIR
set -uo pipefail
program="$1"; shots="$2"
here="$(cd "$(dirname "$0")" && pwd)"
fail() { echo "FAIL: $*" >&2; exit 1; }
for tool in Xvfb xdotool xwininfo import dbus-run-session; do
  command -v "$tool" >/dev/null && continue
  [ -n "${CI:-}" ] && fail "$tool is not installed; CI must run this test"
  echo "SKIP: $tool is not installed (scripts/setup.sh installs it)"; exit 77
done

work="$(mktemp -d)"
display=":$((200 + $$ % 500))"
cleanup() {
  [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# The settings file lies next to the program, so run a copy in a folder of its own.
cp "$program" "$work/hostwatch"
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 & xvfb=$!
export DISPLAY="$display"
for _ in $(seq 100); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
xwininfo -root >/dev/null 2>&1 || fail "Xvfb did not start on $display"
if command -v openbox >/dev/null; then openbox >/dev/null 2>&1 & wm=$!; sleep 0.5; fi

# Inside the namespace the test runs in, echo requests to 127.0.0.2 vanish.
if [ -n "${HW_NETNS_NAME:-}" ]; then
  nft -f - <<'NFT' || fail "nft"
table inet hw_real_window {
  chain input { type filter hook input priority 0; ip daddr 127.0.0.2 icmp type echo-request drop; }
}
NFT
fi

export HW_WORK="$work" HW_SHOTS="$shots" HW_HERE="$here"
dbus-run-session -- bash -c '
  set -uo pipefail
  fail() { echo "FAIL: $*" >&2; echo "--- program output:" >&2; cat "$HW_WORK/out.log" >&2; exit 1; }
  /usr/libexec/at-spi-bus-launcher --launch-immediately >/dev/null 2>&1 &
  sleep 0.5
  cd /
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 "$HW_WORK/hostwatch" >"$HW_WORK/out.log" 2>&1 &
  pid=$!
  win=""
  for _ in $(seq 300); do
    win=$(xdotool search --onlyvisible --class hostwatch 2>/dev/null | head -1)
    [ -n "$win" ] && break; sleep 0.1
  done
  [ -n "$win" ] || fail "no window appeared"
  # The window manager frames and places the window a moment after it is mapped.
  placed=""
  for _ in $(seq 100); do
    info=$(xwininfo -id "$win")
    w=$(awk "/Width:/ {print \$2}" <<<"$info"); h=$(awk "/Height:/ {print \$2}" <<<"$info")
    x=$(awk "/Absolute upper-left X:/ {print \$4}" <<<"$info"); y=$(awk "/Absolute upper-left Y:/ {print \$4}" <<<"$info")
    cx=$((x + w / 2)); cy=$((y + h / 2))
    if [ "$w" = 414 ] && [ "$h" = 368 ] && [ $((cx > 640 ? cx - 640 : 640 - cx)) -le 10 ] &&
       [ $((cy > 512 ? cy - 512 : 512 - cy)) -le 30 ]; then placed=1; break; fi
    sleep 0.1
  done
  echo "client area ${w}x${h} at ${x},${y}"
  [ -n "$placed" ] || fail "the client area is not 414x368 in the centre of the 1280x1024 screen"

  # Minimize and close, no maximize: functions and decorations of the Motif hints.
  hints=$(xprop -id "$win" _MOTIF_WM_HINTS | sed "s/.*= //")
  IFS=", " read -r _ functions decorations _ <<<"$hints"
  (( functions & 0x10 )) && fail "the window can be maximized ($hints)"
  (( decorations & 0x40 )) && fail "the window has a maximize button ($hints)"
  (( decorations & 0x20 )) || fail "the window has no minimize button ($hints)"
  title=$(xprop -id "$win" _NET_WM_NAME | sed "s/.*= //")
  [ -z "$title" ] || [ "$title" = "\"\"" ] || fail "the caption is $title, not empty"

  tree=$(/usr/bin/python3 "$HW_HERE/atspi_dump.py" hostwatch 15) || fail "no accessible tree"
  for want in "text	地址列表" "text	服务器" "text	账号" "text	密码" "text	收件箱" "text	故障IP列表" \
              "push button	发件测试" "push button	保存" "push button	单次检测" "push button	循环监控" \
              "push button	停止监控" "check box	启用邮件"; do
    grep -qF "$want" <<<"$tree" || fail "accessible tree lacks \"$want\""
  done
  echo "accessible tree: all six edit boxes, five buttons and the check box are named"

  # Keys typed at start go to 编辑框1; then a single check driven through the
  # accessibility interface alone.
  xdotool windowactivate --sync "$win" 2>/dev/null || true
  xdotool type --delay 20 "127.0.0.1"
  sleep 0.5
  if [ -n "${HW_NETNS_NAME:-}" ]; then
    /usr/bin/python3 "$HW_HERE/atspi_single_check.py" 127.0.0.2 127.0.0.1 127.0.0.1 || fail "single check through AT-SPI"
  fi

  mkdir -p "$HW_SHOTS"
  import -window root "$HW_SHOTS/main_window.png"
  echo "screenshot: $HW_SHOTS/main_window.png"

  xdotool key Escape
  for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && fail "Esc did not end the program"
  wait "$pid"; rc=$?
  [ "$rc" = 0 ] || fail "exit code $rc"
  [ ! -e "$HW_WORK/set.ini" ] || fail "Esc saved the settings"
  echo "Esc ended the program with exit code 0 and saved nothing"
'
rc=$?
[ $rc = 0 ] && echo "1 passed, 0 failed" || echo "0 passed, 1 failed"
exit $rc
