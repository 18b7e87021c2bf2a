#!/usr/bin/env bash
# What a screen reader finds in the running application: its accessibility tree on the
# AT-SPI bus of a private session bus, under an X server of its own with a tray. Sidebar
# rows, profile tiles, break options and the pop-over's buttons answer the "Press" action;
# switches are check boxes whose state survives a change of page; sliders count in the
# steps their rows show; the chosen tile, interval and style are selected; headings and
# statistics tiles carry their text; the composer opens on its named comment; "New profile"
# puts the focus on the new tile. In the pop-over, Tab reaches the comfort switch, "Open
# Quellvista" and the gear menu, whose "Quit Quellvista" the keyboard chooses; screenshots
# popover-keyboard-light.png and -dark.png (in OUT, default: the working folder) show the
# switch's focus ring.
# Usage: accessibility-tree.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"
begin_check accessibility-tree Xvfb xcompmgr trayer xdotool xwininfo import dbus-daemon dbus-send \
  /usr/libexec/at-spi-bus-launcher /usr/bin/python3 -- app_pid tray_pid compositor_pid launcher_pid bus_pid
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
  { echo "accessibility-tree: python3-pyatspi is missing (scripts/setup installs it)"; exit 1; }
mkdir -p "$out"

start_composited_xvfb accessibility-tree
make_isolated
# The session bus starts the accessibility bus on demand; its socket goes to our folder.
read -r bus_address bus_pid < <(XDG_RUNTIME_DIR="$tmp/runtime" dbus-daemon --session --fork \
  --print-address=1 --print-pid=1 | paste -sd' ')
export DBUS_SESSION_BUS_ADDRESS="$bus_address"
isolated+=(DBUS_SESSION_BUS_ADDRESS="$bus_address" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)

at() { /usr/bin/python3 "$here/atspi.py" "$@" || fail "$(printf '%q ' "$@")"; }
main() { at Quellvista "$@"; }
pop() { at "Quellvista pop-over" "$@"; }
fail() { echo "accessibility-tree ($appearance): $*"; exit 1; }
main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
popover_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista pop-over$' 2>/dev/null | head -n1)" ]]
}
windows() { xwininfo -root -children | grep -c '("quellvista"' || true; }

start() {
  appearance="$1"
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$appearance"},
 "breakReminderEnabled":{"t":"bool","v":true},
 "favoriteComfortPresets":{"t":"array","v":[{"t":"string","v":"Focus"},{"t":"string","v":"Evening"}]}}}
JSON
  start_app accessibility-tree main_window
  [[ -n "$tray_pid" ]] || start_tray accessibility-tree
  main expect "Display & Comfort"
  # The accessibility bus the session bus started for the application: ended at exit.
  [[ -n "$launcher_pid" ]] || launcher_pid="$(dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.Bus 2>/dev/null | awk '/uint32/ {print $2}' || true)"
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
  local stops=() name i
  for i in $(seq 1 12); do
    xdotool key Tab
    sleep 0.2
    name="$(pop focused)"
    stops+=("$name")
    if [[ "$name" == "Comfort tuning" ]]; then
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

# Break options and statistics; the chosen interval and style are selected.
main press "Break Reminders"
main expect "20 min" selected
main press "30 min"
main expect "30 min" selected
main expect "20 min" '!selected'
main expect "Overlay" selected
main expect "Breaks: 0" role=label
main press "Blink Detection"
main expect "Blink Detection" role=heading

# The composer opens on its comment, which has a name.
main press "Support"
main press "Leave comment"
main expect "Comment" focused
main expect "Name or email (optional)" '!focused'
xdotool key Escape

popover_by_keyboard
pop expect "Comfort tuning" role="check box" checked
pop expect "Next Break: *" role=label
pop press "Evening"
pop expect "Evening" selected
windows_before="$(windows)"
pop press "Options"
gear_menu() { (($(windows) > windows_before)); }
poll 10 gear_menu || fail "Press on the gear opened no menu"
xdotool key Escape
pop press "Open Quellvista"
poll 10 main_window || fail "Press on \"Open Quellvista\" did not bring the window back"

kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
start dark
popover_by_keyboard
# The gear menu from the keyboard: Space opens it on the focused gear, and its last
# entry, "Quit Quellvista", ends the application.
for _ in $(seq 1 12); do
  [[ "$(pop focused)" == Options ]] && break
  xdotool key Tab
  sleep 0.2
done
windows_before="$(windows)"
xdotool key space
poll 10 gear_menu || fail "Space on the gear opened no menu"
xdotool key Up Return
app_ended() { ! kill -0 "$app_pid" 2>/dev/null; }
poll 10 app_ended || fail "\"Quit Quellvista\" chosen with the keyboard did not end the application"
wait "$app_pid" || fail "the application quit with status $?"
app_pid=""

# ---- Words on the computer itself ----
# On the host (the X server's own screen, no simulated Mac), nothing a screen reader
# reaches names a Mac, a MacBook, macOS, Apple, the Finder or the menu bar: each section,
# each display note opened in turn, Settings, the pop-over and its gear menu.
host_words() {
  local texts="$tmp/host-texts" found section topic
  appearance=host
  isolated+=(QUELLVISTA_MACHINE=)
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

echo "accessibility-tree: names, roles, states, values and Press checked; pop-over reached by Tab in light and dark"
