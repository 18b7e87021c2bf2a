#!/usr/bin/env bash
# Starts the real application in a Wayland session of its own (headless sway, swaybar as the
# tray, a session bus) on the Qt platform given: "wayland" (native, qt6-wayland) or "xcb"
# (through XWayland). It shows its window and its tray icon, takes the idle time and the
# front application from the compositor: the seat, without input devices, turns idle after
# the compositor's timeout and active again when the pointer moves (the break countdown
# held meanwhile is HostIdleBusTest's, on the virtual clock); with app-aware comfort on,
# activating a window of the editor (app_id code) applies Focus and one of the browser
# (google-chrome) Reading. Tiled in a 636-pixel column, then stacked above another window,
# the main window is as large as its tile, Settings gear in sight; in the column every control
# of every section is reached by its scroll bars (clicked by xdotool on XWayland, by a virtual
# pointer on Qt's Wayland platform). The tray icon's click opens the pop-over, a floating
# window, not one tiled beside the others. Through XWayland, swaybar starts after the
# application, as a panel may at login: the log says the icon is added when a tray starts, and it is.
# The log says which way the windows went, the overlays' way, and on Qt's own platform that
# the compositor places the pop-over.
# Usage: wayland-session.sh APP wayland|xcb QV_VIRTUALPOINTER
set -euo pipefail
app="$1" platform="$2" pointer_program="$3"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
name="wayland-session-$platform"
begin_check "$name" sway swaymsg swaybar foot dbus-daemon dbus-send setpriv python3 xwininfo xdotool -- app_pid editor_pid browser_pid \
  below_pid bar_pid sway_pid bus_pid
[[ $EUID -eq 0 ]] || { echo "$name: runs as root (sway then runs as nobody)"; exit 1; }

session_services=(org.a11y.Bus)
if [[ "$platform" == xcb ]]; then start_headless_sway "$name" enable late; else start_headless_sway "$name" disable; fi
make_isolated
mkdir -p "$tmp/config/Quellvista" "$tmp/data/applications"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "appAwareComfortEnabled":{"t":"bool","v":true}}}
JSON
printf '[Desktop Entry]\nType=Application\nName=Visual Studio Code\nExec=code\n' >"$tmp/data/applications/code.desktop"
printf '[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=google-chrome\n' \
  >"$tmp/data/applications/google-chrome.desktop"
isolate_for_nobody
# On the host: an empty machine name runs on the session itself.
isolated+=(QUELLVISTA_MACHINE= QT_QPA_PLATFORM="$platform" QUELLVISTA_CONTROL_LIST="$tmp/runtime/controls"
  QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  QT_LOGGING_RULES="com.tebrix.Quellvista.PresetManager.info=true;com.tebrix.Quellvista.Idle.debug=true;com.tebrix.Quellvista.MenuBar.info=true")
alive() { kill -0 "$app_pid" 2>/dev/null || return 2; }
main_shown() { alive && sway_window "$([[ "$platform" == xcb ]] && echo Quellvista || echo com.tebrix.Quellvista)"; }
start_app "$name" main_shown
way="The windows go through XWayland"
[[ "$platform" == xcb ]] || way="The windows go through Qt's own Wayland platform .*the pop-over opens where it puts new"
for line in "$way" "Overlays: layer surfaces of the compositor"; do
  grep -q "$line" "$tmp/app.log" || { echo "$name: not logged: $line"; cat "$tmp/app.log"; exit 1; }
done

tray_items() {
  "${as_nobody[@]}" dbus-send --session --print-reply --dest=org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.freedesktop.DBus.Properties.Get string:org.kde.StatusNotifierWatcher string:RegisteredStatusNotifierItems \
    2>/dev/null
}
tray_item() {
  alive || return 2
  tray_items | grep -q StatusNotifierItem
}
logged() { alive && grep -q "$1" "$tmp/app.log"; }
if [[ "$platform" == xcb ]]; then
  ! tray_item && logged "No system tray is available yet; the icon is added when one starts" ||
    { echo "$name: a tray before swaybar started"; cat "$tmp/app.log"; exit 1; }
  start_late_bar
