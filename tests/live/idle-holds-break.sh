#!/usr/bin/env bash
# Starts the real application with reminders on and a work interval of one minute, on an
# X server of its own that has seen no input for longer than the idle threshold (120 s).
# While the input stays idle the countdown is held at its full length, so no break comes;
# after a pointer move the countdown runs, and the break panel comes up about a minute
# later. A run takes about four and a half minutes: the threshold, then the interval twice.
# Usage: idle-holds-break.sh APP PROBE
set -euo pipefail
app="$1" probe="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check idle-holds-break Xvfb xcompmgr xdotool xwininfo -- app_pid compositor_pid

start_composited_xvfb idle-holds-break

make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "breakReminderEnabled":{"t":"bool","v":true},
 "workIntervalMinutes":{"t":"int","v":"1"},
 "breakDurationSeconds":{"t":"int","v":"30"}}}
JSON

# The server counts the idle time from its start: wait until it is past the threshold.
idle_past() { (($("$probe" idle) > ${1}000)); }
poll 150 idle_past 121 || { echo "idle-holds-break: the server's idle time did not pass 121 s"; exit 1; }

# On the host: an empty machine name runs on the X server itself.
isolated+=(QUELLVISTA_MACHINE=)
start_app idle-holds-break find_main

panel_up() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  local id
  for id in $(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null); do
    [[ "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(WIDTH|HEIGHT)=' | tr '\n' ' ')" == \
      "WIDTH=1920 HEIGHT=1200 " ]] && return 0
  done
  return 1
}
# Idle: a running countdown would bring the break within its minute; a held one does not.
status=0
poll 80 panel_up || status=$?
if ((status == 0)); then
  echo "idle-holds-break: a break came while the input was idle"
  cat "$tmp/app.log"
  exit 1
fi
((status == 1)) || { echo "idle-holds-break: the application ended"; cat "$tmp/app.log"; exit 1; }

# Back at the computer: the countdown runs from its full length.
xdotool mousemove 300 300
moved=$SECONDS
poll 120 panel_up || { echo "idle-holds-break: no break within two minutes of the pointer moving"; cat "$tmp/app.log"; exit 1; }
if ((SECONDS - moved < 50)); then
  echo "idle-holds-break: the break came $((SECONDS - moved)) s after the move, before a full interval"
  exit 1
fi
echo "idle-holds-break: the countdown held while idle and ran after the pointer moved"
