#!/usr/bin/env bash
# A 1366 x 768 screen with a 28-pixel panel (a work area 740 pixels high), reached by
# resizing a 1920 x 1200 screen while the window is open: the window shrinks to the work
# area, its minimum with it, and every section scrolls to its end. Screenshots of the top
# and the end of each section, light and dark, stay in OUT.
# Then under i3, a tiling window manager that ignores the minimum the window asks for, on
# the 1920 x 1200 screen again: tiled as one of three columns (636 pixels inside i3's
# borders), every control of every section is in sight or comes in sight as the window's
# scroll bars are moved (the accessibility tree says where each control is, and which way
# each scroll bar scrolls); split to 300 x 200 (296 x 180 inside), it paints its window and
# goes on without a QML warning, light and dark. Screenshots i3-640-* and i3-300x200-*,
# light and dark, in OUT.
# Usage: small-screen.sh APP OUT
set -euo pipefail
app="$1" out="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
begin_check small-screen Xvfb openbox trayer xdotool xprop xrandr xwininfo import python3 i3 i3-msg xmessage dbus-daemon \
  dbus-send /usr/libexec/at-spi-bus-launcher /usr/bin/python3 -- app_pid tray_pid wm_pid first_pid second_pid below_pid \
  launcher_pid bus_pid

