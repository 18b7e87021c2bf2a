#!/usr/bin/env bash
# What a screen reader finds in the running application: its accessibility tree on the
# AT-SPI bus of a private session bus, under an X server of its own with a tray. The
# accessibility bus is started only by the first query, after the window shows: a screen
# reader attached after the start. Sidebar rows, profile tiles, break options and the
# pop-over's buttons answer the "Press" action; switches are check boxes whose state
# survives a change of page; sliders count in the steps their rows show and describe their
# value as the row's label shows it; the chosen tile, interval, style and section
# (Settings too) are selected; headings, texts and statistics tiles carry their text;
# nothing hidden is in the tree; an open topic says so and its body is read; the composer
# is a named dialog that opens on its named comment, its "Save comment" disabled until
# there is text; "New profile" puts the focus on the new tile. While the composer or a
# rename sheet is open, the page behind it is not in the tree (and the tree says so as it
# leaves and comes back). In the pop-over, Tab reaches the comfort switch, "Open
# Quellvista" and the gear menu, which opens in the tree on its first entry, its focused
# node and focus events following the arrows; Enter on its "Quit Quellvista" ends the
# application. Then, on the X server's own screen with Evening on its ramp: a break begun
# from the main window is told as an alert, its panel reads its line and countdown and takes
# the keyboard (Space changes nothing behind it, Tab reaches "Skip Break", which Space
# presses, and the main window has the keyboard again after), and Ctrl+Q pressed while the
# panel has the keyboard and a transition runs ends the application with the original ramp back. Last, on the host,
# nothing read in any section, display note, the pop-over or its gear menu names a Mac,
# Apple, the Finder or the menu bar.
# Screenshots in OUT (default: the working folder), light and dark: popover-keyboard-*.png
# (the focused "On" switch) and segment-keyboard-*.png (the selected appearance segment
# focused by Tab).
# Usage: accessibility-tree.sh APP GAMMACHECK [OUT]
set -euo pipefail
app="$1" check="$2" out="${3:-.}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"
begin_check accessibility-tree Xvfb xcompmgr trayer xdotool xwininfo import dbus-daemon dbus-send \
  /usr/libexec/at-spi-bus-launcher /usr/bin/python3 -- app_pid tray_pid compositor_pid launcher_pid bus_pid
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "accessibility-tree: python3-pyatspi is missing (scripts/setup installs it)"; exit 1; }
mkdir -p "$out"
popover_title="Quellvista pop-over"

start_composited_xvfb accessibility-tree
"$check" save "$tmp/original" || { echo "accessibility-tree: the X server has no gamma ramp to read"; exit 1; }
make_isolated
# The session bus starts the accessibility bus on demand; its socket goes to our folder.
XDG_RUNTIME_DIR="$tmp/runtime" start_session_bus accessibility-tree "$tmp/bus/socket" org.a11y.Bus
export DBUS_SESSION_BUS_ADDRESS="$bus_address"
isolated+=(DBUS_SESSION_BUS_ADDRESS="$bus_address" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true")

at() { /usr/bin/python3 "$here/atspi.py" "$@" || fail "$(printf '%q ' "$@")"; }
main() { at Quellvista "$@"; }
pop() { at "$popover_title" "$@"; }
menu() { at :menu "$@"; }
fail() { echo "accessibility-tree ($appearance): $*"; exit 1; }
main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
popover_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name "^$popover_title\$" 2>/dev/null | head -n1)" ]]
}
windows() { xwininfo -root -children | grep -c '("quellvista"' || true; }
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }

# start APPEARANCE [EXTRA-VALUES]: the application with that appearance and reminders on.
start() {
  appearance="$1"
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$appearance"},
 "breakReminderEnabled":{"t":"bool","v":true},
 "favoriteComfortPresets":{"t":"array","v":[{"t":"string","v":"Focus"},{"t":"string","v":"Evening"}]}${2:+,$2}}}
JSON
  start_app accessibility-tree main_window
  [[ -n "$tray_pid" ]] || start_tray accessibility-tree
  main expect "Display & Comfort"
  # The accessibility bus the session bus started for the application: ended at exit.
  [[ -n "$launcher_pid" ]] || launcher_pid="$(dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.Bus 2>/dev/null | awk '/uint32/ {print $2}' || true)"
}

# Tabs through the main window (up to N stops) until NAME has the focus.
tab_to() {
  local name="$1" i
  for i in $(seq 1 "$2"); do
    [[ "$(main focused)" == "$name" ]] && return 0
    xdotool key Tab
    sleep 0.15
  done
  [[ "$(main focused)" == "$name" ]] || fail "Tab did not reach \"$name\""
}

# Settings by Tab: the selected appearance segment, focused, in a screenshot.
segment_by_keyboard() {
  local label="$1" main
  main press "Settings"
  main expect "Settings" selected
  main expect "Display & Comfort" '!selected'
  main="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  xdotool windowfocus --sync "$main"
  tab_to "$label" 30
  main expect "$label" role="radio button" selected
  sleep 0.3
  import -window root "$out/segment-keyboard-$appearance.png"
}

