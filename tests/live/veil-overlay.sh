#!/usr/bin/env bash
# Starts the real application with the comfort veil on, over a window that records mouse
# presses, on an X server of its own with a compositing manager (translucent windows show
# black without one). Checks that the veil's panel covers the screen above that window,
# that a click on the veil reaches the window below, and (loosely) that the window shows
# through. Leaves the screenshot, veil-overlay.png, in OUT (default: the working folder).
# Usage: veil-overlay.sh APP QV_CLICKTARGET [OUT]
set -euo pipefail
app="$1" target="$2" out="${3:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check veil-overlay Xvfb xcompmgr xdotool xwininfo import convert -- app_pid target_pid compositor_pid

start_composited_xvfb veil-overlay

# The window below: right of and below the main window, which opens at the top left.
tx=1300 ty=800 tw=400 th=300
"$target" "$tx" "$ty" "$tw" "$th" >"$tmp/presses" 2>"$tmp/target.log" &
target_pid=$!
target_window=""
find_target() {
  kill -0 "$target_pid" 2>/dev/null || return 2
  target_window="$(xdotool search --onlyvisible --name '^Click target$' 2>/dev/null | head -n1)"
  [[ -n "$target_window" ]]
}
poll 30 find_target || { echo "veil-overlay: the click target did not show"; cat "$tmp/target.log"; exit 1; }

make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "comfortVeil.enabled":{"t":"bool","v":true},
 "comfortVeil.peripheral.enabled":{"t":"bool","v":true},
 "comfortVeil.peripheral.amount":{"t":"double","v":0.6},
 "comfortVeil.colorCalm.enabled":{"t":"bool","v":true},
 "comfortVeil.colorCalm.amount":{"t":"double","v":0.4},
 "comfortVeil.microtexture.enabled":{"t":"bool","v":true},
 "comfortVeil.microtexture.amount":{"t":"double","v":0.2}}}
JSON

start_app veil-overlay find_veil

# Stacked above the click target (xwininfo lists the topmost child first).
order="$(xwininfo -root -children | grep -oE '^ +0x[0-9a-f]+' | tr -d ' ')"
index() { grep -n -x "$(printf '0x%x' "$1")" <<<"$order" | cut -d: -f1; }
veil_index="$(index "$veil")" target_index="$(index "$target_window")"
if [[ -z "$veil_index" || -z "$target_index" || "$veil_index" -ge "$target_index" ]]; then
  echo "veil-overlay: the veil is not above the click target"
  xwininfo -root -children
  exit 1
fi

# What the screen shows, once the veil has painted: its vignette darkens the bare grey
# desktop in the far corner. Without a compositing manager the veil's clear parts would be
# black: the target must show through, however the veil tints it.
mkdir -p "$out"
corner_darkened() {
  import -window root "$out/veil-overlay.png"
  local grey
  grey="$(convert "$out/veil-overlay.png" -format '%[fx:int(255*p{1910,1190}.r)]' info:)"
  ((grey < 120))
}
poll 20 corner_darkened || { echo "veil-overlay: the veil's vignette never darkened the screen's corner"; exit 1; }
px=$((tx + tw / 2)) py=$((ty + th / 2))
pixel="$(convert "$out/veil-overlay.png" -format \
  "%[fx:int(255*p{$px,$py}.r)] %[fx:int(255*p{$px,$py}.g)] %[fx:int(255*p{$px,$py}.b)]" info:)"
read -r r g b <<<"$pixel"
if ((r < 64 && g < 64)); then
  echo "veil-overlay: the click target does not show through the veil (pixel $r,$g,$b)"
  exit 1
fi

# A click on the veil lands in the window below.
xdotool mousemove "$px" "$py" click 1
expected="press $((tw / 2)) $((th / 2))"
if ! poll 10 grep -q -x "$expected" "$tmp/presses"; then
  echo "veil-overlay: the click did not reach the window below the veil"
  cat "$tmp/presses"
  exit 1
fi
echo "veil-overlay: the veil covers the screen and lets the click through (pixel $r,$g,$b)"