fi
poll 20 tray_item || { echo "$name: no tray icon reached swaybar"; cat "$tmp/app.log"; exit 1; }
[[ "$platform" != xcb ]] || logged "A system tray started: the icon is added to it" ||
  { echo "$name: the icon's coming is not logged"; cat "$tmp/app.log"; exit 1; }
for line in "The idle time comes from the compositor's idle timeouts" \
  "The front application comes from the compositor's window list"; do
  grep -q "$line" "$tmp/app.log" || { echo "$name: not logged: $line"; cat "$tmp/app.log"; exit 1; }
done
poll 15 logged "The seat is idle" || { echo "$name: the idle seat did not reach the application"; cat "$tmp/app.log"; exit 1; }
swaymsg -s "$swaysock" seat - cursor move 1 1 >/dev/null
poll 10 logged "The seat is in use again" ||
  { echo "$name: the pointer's move did not reach the application"; cat "$tmp/app.log"; exit 1; }

applied() { alive && [[ "$(grep -c "Applying preset: $1" "$tmp/app.log")" -ge "$2" ]]; }
count() { grep -c "Applying preset: $1" "$tmp/app.log" || true; }
# Each window is focused as it opens: the editor's applies Focus, then the browser's Reading.
# nobody has no login shell: each terminal runs a command that waits.
"${as_nobody[@]}" foot --app-id=code -o workers=1 sleep 1000000 >"$tmp/editor.log" 2>&1 &
editor_pid=$!
poll 20 sway_window code focused || { echo "$name: the editor's window did not come"; cat "$tmp/editor.log"; exit 1; }
poll 30 applied Focus 1 || { echo "$name: the editor's window did not apply Focus"; cat "$tmp/app.log"; exit 1; }
"${as_nobody[@]}" foot --app-id=google-chrome -o workers=1 sleep 1000000 >/dev/null 2>&1 &
browser_pid=$!
poll 20 sway_window google-chrome focused || { echo "$name: the browser's window did not come"; exit 1; }
poll 30 applied Reading 1 || { echo "$name: the browser's window did not apply Reading"; cat "$tmp/app.log"; exit 1; }

# Then activated in turn by the compositor.
activate() { swaymsg -s "$swaysock" "[app_id=\"^$1\$\"] focus" >/dev/null && poll 10 sway_window "$1" focused; }
for round in editor browser; do
  if [[ "$round" == editor ]]; then id=code preset=Focus; else id=google-chrome preset=Reading; fi
  before="$(count "$preset")"
  activate "$id" || { echo "$name: sway did not focus the $round's window"; exit 1; }
  poll 30 applied "$preset" $((before + 1)) ||
    { echo "$name: activating the $round's window did not apply $preset"; cat "$tmp/app.log"; exit 1; }
done

