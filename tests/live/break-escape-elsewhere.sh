#!/usr/bin/env bash
# Under openbox with its default key bindings (it binds Alt+Escape): the application's
# Escape watch still goes on, and Escape pressed while another application has the focus
# ends a running break. A run takes a little over a minute: the shortest work interval.
# Usage: break-escape-elsewhere.sh APP PROBE
set -euo pipefail
app="$1" probe="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check break-escape-elsewhere Xvfb openbox xdotool xprop xwininfo -- app_pid other_pid wm_pid

start_xvfb break-escape-elsewhere
make_isolated
# openbox reads its configuration from the (empty) home first, then the system's default.
HOME="$tmp/home" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 20 wm_ready || { echo "break-escape-elsewhere: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }

mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "breakReminderEnabled":{"t":"bool","v":true},
 "workIntervalMinutes":{"t":"int","v":"1"},
 "breakDurationSeconds":{"t":"int","v":"60"}}}
JSON
start_app break-escape-elsewhere find_main

"$probe" window other Other >"$tmp/other.id" &
other_pid=$!
poll 10 test -s "$tmp/other.id" || { echo "break-escape-elsewhere: the other window did not come"; exit 1; }
other="$(head -n1 "$tmp/other.id")"

panel=""
find_panel() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  panel="$(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null | head -n1)"
  [[ -n "$panel" ]]
}
poll 90 find_panel || { echo "break-escape-elsewhere: no break panel within 90 s"; cat "$tmp/app.log"; exit 1; }
if grep -q "cannot be watched" "$tmp/app.log"; then
  echo "break-escape-elsewhere: the Escape watch failed under openbox:"
  grep "cannot be watched" "$tmp/app.log"
  exit 1
fi

# The other application in front, with the keyboard focus.
focused() { [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$((other))" ]]; }
activate() { xdotool windowactivate "$other" 2>/dev/null; focused; }
poll 10 activate || { echo "break-escape-elsewhere: the other window did not get the focus"; exit 1; }

xdotool key Escape
panel_gone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q 'IsViewable'; }
poll 10 panel_gone || { echo "break-escape-elsewhere: Escape in another application did not end the break"; cat "$tmp/app.log"; exit 1; }
history="$tmp/data/Quellvista/history.json"
if grep -q breakTaken "$history" 2>/dev/null; then
  echo "break-escape-elsewhere: a break ended with Escape was counted as taken"
  exit 1
fi
echo "break-escape-elsewhere: Escape in another application ended the break under openbox"
