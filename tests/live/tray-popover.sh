#!/usr/bin/env bash
# Starts the real application beside an X11 tray host (trayer) on an X server of its own
# with a compositing manager. Presses a global hot key before the pop-over was ever shown
# (its favourite rows are rebuilt while its window was never on the screen), then finds
# the eye in the tray, clicks it and takes screenshots
# of the open pop-over in light and dark (popover-light.png, popover-dark.png in OUT,
# default: the working folder); closes the main window and opens it again from the
# pop-over's "Open Quellvista"; presses a global hot key and shows the preset it chose
# in the pop-over (popover-after-hotkey.png); opens the gear menu (popover-gear-dark.png).
# Usage: tray-popover.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check tray-popover Xvfb xcompmgr trayer xdotool xwininfo import -- app_pid tray_pid compositor_pid

start_composited_xvfb tray-popover

make_isolated
export QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true"
write_defaults() {
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$1"},
 "breakReminderEnabled":{"t":"bool","v":true},
 "activePreset":{"t":"string","v":"Focus"},
 "favoriteComfortPresets":{"t":"array","v":[{"t":"string","v":"Focus"},{"t":"string","v":"Evening"},
   {"t":"string","v":"Neutral"}]}}}
JSON
}

main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
popover_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista pop-over$' 2>/dev/null | head -n1)" ]]
}
click_icon() {
  poll 10 tray_icon_geometry || { echo "tray-popover: the icon is gone from the tray"; cat "$tmp/app.log"; exit 1; }
  xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
}

shoot() {
  local appearance="$1"
  write_defaults "$appearance"
  start_app tray-popover main_window
  # The first time the tray host starts after the application, as at login.
  [[ -n "$tray_pid" ]] || start_tray tray-popover
  poll 15 find_tray_icon || { echo "tray-popover: no icon in the tray"; cat "$tmp/app.log"; exit 1; }
  # The main window closed (Command-W, here Ctrl+W), the pop-over opened from the icon.
  local main
  main="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  xdotool mousemove 500 400 click 1 windowfocus --sync "$main" key ctrl+w
  main_closed() { ! main_window; }
  poll 10 main_closed || { echo "tray-popover: Ctrl+W did not close the main window"; exit 1; }
  kill -0 "$app_pid" || { echo "tray-popover: closing the window ended the process"; exit 1; }
  # Command-Shift-N (Evening) before the pop-over was ever shown: its rows are rebuilt in
  # a window that was never on the screen, and its first opening must show them.
  shortcuts() { grep -q 'Global shortcuts registered' "$tmp/app.log"; }
  poll 20 shortcuts || { echo "tray-popover: the hot keys were not registered"; cat "$tmp/app.log"; exit 1; }
  xdotool key super+shift+n
  evening() { grep -q 'Applying preset: Evening' "$tmp/app.log"; }
  poll 10 evening || { echo "tray-popover: the hot key did not switch the preset"; cat "$tmp/app.log"; exit 1; }
  click_icon
  poll 10 popover_window || { echo "tray-popover: the pop-over did not open"; cat "$tmp/app.log"; exit 1; }
  kill -0 "$app_pid" || { echo "tray-popover: the first opening ended the process"; cat "$tmp/app.log"; exit 1; }
  sleep 1
  mkdir -p "$out"
  import -window root "$out/popover-$appearance.png"
}

shoot light

# The main window was closed; "Open Quellvista" in the pop-over brings it back.
popover="$(xdotool search --onlyvisible --name '^Quellvista pop-over$' | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$popover")"
# "Open Quellvista" sits at the footer's left, 12 points in and 12 up from the bottom.
xdotool mousemove "$((X + 40))" "$((Y + HEIGHT - 20))" click 1
poll 10 main_window || { echo "tray-popover: Open Quellvista did not bring the window back"; cat "$tmp/app.log"; exit 1; }
sleep 1
import -window root "$out/popover-reopened.png"

# Command-Shift-R (the Super key stands for Command here) switches to Reading, whatever
# window is in front; the pop-over then names it in its "Mode" row.
xdotool key super+shift+r
reading() { grep -q 'Applying preset: Reading' "$tmp/app.log"; }
poll 10 reading || { echo "tray-popover: the hot key did not switch the preset"; cat "$tmp/app.log"; exit 1; }
click_icon
poll 10 popover_window || { echo "tray-popover: the pop-over did not open again"; exit 1; }
sleep 1
import -window root "$out/popover-after-hotkey.png"

kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
shoot dark

# The gear menu opens over the pop-over's footer and the pop-over stays.
popover="$(xdotool search --onlyvisible --name '^Quellvista pop-over$' | head -n1)"
eval "$(xdotool getwindowgeometry --shell "$popover")"
windows_before="$(xwininfo -root -children | grep -c '("quellvista"' || true)"
xdotool mousemove "$((X + WIDTH - 20))" "$((Y + HEIGHT - 20))" click 1
gear_menu() { (($(xwininfo -root -children | grep -c '("quellvista"' || true) > windows_before)); }
poll 10 gear_menu || { echo "tray-popover: the gear menu did not open"; exit 1; }
popover_window || { echo "tray-popover: the gear menu closed the pop-over"; exit 1; }
sleep 0.5
import -window root "$out/popover-gear-dark.png"
# Escape closes the gear menu, then the pop-over.
xdotool key Escape
gear_menu_closed() { kill -0 "$app_pid" 2>/dev/null || return 2; ! gear_menu; }
poll 10 gear_menu_closed || { echo "tray-popover: Escape did not close the gear menu"; exit 1; }
popover_window || { echo "tray-popover: Escape on the gear menu closed the pop-over"; exit 1; }
xdotool key Escape
popover_closed() { kill -0 "$app_pid" 2>/dev/null || return 2; ! popover_window; }
poll 10 popover_closed || { echo "tray-popover: Escape did not close the pop-over"; exit 1; }

# The eye on a dark and on a light panel (eye-on-dark.png, eye-on-light.png): a tray
# host that replaces the one running gets the icon too.
shoot_eye() {
  poll 10 tray_icon_geometry || { echo "tray-popover: the icon is gone from the tray"; exit 1; }
  import -window root -crop "$((WIDTH + 16))x$((HEIGHT + 8))+$((X - 8))+$((Y - 4))" +repage "$out/$1"
}
shoot_eye eye-on-dark.png
kill "$tray_pid"; wait "$tray_pid" 2>/dev/null || true; tray_pid=""
start_tray tray-popover 0xf0f0f0
tray_icon=""
poll 15 find_tray_icon || { echo "tray-popover: the new tray host did not get the icon"; cat "$tmp/app.log"; exit 1; }
sleep 0.5 # the icon's first paint
shoot_eye eye-on-light.png
echo "tray-popover: pop-over shown in light and dark, main window reopened, hot key switched the preset"
