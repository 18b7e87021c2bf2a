#!/usr/bin/env bash
# Measures what the comfort veil's panel keeps in memory on a 2560 x 1440 screen at scale 2
# (a 5120 x 2880 pixel X screen, Qt scale factor 2): starts the application twice on an X
# server of its own with a compositing manager, once with the veil off and once with every
# effect on (the microtexture included), waits until the veil has painted, lets both
# settle, and prints the difference of their resident memory (the panel's window surface
# included: one 5120 x 2880 image of 59 MB, which the window system needs to show it).
# Usage: bench/veil-memory.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
app="$build/src/quellvista"
tmp="$(mktemp -d)"
app_pid="" xvfb_pid="" compositor_pid=""
cleanup() { stop_all "$app_pid" "$compositor_pid"; }
trap cleanup EXIT
source "$root/tests/live/common.sh"

Xvfb -displayfd 3 -screen 0 5120x2880x24 -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
xvfb_pid=$!
poll 10 test -s "$tmp/display" || { echo "veil-memory: Xvfb did not start"; exit 1; }
export DISPLAY=":$(head -n1 "$tmp/display")"
xcompmgr >"$tmp/compositor.log" 2>&1 &
compositor_pid=$!
poll 10 bash -c 'xwininfo -root -children | grep -q "\"xcompmgr\""' || { echo "veil-memory: no compositor"; exit 1; }
export QT_SCALE_FACTOR=2

rss_kb() { awk '/^Rss:/ {print $2}' "/proc/$1/smaps_rollup"; }
veil_shown() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null)" ]]
}
run() {
  local enabled="$1"
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data"
  make_isolated
  mkdir -p "$tmp/config/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "comfortVeil.enabled":{"t":"bool","v":$enabled},
 "comfortVeil.peripheral.amount":{"t":"double","v":1.0},
 "comfortVeil.colorCalm.enabled":{"t":"bool","v":true},
 "comfortVeil.colorCalm.amount":{"t":"double","v":1.0},
 "comfortVeil.microtexture.enabled":{"t":"bool","v":true},
 "comfortVeil.microtexture.amount":{"t":"double","v":0.5}}}
JSON
  if [[ "$enabled" == true ]]; then start_app veil-memory veil_shown; else start_app veil-memory find_main; fi
  sleep 8
  rss_kb "$app_pid"
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true
  app_pid=""
}
off=$(run false)
on=$(run true)
echo "resident memory, veil off: $((off / 1024)) MB; veil on: $((on / 1024)) MB; the veil's panel: $(((on - off) / 1024)) MB"
