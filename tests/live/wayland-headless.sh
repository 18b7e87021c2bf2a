#!/usr/bin/env bash
# Starts the real application on Qt's own Wayland platform on headless weston: a compositor
# without a seat (no keyboard, no pointer) and without XWayland, as remote and kiosk
# sessions run. The application lays out and shows its window (its controls are listed),
# says once why it takes no text input, leaves the comfort veil off the screen (it would be
# an ordinary window there) and says so, says why the gamma cannot be set without claiming
# that the veil carries the tuning, and ends normally on SIGTERM. Three starts: with
# XDG_SESSION_TYPE=wayland, without it, and with "tty" (a compositor started from a console):
# the compositor itself, not that variable, tells that there is no seat.
# Usage: wayland-headless.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
name="wayland-headless"
begin_check "$name" weston -- app_pid weston_pid
make_isolated
store '"comfortVeil.enabled":{"t":"bool","v":true}'
XDG_RUNTIME_DIR="$tmp/runtime" weston --backend=headless-backend.so --socket=wayland-qv --idle-time=0 --no-config \
  >"$tmp/weston.log" 2>&1 &
weston_pid=$!
poll 10 test -S "$tmp/runtime/wayland-qv" || { echo "$name: weston did not start"; cat "$tmp/weston.log"; exit 1; }

# On the session itself (an empty machine name), with no X server to fall back on.
shown() { kill -0 "$app_pid" 2>/dev/null || return 2; [[ -s "$tmp/controls" ]] && grep -q '^button' "$tmp/controls"; }
base=("${isolated[@]}")
for session in wayland "" tty; do
  rm -f "$tmp/controls"
  isolated=(env -u DISPLAY -u QT_QPA_PLATFORM -u QT_IM_MODULE -u XDG_SESSION_TYPE "${base[@]}" QUELLVISTA_MACHINE=
    WAYLAND_DISPLAY=wayland-qv ${session:+XDG_SESSION_TYPE=$session} QUELLVISTA_CONTROL_LIST="$tmp/controls")
  start_app "$name (XDG_SESSION_TYPE=${session:-unset})" shown
  for line in "The compositor offers no seat" "overlays are not shown" \
    "Displays: no gamma through wlroots gamma control: This desktop does not let applications set"; do
    grep -q "$line" "$tmp/app.log" || { echo "$name: not logged: $line"; cat "$tmp/app.log"; exit 1; }
  done
  ! grep -q "veil carries" "$tmp/app.log" || { echo "$name: the log says a veil that is not shown carries the tuning"; exit 1; }
  sleep 1
  kill -0 "$app_pid" 2>/dev/null || { echo "$name: the application ended"; cat "$tmp/app.log"; exit 1; }
  kill -TERM "$app_pid"
  status=0
  wait "$app_pid" || status=$?
  app_pid=""
  ((status == 0)) || { echo "$name: SIGTERM ended the application with status $status"; cat "$tmp/app.log"; exit 1; }
done
echo "$name: with XDG_SESSION_TYPE wayland, unset and tty the window showed on a compositor without a seat, the veil stayed off, and SIGTERM ended the application normally"
