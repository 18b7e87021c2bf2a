#!/usr/bin/env bash
# Under openbox with its default key bindings (it binds Alt+Escape): the application's
# Escape watch still goes on, a break leaves the keyboard with the application in front,
# and Escape pressed while another application has the focus ends a running break. A
# second start during a break (the hot key's) brings the main window up under the panel,
# which takes the keyboard; Escape ends the break and the main window has the keyboard.
# A run takes a little over a minute: the shortest work interval.
# Usage: break-escape-elsewhere.sh APP PROBE
set -euo pipefail
app="$1" probe="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check break-escape-elsewhere Xvfb openbox xdotool xprop xwininfo -- app_pid other_pid wm_pid second_pid

start_xvfb break-escape-elsewhere
make_isolated
isolated+=(QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true")
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

# The other application in front, with the keyboard focus: the panel took nothing from it.
keyed() { [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$(($1))" ]]; }
focused() { keyed "$other"; }
focused || { echo "break-escape-elsewhere: the break panel took the keyboard from another application"; exit 1; }
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

grep -q "Global shortcuts registered" "$tmp/app.log" || { echo "break-escape-elsewhere: no global shortcuts"; exit 1; }
xdotool key super+shift+b
poll 10 find_panel || { echo "break-escape-elsewhere: the hot key brought no break"; exit 1; }
"${isolated[@]}" "$app" >"$tmp/second.log" 2>&1 &
second_pid=$!
poll 10 keyed "$panel" ||
  { echo "break-escape-elsewhere: the panel did not take the keyboard at a second start"; cat "$tmp/second.log"; exit 1; }
find_main || { echo "break-escape-elsewhere: the second start brought no main window"; exit 1; }
second_ended() { ! kill -0 "$second_pid" 2>/dev/null; }
poll 10 second_ended || { echo "break-escape-elsewhere: the second start did not end"; exit 1; }
wait "$second_pid" || { echo "break-escape-elsewhere: the second start ended with status $?"; exit 1; }
second_pid=""
xdotool key Escape
poll 10 panel_gone || { echo "break-escape-elsewhere: Escape on the panel did not end the break"; exit 1; }
poll 10 keyed "$window" ||
  { echo "break-escape-elsewhere: the main window did not get the keyboard after the break"; exit 1; }
echo "break-escape-elsewhere: Escape in another application ended the break under openbox; the window of a second start"
echo "  during a break got the keyboard after it"
