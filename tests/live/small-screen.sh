#!/usr/bin/env bash
# A 1366 x 768 screen with a 28-pixel panel (a work area 740 pixels high), reached by
# resizing a 1920 x 1200 screen while the window is open: the window shrinks to the work
# area, its minimum with it, and every section scrolls to its end. Screenshots of the top
# and the end of each section, light and dark, stay in OUT.
# Usage: small-screen.sh APP OUT
set -euo pipefail
app="$1" out="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check small-screen Xvfb openbox trayer xdotool xprop xrandr xwininfo import python3 -- app_pid tray_pid wm_pid

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
echo "small-screen: the window fits the 1366 x 740 work area, light and dark; screenshots in $out"
