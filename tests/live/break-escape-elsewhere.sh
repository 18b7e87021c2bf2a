#!/usr/bin/env bash
# Under openbox with its default key bindings (it binds Alt+Escape), the application on the
# X server's own screen with Evening on its gamma ramp: the application's Escape watch
# still goes on, a break leaves the keyboard with the application in front, and Escape
# pressed while another application has the focus ends a running break. With the main
# window closed and the other application in front, a second start during a break (the
# hot key's) brings the main window up under the panel, which keeps the keyboard once
# openbox has mapped the window: Tab x11 Space (on the window: "Low Stimulus") changes
# nothing behind the panel, and the main window has the keyboard after the break.
# A run takes a little over a minute: the shortest work interval.
# Usage: break-escape-elsewhere.sh APP PROBE GAMMACHECK
set -euo pipefail
app="$1" probe="$2" check="$3"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check break-escape-elsewhere Xvfb openbox xdotool xprop xwininfo -- app_pid other_pid wm_pid second_pid

start_xvfb break-escape-elsewhere
"$check" save "$tmp/original" || { echo "break-escape-elsewhere: the X server has no gamma ramp to read"; exit 1; }
make_isolated
isolated+=(QUELLVISTA_MACHINE= QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true")
# openbox reads its configuration from the (empty) home first, then the system's default.
HOME="$tmp/home" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 20 wm_ready || { echo "break-escape-elsewhere: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }

store "\"breakReminderEnabled\":{\"t\":\"bool\",\"v\":true},\"workIntervalMinutes\":{\"t\":\"int\",\"v\":\"1\"},
\"breakDurationSeconds\":{\"t\":\"int\",\"v\":\"60\"},\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},
\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$("$check" values Evening 0.65)"
start_app break-escape-elsewhere find_main
evening() { "$check" preset Evening 0.65 "$tmp/original" >/dev/null; }
poll 30 evening || { echo "break-escape-elsewhere: Evening is not on the ramp"; exit 1; }

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
no_main() { ! find_main; }
xdotool windowactivate --sync "$window" key ctrl+w
poll 10 no_main || { echo "break-escape-elsewhere: Ctrl+W left the main window"; exit 1; }
poll 10 activate || { echo "break-escape-elsewhere: the other window did not get the focus back"; exit 1; }
xdotool key super+shift+b
poll 10 find_panel || { echo "break-escape-elsewhere: the hot key brought no break"; exit 1; }
"${isolated[@]}" "$app" >"$tmp/second.log" 2>&1 &
second_pid=$!
poll 10 keyed "$panel" ||
  { echo "break-escape-elsewhere: the panel did not take the keyboard at a second start"; cat "$tmp/second.log"; exit 1; }
poll 10 find_main || { echo "break-escape-elsewhere: the second start brought no main window"; exit 1; }
second_ended() { ! kill -0 "$second_pid" 2>/dev/null; }
poll 10 second_ended || { echo "break-escape-elsewhere: the second start did not end"; exit 1; }
wait "$second_pid" || { echo "break-escape-elsewhere: the second start ended with status $?"; exit 1; }
second_pid=""
# openbox has mapped the window and may have given it the keyboard: the panel has it.
sleep 1
keyed "$panel" || { echo "break-escape-elsewhere: the main window of a second start took the keyboard from the panel:" \
  "$(xdotool getwindowfocus getwindowname 2>/dev/null)"; exit 1; }
xdotool key --delay 40 Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab Tab space
sleep 1
evening || { echo "break-escape-elsewhere: Tab x11 Space after a second start changed the ramp behind the panel"; exit 1; }
# Space may have pressed "Skip Break"; Escape ends the break otherwise.
panel_gone || xdotool key Escape
poll 10 panel_gone || { echo "break-escape-elsewhere: Escape on the panel did not end the break"; exit 1; }
poll 10 keyed "$window" ||
  { echo "break-escape-elsewhere: the main window did not get the keyboard after the break"; exit 1; }
evening || { echo "break-escape-elsewhere: the ramp is not Evening's after the break"; exit 1; }
echo "break-escape-elsewhere: Escape in another application ended the break under openbox; the window of a second start"
echo "  during a break left the keyboard to the panel and got it after the break"