start_xvfb small-screen
make_isolated
HOME="$tmp/home" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 20 wm_ready || { echo "small-screen: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }
trayer --edge bottom --align right --widthtype percent --width 100 --height 28 --SetDockType true \
  --SetPartialStrut true --transparent true --alpha 0 --tint 0x303030 >"$tmp/trayer.log" 2>&1 &
tray_pid=$!
isolated+=(QUELLVISTA_CONTROL_LIST="$tmp/controls")
mkdir -p "$out"

write_defaults() {
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$1"}}}
JSON
}
# The frame of the main window on the screen: x y width height.
frame_geometry() {
  local frame
  frame="$(toplevel "$window")"
  xwininfo -id "$frame" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
    /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}'
}
inside_work_area() {
  local x y w h
  read -r x y w h < <(frame_geometry)
  ((x >= 0 && y >= 0 && x + w <= 1366 && y + h <= 740))
}
work_area_ready() { xprop -root _NET_WORKAREA | grep -q '= 0, 0, 1366, 740'; }
# The centre of the first listed control of a kind and name.
centre() {
  python3 - "$tmp/controls" "$1" "$2" <<'PY'
import sys
for l in open(sys.argv[1], encoding='utf-8'):
    r = l.rstrip('\n').split('\t')
    if r[0] == sys.argv[2] and r[1] == sys.argv[3]:
        x, y, w, h = map(int, r[2].split())
        print(x + w // 2, y + h // 2)
        sys.exit(0)
sys.exit(1)
PY
}
listed() { [[ -s "$tmp/controls" ]] && centre "$@" >/dev/null 2>&1; }

shoot_sections() {
  local appearance="$1" section
  for section in "Display & Comfort" "Blink Detection" "Break Reminders" "Support"; do
    poll 10 listed button "$section" || { echo "small-screen: no sidebar row $section"; cat "$tmp/controls"; exit 1; }
    xdotool mousemove $(centre button "$section") click 1
    sleep 1.2
    local name="${section// /-}"
    name="${name//&/and}"
    import -window root "$out/$name-$appearance-top.png"
    # The end of the page: the wheel over the page, far enough for any of them.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove "$((X + WIDTH - 200))" "$((Y + HEIGHT / 2))" click --repeat 60 --delay 5 5
    sleep 0.8
    import -window root "$out/$name-$appearance-end.png"
  done
}

write_defaults light
start_app small-screen find_main
sleep 1
# The screen becomes a 1366 x 768 laptop's while the window is open.
xrandr --newmode 1366x768 85.50 1366 1436 1579 1792 768 771 774 798 2>/dev/null || true
xrandr --addmode screen 1366x768
xrandr --output screen --mode 1366x768 --fb 1366x768
poll 10 work_area_ready || { echo "small-screen: the work area is not 1366 x 740"; xprop -root _NET_WORKAREA; exit 1; }
poll 10 inside_work_area ||
  { echo "small-screen: the window stayed beyond the work area: $(frame_geometry)"; cat "$tmp/app.log"; exit 1; }
minimum="$(xprop -id "$window" WM_NORMAL_HINTS | awk '/minimum size/ {print $5, $7}')"
read -r min_w min_h <<<"$minimum"
((min_w <= 1366 && min_h <= 740)) || { echo "small-screen: the minimum stayed ${min_w} x ${min_h}"; exit 1; }
echo "small-screen: window frame $(frame_geometry), minimum ${min_w} x ${min_h}"
shoot_sections light

kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
write_defaults dark
start_app small-screen find_main
poll 10 inside_work_area || { echo "small-screen: a window opened on the small screen lies beyond it: $(frame_geometry)"; exit 1; }
shoot_sections dark
grep -E "qml|QML" "$tmp/app.log" && { echo "small-screen: QML warnings"; exit 1; }
echo "small-screen: the window fits the 1366 x 740 work area, light and dark"

# i3, on the whole screen again, with the accessibility bus of a private session bus.
kill "$app_pid" "$tray_pid" "$wm_pid"
wait "$app_pid" "$tray_pid" "$wm_pid" 2>/dev/null || true
app_pid="" tray_pid="" wm_pid=""
xrandr --output screen --mode 1920x1200 --fb 1920x1200
XDG_RUNTIME_DIR="$tmp/runtime" start_session_bus small-screen "$tmp/bus/socket" org.a11y.Bus
export DBUS_SESSION_BUS_ADDRESS="$bus_address"
isolated+=(DBUS_SESSION_BUS_ADDRESS="$bus_address" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)
printf '# i3 config file (v4)\nfont pango:monospace 8\n' >"$tmp/i3.conf"
HOME="$tmp/home" i3 -c "$tmp/i3.conf" >"$tmp/i3.log" 2>&1 &
wm_pid=$!
i3_ready() { i3-msg -t get_version >/dev/null 2>&1 || return 1; }
poll 20 i3_ready || { echo "small-screen: i3 did not start"; cat "$tmp/i3.log"; exit 1; }
at() {
  /usr/bin/python3 "$here/atspi.py" Quellvista "$@" ||
    { echo "small-screen (i3): $* (screenshot i3-failed.png)" >&2; import -window root "$out/i3-failed.png"; exit 1; }
}
client_size() { xwininfo -id "$window" | awk '/^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print w "x" h}'; }
tiled() { kill -0 "$app_pid" 2>/dev/null || return 2; [[ "$(client_size)" == "$1" ]]; }
# Once the window shows its sidebar (a pixel of it, half way down, not black), a screenshot
# of its column; the application still runs then.
painted() {
  local height
  height="$(xwininfo -id "$window" | awk '/^ *Height/ {print $NF}')"
  [[ "$(import -window "$window" -crop "1x1+130+$((height / 2))" txt:- | tail -n1)" != *"#000000"* ]]
}
shoot() {
  poll 10 painted || { echo "small-screen (i3): the window shows nothing"; exit 1; }
  import -window root -crop 640x1200+0+0 "$out/i3-$1.png"
  kill -0 "$app_pid" 2>/dev/null || { echo "small-screen (i3): the application ended at $1"; cat "$tmp/app.log"; exit 1; }
}

# tile APPEARANCE: the application, then two more windows beside it.
tile() {
  write_defaults "$1"
  start_app small-screen find_main
  xmessage -name first first >/dev/null 2>&1 &
  first_pid=$!
  xmessage -name second second >/dev/null 2>&1 &
  second_pid=$!
  poll 10 tiled 636x1180 || { echo "small-screen (i3): the window is $(client_size), not 636x1180"; exit 1; }
  [[ -n "$launcher_pid" ]] || launcher_pid="$(dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.Bus 2>/dev/null | awk '/uint32/ {print $2}' || true)"
}
# split: a window below the application's, and the application's made 300 x 200.
split() {
  i3-msg -q '[title="^Quellvista$"] focus, split v'
  xmessage -name below below >/dev/null 2>&1 &
  below_pid=$!
  poll 10 bash -c 'xwininfo -root -tree | grep -q "\"below\""' || { echo "small-screen (i3): no window below"; exit 1; }
  i3-msg -q '[title="^Quellvista$"] resize set width 300 px height 200 px, focus'
  poll 10 tiled 296x180 || { echo "small-screen (i3): the split window is $(client_size), not 296x180"; exit 1; }
}
untile() {
  kill "$app_pid" "$first_pid" "$second_pid" "$below_pid"
  wait "$app_pid" "$first_pid" "$second_pid" "$below_pid" 2>/dev/null || true
  app_pid="" first_pid="" second_pid="" below_pid=""
}

tile light
for section in "Display & Comfort" "Blink Detection" "Break Reminders" "Support" "Settings"; do
  at press "$section"
  at expect "$section" selected
  found="$(at reachable 636x1180)"
  echo "small-screen (i3): $section at 636 px: $found"
done
at press "Display & Comfort"
at expect "Display & Comfort" selected
# The page's scroll bars say which way they lie and whether they scroll: across, not down.
at expect "Horizontal" role="scroll bar" range=0..100
at expect "Vertical" role="scroll bar" range=0..0
shoot 640-light
split
shoot 300x200-light
grep -E "qml|QML" "$tmp/app.log" && { echo "small-screen (i3): QML warnings"; exit 1; }
untile
tile dark
shoot 640-dark
split
shoot 300x200-dark
grep -E "qml|QML" "$tmp/app.log" && { echo "small-screen (i3): QML warnings"; exit 1; }
echo "small-screen: under i3 every control is in reach at 636 px, and the window goes on at 296 x 180; screenshots in $out"
