#!/usr/bin/env bash
# The main window destroyed from outside (xdotool windowclose, as a window manager or
# another client may): the process goes on, and both the pop-over's "Open Quellvista"
# and a second start of the application bring a window back.
# Usage: window-killed.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check window-killed Xvfb xcompmgr trayer xdotool xwininfo -- app_pid tray_pid compositor_pid

start_composited_xvfb window-killed
make_isolated
start_tray window-killed
start_app window-killed find_main
poll 15 find_tray_icon || { echo "window-killed: no icon in the tray"; cat "$tmp/app.log"; exit 1; }

main_gone() { [[ -z "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null)" ]]; }
kill_window() {
  find_main || { echo "window-killed: no main window to destroy"; exit 1; }
  xdotool windowclose "$window"
  poll 10 main_gone || { echo "window-killed: the window was not destroyed"; exit 1; }
  sleep 0.5
  kill -0 "$app_pid" 2>/dev/null || { echo "window-killed: the process ended with its window"; cat "$tmp/app.log"; exit 1; }
}

# From the pop-over.
kill_window
eval "$(xdotool getwindowgeometry --shell "$tray_icon")"
xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
popover_window() { [[ -n "$(xdotool search --onlyvisible --name '^Quellvista pop-over$' 2>/dev/null | head -n1)" ]]; }
poll 10 popover_window || { echo "window-killed: the pop-over did not open"; cat "$tmp/app.log"; exit 1; }
popover="$(xdotool search --onlyvisible --name '^Quellvista pop-over$' | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$popover")"
sleep 0.5
xdotool mousemove "$((X + 40))" "$((Y + HEIGHT - 20))" click 1
poll 10 find_main || { echo "window-killed: Open Quellvista did not bring a window back"; cat "$tmp/app.log"; exit 1; }

# From a second start, which hands over to the running process and ends.
kill_window
"${isolated[@]}" "$app" >"$tmp/second.log" 2>&1 &
second_pid=$!
poll 15 find_main || { echo "window-killed: a second start did not bring a window back"; cat "$tmp/app.log" "$tmp/second.log"; exit 1; }
second_ended() { ! kill -0 "$second_pid" 2>/dev/null; }
poll 10 second_ended || { kill "$second_pid"; echo "window-killed: the second start did not end"; exit 1; }
if grep -q "BadWindow" "$tmp/app.log"; then
  echo "window-killed: errors about the destroyed window were printed:"
  grep "BadWindow" "$tmp/app.log"
  exit 1
fi
echo "window-killed: the pop-over and a second start brought the destroyed window back"
