#!/usr/bin/env bash
# Starts the real application beside an X11 tray host on an X server of its own, opens the
# pop-over from the tray and rests the pointer on the comfort switch until its hover help
# shows (hover-help-popover-{light,dark}.png in OUT, default: the working folder); then
# opens Settings, scrolls to the diagnostics and rests the pointer on a cell until its key
# shows (hover-help-diagnostics-{light,dark}.png). Fails on any QML warning.
# Usage: hover-help.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check hover-help Xvfb xcompmgr trayer xdotool xwininfo import -- app_pid tray_pid compositor_pid
mkdir -p "$out"
out="$(cd "$out" && pwd)"

start_composited_xvfb hover-help
start_tray hover-help

popover=""
find_popover() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  popover="$(xdotool search --onlyvisible --name '^Quellvista pop-over$' 2>/dev/null | head -n1)"
  [[ -n "$popover" ]]
}
start_with() {
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache"
  make_isolated
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$1"},
 "mainWindow.selectedSection":{"t":"string","v":"Settings"}}}
JSON
  start_app hover-help find_main
  sleep 1.5 # the page's first frames, the backdrop's fade
}
check_log() {
  if grep -q "QML\|qml:" "$tmp/app.log"; then
    echo "hover-help: QML warnings"
    cat "$tmp/app.log"
    exit 1
  fi
}

for appearance in light dark; do
  start_with "$appearance"

  # The diagnostics, scrolled into view; the pointer rests on the first cell.
  xdotool mousemove --window "$window" 700 400 click --repeat 12 5
  sleep 1
  xdotool mousemove --window "$window" "${CELL_X:-560}" "${CELL_Y:-560}"
  sleep 1.2
  import -window "$window" "$out/hover-help-diagnostics-$appearance.png"
  echo "hover-help: $out/hover-help-diagnostics-$appearance.png"

  # The pop-over from the tray; the pointer rests on the comfort switch.
  poll 15 tray_icon_geometry || { echo "hover-help: no icon in the tray"; cat "$tmp/app.log"; exit 1; }
  xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
  poll 10 find_popover || { echo "hover-help: the pop-over did not open"; cat "$tmp/app.log"; exit 1; }
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$popover")"
  xdotool mousemove "$((X + WIDTH - 30))" "$((Y + 28))"
  sleep 1.2
  import -window "$popover" "$out/hover-help-popover-$appearance.png"
  echo "hover-help: $out/hover-help-popover-$appearance.png"

  check_log
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
done
echo "hover-help: four screenshots taken"
