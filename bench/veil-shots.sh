#!/usr/bin/env bash
# Screenshots of the comfort veil as the screen shows it: each effect on its own at its
# full amount, all of them together, and the defaults, over a white window and over a
# photograph (scikit-image's sample "coffee", scaled to the screen), on an X server of its
# own with a compositing manager. Writes OUT/veil-<effect>-<backdrop>.png.
# Usage: bench/veil-shots.sh [build folder] [OUT]   (OUT defaults to ./veil-shots)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
out="${2:-veil-shots}"
app="$build/src/quellvista"
photo_source=/usr/lib/python3/dist-packages/skimage/data/coffee.png
mkdir -p "$out"
out="$(cd "$out" && pwd)"
tmp="$(mktemp -d)"
app_pid="" xvfb_pid="" compositor_pid="" backdrop_pid=""
cleanup() { stop_all "$app_pid" "$backdrop_pid" "$compositor_pid"; }
trap cleanup EXIT
source "$root/tests/live/common.sh"
start_composited_xvfb veil-shots

convert -size 1920x1200 xc:white "$tmp/white.png"
convert "$photo_source" -resize '1920x1200!' "$tmp/photo.png"

# name and the veil's stored values
effects=(
  "vignette|\"comfortVeil.peripheral.enabled\":{\"t\":\"bool\",\"v\":true},\"comfortVeil.peripheral.amount\":{\"t\":\"double\",\"v\":1.4},\"comfortVeil.highlight.enabled\":{\"t\":\"bool\",\"v\":false}"
  "highlight|\"comfortVeil.peripheral.enabled\":{\"t\":\"bool\",\"v\":false},\"comfortVeil.highlight.amount\":{\"t\":\"double\",\"v\":1.0}"
  "colourcalm|\"comfortVeil.peripheral.enabled\":{\"t\":\"bool\",\"v\":false},\"comfortVeil.highlight.enabled\":{\"t\":\"bool\",\"v\":false},\"comfortVeil.colorCalm.enabled\":{\"t\":\"bool\",\"v\":true},\"comfortVeil.colorCalm.amount\":{\"t\":\"double\",\"v\":2.0}"
  "microtexture|\"comfortVeil.peripheral.enabled\":{\"t\":\"bool\",\"v\":false},\"comfortVeil.highlight.enabled\":{\"t\":\"bool\",\"v\":false},\"comfortVeil.microtexture.enabled\":{\"t\":\"bool\",\"v\":true},\"comfortVeil.microtexture.amount\":{\"t\":\"double\",\"v\":0.75}"
  "all|\"comfortVeil.peripheral.amount\":{\"t\":\"double\",\"v\":1.4},\"comfortVeil.highlight.amount\":{\"t\":\"double\",\"v\":1.0},\"comfortVeil.colorCalm.enabled\":{\"t\":\"bool\",\"v\":true},\"comfortVeil.colorCalm.amount\":{\"t\":\"double\",\"v\":2.0},\"comfortVeil.microtexture.enabled\":{\"t\":\"bool\",\"v\":true},\"comfortVeil.microtexture.amount\":{\"t\":\"double\",\"v\":0.75}"
  "defaults|\"comfortVeil.peripheral.enabled\":{\"t\":\"bool\",\"v\":true}"
)

veil_shown() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null)" ]]
}
backdrop_shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# The picture first, in a window of the screen's size, then the application: its veil
# panels come above the windows that are there.
for backdrop in white photo; do
  display -title "backdrop-$backdrop" -geometry 1920x1200+0+0 "$tmp/$backdrop.png" &
  backdrop_pid=$!
  poll 20 backdrop_shown "backdrop-$backdrop" || { echo "veil-shots: the backdrop did not show"; exit 1; }
  for entry in "${effects[@]}"; do
    name="${entry%%|*}" values="${entry#*|}"
    rm -rf "$tmp/home" "$tmp/config" "$tmp/data"
    make_isolated
    mkdir -p "$tmp/config/Quellvista"
    printf '{"format":"quellvista-defaults","version":1,"values":{"comfortVeil.enabled":{"t":"bool","v":true},%s}}\n' \
      "$values" >"$tmp/config/Quellvista/defaults.json"
    start_app veil-shots veil_shown
    # The main window opens at the top left; it goes below the picture.
    poll 20 find_main || true
    [[ -n "$window" ]] && xdotool windowminimize "$window" 2>/dev/null || true
    [[ -n "$window" ]] && xdotool windowunmap "$window" 2>/dev/null || true
    sleep 2
    import -window root "$out/veil-$name-$backdrop.png"
    kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
    app_pid=""
  done
  kill "$backdrop_pid"; wait "$backdrop_pid" 2>/dev/null || true
  backdrop_pid=""
done
ls "$out"
