#!/usr/bin/env bash
# Starts the real application with reminders on and a work interval of one minute, on an
# X server of its own with a compositing manager. Checks that the break panel comes up
# over the whole screen when the break is due, stays above the main window raised over
# it, and that Esc ends the break (uncounted) and takes the panel away. Leaves the screenshot, break-panel.png, in OUT (default: the
# working folder). A run takes a little over a minute: the shortest work interval.
# Usage: break-panel.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
for tool in Xvfb xcompmgr xdotool xwininfo import; do
  command -v "$tool" >/dev/null || { echo "break-panel: $tool is missing (scripts/setup installs it)"; exit 1; }
done

tmp="$(mktemp -d)"
app_pid="" compositor_pid="" xvfb_pid=""
cleanup() { stop_all "$app_pid" "$compositor_pid"; }
trap cleanup EXIT
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

start_composited_xvfb break-panel

make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "breakReminderEnabled":{"t":"bool","v":true},
 "workIntervalMinutes":{"t":"int","v":"1"},
 "breakDurationSeconds":{"t":"int","v":"30"}}}
JSON

main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
start_app break-panel main_window

# The break panel: an overlay window over the whole screen (the veil is off).
panel=""
find_panel() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  local id
  for id in $(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null); do
    if [[ "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ')" == \
      "X=0 Y=0 WIDTH=1920 HEIGHT=1200 " ]]; then
      panel="$id"
      return 0
    fi
  done
  return 1
}
poll 90 find_panel || { echo "break-panel: no break panel within 90 s"; cat "$tmp/app.log"; exit 1; }

# What the user sees: give the panel a moment to draw its first frames.
sleep 2
mkdir -p "$out"
import -window root "$out/break-panel.png"

# The main window raised over the panel goes below it again.
find_main || { echo "break-panel: the main window is gone"; exit 1; }
xdotool windowraise "$window"
poll 10 stacked_above "$panel" "$window" || { echo "break-panel: the raised main window covers the break panel"; xwininfo -root -children; exit 1; }

# Esc ends the break and the panel leaves the screen.
xdotool key Escape
panel_gone() { ! xwininfo -id "$panel" 2>/dev/null | grep -q 'IsViewable'; }
poll 10 panel_gone || { echo "break-panel: Esc did not take the break panel away"; cat "$tmp/app.log"; exit 1; }

history="$tmp/data/Quellvista/history.json"
poll 5 grep -q breakStarted "$history" || { echo "break-panel: the break was not recorded"; exit 1; }
if grep -q breakTaken "$history"; then
  echo "break-panel: a break ended with Esc was counted as taken"
  exit 1
fi
echo "break-panel: the panel came up when the break was due and Esc ended the break"
