#!/usr/bin/env bash
# The eye comes back each time the tray host restarts: the application, the tray host
# (trayer) and a busy loop share one CPU (taskset -c 0), so that the application is slow to
# answer, and trayer is ended and started again 20 times; each time the icon must be
# embedded and shown in the new tray's panel.
# Usage: tray-restart.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check tray-restart Xvfb trayer xwininfo taskset -- app_pid tray_pid busy_pid

start_xvfb tray-restart
make_isolated
isolated=(taskset -c 0 "${isolated[@]}")
taskset -c 0 bash -c 'while :; do :; done' &
busy_pid=$!
start_app tray-restart find_main
# The icon shown in the current tray's panel.
icon_shown() {
  find_tray_icon || return $?
  xwininfo -id "$tray_icon" 2>/dev/null | grep -q 'Map State: IsViewable'
}
start_pinned_tray() {
  taskset -c 0 trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
    >"$tmp/trayer.log" 2>&1 &
  tray_pid=$!
}
start_pinned_tray
poll 30 icon_shown || { echo "tray-restart: no icon in the first tray"; cat "$tmp/app.log"; exit 1; }
for round in $(seq 1 20); do
  kill "$tray_pid"
  wait "$tray_pid" 2>/dev/null || true
  start_pinned_tray
  poll 30 icon_shown || {
    echo "tray-restart: no icon after restart $round"
    xwininfo -root -tree | grep -i -E 'quellvista|trayer|panel'
    cat "$tmp/app.log"
    exit 1
  }
done
echo "tray-restart: the icon came back after each of 20 restarts of the tray host"