# Opens the pop-over from the tray; Tab walks it and rings the comfort switch.
popover_by_keyboard() {
  local main
  main="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  xdotool mousemove 500 400 click 1 windowfocus --sync "$main" key ctrl+w
  poll 15 find_tray_icon || fail "no icon in the tray"
  poll 10 tray_icon_geometry || fail "the icon is gone from the tray"
  xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
  poll 10 popover_window || fail "the pop-over did not open"
  local stops=() name i shot=""
  for i in $(seq 1 12); do
    xdotool key Tab
    sleep 0.2
    name="$(pop focused)"
    stops+=("$name")
    if [[ "$name" == "Comfort tuning" && -z "$shot" ]]; then
      shot=1
      sleep 0.3
      import -window root "$out/popover-keyboard-$appearance.png"
    fi
  done
  for name in "Comfort tuning" "Evening" "Open Quellvista" "Options"; do
    printf '%s\n' "${stops[@]}" | grep -qxF "$name" || fail "Tab did not reach \"$name\": ${stops[*]}"
  done
}

start light

# Switches are check boxes; their state follows the setting across a change of page.
main expect "Display & Comfort" role="push button" selected
main expect "Display comfort tuning" role="check box" '!checked'
main expect "Software Brightness" role=slider value=100
main expect "Profile intensity" role=slider value=65
main expect "Comfort profiles" role=heading
# A slider's value as its row shows it: the bridge carries a number, the description the text.
main expect "Warmth" role=slider description=Neutral
main expect "Neutral" role=label
main nothing-hidden
main press "Display comfort tuning"
main expect "Display comfort tuning" checked
main expect "Software Brightness" value=84
main press "Break Reminders"
main expect "Break Reminders" role=heading
main press "Display & Comfort"
main expect "Display comfort tuning" checked

# Profile tiles: Press applies one, and it alone is selected; "New profile" hands the
# focus to the tile of the profile it saved.
main press "Evening comfort profile"
main expect "Evening comfort profile" selected
main expect "Focus comfort profile" '!selected'
main press "Create new comfort profile"
main expect "*saved comfort profile" role="push button" focused
# Its rename sheet (Shift+F10, Return on "Rename"): the page behind it leaves the tree
# while it is open and comes back when Esc closes it.
xdotool windowfocus --sync "$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
xdotool key shift+F10
main expect "Rename" role="menu item" focused
main tree-event Return remove "Create new comfort profile"
main expect "Rename*" role=dialog
main absent "Create new comfort profile"
main absent "Display & Comfort"
main tree-event Escape add "Create new comfort profile"
main expect "Display & Comfort" selected

# Break options and statistics; the chosen interval and style are selected.
main press "Break Reminders"
main expect "20 min" selected
main press "30 min"
main expect "30 min" selected
main expect "20 min" '!selected'
main expect "Overlay" selected
main expect "Breaks: 0" role=label
main nothing-hidden
main press "Blink Detection"
main expect "Blink Detection" role=heading
main nothing-hidden

# Support: an open topic says so and its body is read; the composer is a named dialog
# that opens on its comment, which has a name.
main press "Support"
main press "Display notes"
main expect "Display notes" expanded
main press "What is Temporal Dithering?"
main expect "What is Temporal Dithering?" expandable expanded
main expect "Reduced eye fatigue*" role=label
main nothing-hidden
main press "Leave comment"
main expect "Leave feedback" role=dialog
main expect "Comment" focused
main expect "Name or email (optional)" '!focused'
# "Save comment" is disabled while there is nothing to save, and no part of the page
# behind the composer is in the tree.
main expect "Save comment" role="push button" '!enabled' '!sensitive'
main absent "Leave comment"
xdotool type "Too bright"
main expect "Save comment" enabled sensitive
main tree-event Escape add "Leave comment"
main expect "Leave comment" role="push button"

segment_by_keyboard Light
popover_by_keyboard
pop expect "Comfort tuning" role="check box" checked
pop expect "Next Break: *" role=label
pop nothing-hidden
pop press "Evening"
pop expect "Evening" selected
# The gear menu from the keyboard: Space on the focused gear opens it in the tree, on its
# first entry (its tickable entries check boxes); Enter on its last, "Quit Quellvista",
# ends the application.
for _ in $(seq 1 12); do
  [[ "$(pop focused)" == Options ]] && break
  xdotool key Tab
  sleep 0.2
done
windows_before="$(windows)"
gear_menu() { (($(windows) > windows_before)); }
xdotool key space
poll 10 gear_menu || fail "Space on the gear opened no menu"
# An entry that can be ticked is a check box, ticked or not; the others are menu items.
menu expect "Dithering protection" role="check box" checked focused
menu expect "Edge uniformity" role="check box" !checked
menu expect "Quit Quellvista" role="menu item"
# The arrows move the focused node with the highlight, each move a focus event.
menu focus-follows Down "PWM avoidance" Up "Dithering protection" Up "Quit Quellvista"
xdotool key Return
poll 10 app_ended || fail "\"Quit Quellvista\" chosen with Enter did not end the application"
wait "$app_pid" || fail "the application quit with status $?"
app_pid=""

