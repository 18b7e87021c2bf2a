#!/usr/bin/env bash
# Starts the real application on Qt's Wayland platform in a Wayland session of its own
# (headless sway without input devices, so the seat is idle from the start) with reminders
# on and a work interval of three minutes. The compositor's idle timeout tells the idle time,
# counted from the application's start: past the threshold (120 s) the countdown is held at
# its full length, so no break comes at three minutes; once the pointer moves (every two
# seconds from then on) the countdown runs, and the break panel comes up about three minutes
# later. A run takes about six and a half minutes.
# Usage: wayland-idle-holds-break.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
name=wayland-idle-holds-break
begin_check "$name" sway swaymsg dbus-daemon setpriv python3 -- app_pid sway_pid bus_pid
[[ $EUID -eq 0 ]] || { echo "$name: runs as root (sway then runs as nobody)"; exit 1; }

start_headless_sway "$name"
make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "breakReminderEnabled":{"t":"bool","v":true},
 "workIntervalMinutes":{"t":"int","v":"3"},
 "breakDurationSeconds":{"t":"int","v":"30"}}}
JSON
isolate_for_nobody
# The seat's idle and active turns are logged, with the time since the start.
isolated+=(QUELLVISTA_MACHINE= QT_QPA_PLATFORM=wayland QT_LOGGING_RULES="com.tebrix.Quellvista.Idle.debug=true"
  QT_MESSAGE_PATTERN="%{time process} %{category}: %{message}")
alive() { kill -0 "$app_pid" 2>/dev/null || return 2; }
main_shown() { alive && sway_window com.tebrix.Quellvista; }
start_app "$name" main_shown
started=$SECONDS
grep -q "The idle time comes from the compositor's idle timeouts" "$tmp/app.log" ||
  { echo "$name: the idle time does not come from the compositor"; cat "$tmp/app.log"; exit 1; }

panel_up() { alive && sway_window "Quellvista overlay"; }
# Idle: a running countdown would bring the break at three minutes; a held one does not.
status=0
poll $((200 - (SECONDS - started))) panel_up || status=$?
if ((status == 0)); then
  echo "$name: a break came $((SECONDS - started)) s after the start while the seat was idle"
  cat "$tmp/app.log"
  exit 1
fi
((status == 1)) || { echo "$name: the application ended"; cat "$tmp/app.log"; exit 1; }

# Back at the computer: the countdown runs from its full length while the pointer moves.
moved=$SECONDS last=0
moving_then_panel() {
  if ((SECONDS - last >= 2)); then
    swaymsg -s "$swaysock" seat - cursor move 1 1 >/dev/null
    last=$SECONDS
  fi
  panel_up
}
status=0
poll 240 moving_then_panel || status=$?
((status != 2)) || { echo "$name: the application ended"; cat "$tmp/app.log"; exit 1; }
((status == 0)) || { echo "$name: no break within four minutes of the pointer moving"; cat "$tmp/app.log"; exit 1; }
if ((SECONDS - moved < 150)); then
  echo "$name: the break came $((SECONDS - moved)) s after the pointer moved, before a full interval"
  exit 1
fi
echo "$name: the countdown held while the seat was idle and ran once the pointer moved ($((SECONDS - moved)) s)"
