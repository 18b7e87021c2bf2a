#!/usr/bin/env bash
# Starts the real application on the Display & Comfort section under an X server of its
# own, light and dark, and takes screenshots of the tuning panel and the comfort profiles
# grid: as they open, with a tile's context menu open, with the rename sheet open, with
# the display picker open and with the second display chosen in it. Leaves
# comfort-blocks-{light,dark}{,-menu,-rename,-picker,-display}.png in OUT (default: the
# working folder). Usage: comfort-blocks.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check comfort-blocks Xvfb xdotool import -- app_pid

start_xvfb comfort-blocks
mkdir -p "$out"

shot() { sleep 0.6; import -window root "$out/comfort-blocks-$1.png"; }
# Clicks at a point of the main window (button 1 or 3).
click() { xdotool mousemove --window "$window" "$1" "$2" click "$3"; }

# The tile "Focus" sits at the grid's top-left; its context menu opens where it is
# clicked, its first entry being "Rename". The picker's menu opens below it, every
# display first.
tile_x=330 tile_y=560 picker_x=940 picker_y=119
for appearance in light dark; do
  make_isolated
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$appearance"},
 "mainWindow.selectedSection":{"t":"string","v":"Display & Comfort"},
 "favoriteComfortPresets":{"t":"array","v":[{"t":"string","v":"Focus"},{"t":"string","v":"Evening"}]}}}
JSON
  start_app comfort-blocks find_main
  shot "$appearance"
  click "$tile_x" "$tile_y" 3
  shot "$appearance-menu"
  click $((tile_x + 40)) $((tile_y + 18)) 1
  shot "$appearance-rename"
  xdotool key Escape
  click "$picker_x" "$picker_y" 1
  shot "$appearance-picker"
  click "$picker_x" $((picker_y + 62)) 1
  shot "$appearance-display"
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime" "$tmp/sockets"
done
echo "comfort-blocks: screenshots in $out"
