#!/usr/bin/env bash
# Screenshots of the real application's Display & Comfort page in a real window: light and
# dark, with comfort tuning switched on, the hardware block expanded and the tour open at
# its first and second steps. The page is the section the application opens with. Uses
# its own X server (common.sh) and temporary folders; the application runs isolated.
# Usage: display-comfort-page.sh APP [OUT_FOLDER]   (default: ./display-comfort-shots)
# It also shoots a profile's context menu and its rename sheet; QV_SHOT_PROFILE_MENU="X Y"
# and QV_SHOT_RENAME_ITEM="X Y" move the points clicked for them (window coordinates).
set -euo pipefail
app="$1" out="${2:-display-comfort-shots}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check display-comfort-page xdotool import Xvfb -- app_pid
mkdir -p "$out"
out="$(cd "$out" && pwd)"
start_xvfb display-comfort-page

window=""
find_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  window="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1)"
  [[ -n "$window" ]]
}
# Clicks at a point of the window (window coordinates).
click() { xdotool mousemove --window "$window" "$1" "$2" click 1; sleep 0.6; }
shot() { import -window "$window" "$out/$1.png"; echo "$out/$1.png"; }

for appearance in light dark; do
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data"
  make_isolated
  mkdir -p "$tmp/config/Quellvista"
  printf '{"format":"quellvista-defaults","version":1,"values":{"appAppearanceMode":{"t":"string","v":"%s"}}}\n' \
    "$appearance" >"$tmp/config/Quellvista/defaults.json"
  start_app display-comfort-page find_window
  sleep 2
  shot "page-$appearance"
  # A starter profile's context menu (right-click on the Focus tile), then its rename sheet;
  # Escape closes the sheet again.
  xdotool mousemove --window "$window" ${QV_SHOT_PROFILE_MENU:-390 240} click 3
  sleep 0.6
  shot "profile-menu-$appearance"
  click ${QV_SHOT_RENAME_ITEM:-430 262}
  shot "rename-sheet-$appearance"
  xdotool key Escape
  sleep 0.6
  geometry="$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')"
  width="${geometry%x*}"
  # The master switch, left of the guide button, turns comfort tuning on (Focus).
  click $((width - 97)) 41
  sleep 1
  shot "switch-on-$appearance"
  # The "Display hardware" header row expands the block with the protection cards.
  click 600 104
  shot "hardware-$appearance"
  # The header's guide button at the window's top-right corner opens the tour.
  click $((width - 42)) 40
  shot "tour-$appearance"
  # "Next" moves the tour on to the profiles block.
  click $((width - 90)) 128
  shot "tour-next-$appearance"
  kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null || true
  app_pid=""
done