# On the X server's own screen, Evening on the ramp.
isolated+=(QUELLVISTA_MACHINE=)
evening="$("$check" values Evening 0.65)"
start dark "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening"
poll 30 "$check" preset Evening 0.65 "$tmp/original" || fail "Evening is not on the ramp"
segment_by_keyboard Dark
popover_by_keyboard
pop press "Open Quellvista"
poll 10 main_window || fail "Press on \"Open Quellvista\" did not bring the window back"
main="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
xdotool windowfocus --sync "$main"
# A break by its hot key while the main window's master switch has the keyboard: the panel
# comes as an alert, reads its line and its countdown, and takes the keyboard. Space acts on
# nothing behind it (the switch and Evening's ramp stay), Tab reaches "Skip Break", Space
# on it ends the break, and the switch has the keyboard again.
main press "Display & Comfort"
tab_to "Display comfort tuning" 12
poll 10 grep -q "Global shortcuts registered" "$tmp/app.log" || fail "no global shortcuts"
main alert super+shift+b "Look 20 feet away"
at "Quellvista overlay" expect "Blink slowly. Relax your jaw and shoulders." role=label
at "Quellvista overlay" expect "Skip Break" role="push button"
at "Quellvista overlay" nothing-hidden
countdown="$(/usr/bin/python3 "$here/atspi.py" "Quellvista overlay" dump 2>&1 | grep -cE "label '[0-9]+'" || true)"
((countdown == 1)) || fail "the break panel's countdown is not read"
overlay() { xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null | head -n1; }
panel_shown() { [[ -n "$(overlay)" ]]; }
panel_gone() { ! panel_shown; }
keyed() { [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$(($1))" ]]; }
poll 10 keyed "$(overlay)" || fail "the break panel did not take the keyboard from the main window"
xdotool key space
at "Quellvista overlay" focus-follows Tab "Skip Break"
xdotool key space
poll 10 panel_gone || fail "Space on \"Skip Break\" did not end the break"
poll 10 keyed "$main" || fail "the main window did not get the keyboard back after the break"
main expect "Display comfort tuning" focused checked
"$check" preset Evening 0.65 "$tmp/original" || fail "a key pressed during the break changed the ramp behind the panel"
# Ctrl+Q while the panel has the keyboard and Evening eases off: the original ramp comes back.
xdotool key super+shift+b
poll 10 panel_shown || fail "the hot key brought no second break"
xdotool key super+shift+n ctrl+q
poll 10 app_ended || fail "Ctrl+Q did not end the application"
wait "$app_pid" || fail "the application quit with status $?"
app_pid=""
"$check" same "$tmp/original" || fail "after Ctrl+Q the ramp is not the one from before the start"
# ---- Words on the computer itself ----
# On the host (the X server's own screen, no simulated Mac), nothing a screen reader
# reaches names a Mac, a MacBook, macOS, Apple, the Finder or the menu bar: each section,
# each display note opened in turn, Settings, the pop-over and its gear menu.
host_words() {
  local texts="$tmp/host-texts" found section topic
  appearance=host
  store '"breakReminderEnabled":{"t":"bool","v":true}'
  start_app accessibility-tree main_window
  main expect "Display & Comfort"
  : >"$texts"
  collect() { /usr/bin/python3 "$here/atspi-texts.py" >>"$texts" || fail "no accessibility tree on the host"; }
  collect
  for section in "Break Reminders" "Blink Detection" "Support"; do
    main press "$section"
    main expect "$section" role=heading
    collect
  done
  main press "Display notes"
  for topic in "What is Temporal Dithering?" "What is PWM Avoidance?" "What is Edge Uniformity?" \
    "Why do some people experience display strain?" "Integer-scaled resolutions" "Font smoothing"; do
    main press "$topic"
    sleep 0.5
    collect
  done
  main press "Settings"
  main expect "Settings" role=heading
  collect
  poll 15 find_tray_icon || fail "no icon in the tray"
  poll 10 tray_icon_geometry || fail "the icon is gone from the tray"
  xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
  poll 10 popover_window || fail "the pop-over did not open"
  collect
  windows_before="$(windows)"
  pop press "Options"
  poll 10 gear_menu || fail "Press on the gear opened no menu"
  sleep 0.3
  collect
  xdotool key Escape
  grep -q "What is Temporal Dithering?" "$texts" || fail "the display notes were not read: $(sort -u "$texts" | head -n 20)"
  found="$(grep -E -i '\bmacs?\b|macbook|macos|apple|finder|menu bar' "$texts" | sort -u || true)"
  [[ -z "$found" ]] || fail "texts that name what this computer is not:
$found"
  stop_app TERM
}
host_words

echo "accessibility-tree: names, roles, states, values, texts and Press checked; gear menu quit by Enter; Ctrl+Q puts the ramp back; no Mac words on the host"