# The three windows tiled in columns of a 1920 x 1200 output (636 pixels inside the borders),
# then the application's stacked above a fourth: its window (as the application lists it)
# takes the tile it is given, as its page scrolls, on either platform (Qt's Wayland platform
# held it at its minimum, and sway cut it off).
swaymsg -s "$swaysock" output '*' mode 1920x1200 >/dev/null
# fits_tile width|height LIMIT: the window is as large as its tile, which is less than LIMIT
# that way, and the Settings gear at the foot of its sidebar is in it.
fits_tile() {
  alive || return 2
  swaymsg -s "$swaysock" -t get_tree | python3 -c '
import json, sys
def nodes(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from nodes(c)
listed = [l.split("\t") for l in open(sys.argv[3], encoding="utf-8")]
drawn = [list(map(int, l[2].split())) for l in listed if l[:2] == ["window", "Quellvista"]]
gear = [list(map(int, l[2].split())) for l in listed if l[:2] == ["button", "settingsGear"]]
for n in nodes(json.load(sys.stdin)):
    if n.get("name") == "Quellvista" and n.get("type") == "con" and drawn and gear:
        tile, (_, top, width, height), (_, y, _, h) = n["window_rect"], drawn[0], gear[0]
        y -= top
        print("tile %dx%d, window %dx%d, the gear %d to %d down" % (tile["width"], tile["height"], width, height, y, y + h))
        sys.exit(0 if tile[sys.argv[1]] < int(sys.argv[2]) and (width, height) == (tile["width"], tile["height"])
                 and y + h <= height else 1)
sys.exit(1)' "$1" "$2" "$tmp/runtime/controls"
}
poll 10 fits_tile width 640 >/dev/null || { echo "$name: at 636 px the window is not its tile's: $(fits_tile width 640)"; exit 1; }
echo "$name: in a column, $(fits_tile width 640)"
# There every control of every section is in sight, or comes in sight as the window's scroll
# bars are moved with sway's pointer (the accessibility tree says where each control is: on
# Qt's Wayland platform from the window's corner, which lies where sway's tree says).
origin="$(swaymsg -s "$swaysock" -t get_tree | python3 -c '
import json, sys
def nodes(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from nodes(c)
n = next(n for n in nodes(json.load(sys.stdin)) if n.get("name") == "Quellvista" and n.get("type") == "con")
print("%d,%d,1920,1200," % (n["rect"]["x"] + n["window_rect"]["x"], n["rect"]["y"] + n["window_rect"]["y"]))')"
# On XWayland xdotool moves the pointer.
[[ "$platform" == wayland ]] && pointer="$origin$pointer_program" || pointer=""
at() {
  "${as_nobody[@]}" QV_POINTER="$pointer" /usr/bin/python3 "$here/atspi.py" Quellvista "$@" || { echo "$name: $*"; exit 1; }
}
for section in "Display & Comfort" "Blink Detection" "Break Reminders" "Support" "Settings"; do
  at press "$section"
  at expect "$section" selected
  found="$(at reachable 636x1150)"
  echo "$name: $section at 636 px: $found"
done
swaymsg -s "$swaysock" '[title="^Quellvista$"] focus, split v' >/dev/null
"${as_nobody[@]}" foot --app-id=below -o workers=1 sleep 1000000 >/dev/null 2>&1 &
below_pid=$!
poll 10 fits_tile height 760 >/dev/null || { echo "$name: stacked, the window is not its tile's: $(fits_tile height 760)"; exit 1; }
echo "$name: stacked, $(fits_tile height 760)"

# The tray icon's click (the item's Activate) opens the pop-over, which sway floats.
popover_floats() {
  alive || return 2
  swaymsg -s "$swaysock" -t get_tree | python3 -c '
import json, sys
def floating(n, inside=False):
    if inside and n.get("name") == "Quellvista pop-over" and n.get("visible"):
        return True
    return any(floating(c, inside) for c in n.get("nodes", [])) or any(floating(c, True) for c in n.get("floating_nodes", []))
sys.exit(0 if floating(json.load(sys.stdin)) else 1)'
}
item="$(tray_items | grep -o '"[^"]*/StatusNotifierItem"' | tr -d '"' | head -n1)"
"${as_nobody[@]}" dbus-send --session --print-reply --dest="${item%%/*}" "/${item#*/}" org.kde.StatusNotifierItem.Activate \
  int32:0 int32:0 >/dev/null
poll 10 popover_floats || { echo "$name: the pop-over is not a floating window"
  swaymsg -s "$swaysock" -t get_tree | grep -E '"(name|app_id|type)"'; exit 1; }
echo "$name: window and tray icon shown; the seat's idle and active turns followed; the editor's window applied Focus and the browser's Reading; the pop-over floats"
