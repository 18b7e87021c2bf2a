#!/usr/bin/env bash
# Measures the CPU the application uses while a slider of the tuning panel is dragged
# back and forth without pause for 5 s: starts it on the built-in simulated Mac on the
# Display & Comfort section under a virtual X server with a compositing manager (so the
# comfort veil's panels are drawn), presses the slider's knob with xdotool, moves the
# pointer every 10 ms, and reads the process's user and system time (all threads) from
# /proc over the drag. Prints percent of one core for the brightness and the colour-calm
# slider, and for the same 5 s idle.
# Usage: bench/slider-drag-cpu.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
app="$build/src/quellvista"
tmp="$(mktemp -d)"
app_pid="" xvfb_pid="" compositor_pid=""
cleanup() { stop_all "$app_pid" "$compositor_pid"; }
trap cleanup EXIT
source "$root/tests/live/common.sh"

start_composited_xvfb slider-drag-cpu
make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "mainWindow.selectedSection":{"t":"string","v":"Display & Comfort"}}}
JSON
window=""
find_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  window="$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)"
  [[ -n "$window" ]]
}
start_app slider-drag-cpu find_window
sleep 4

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
# Percent of one core from two tick counts over the seconds given (5 by default).
percent() { echo "scale=1; 100 * ($2 - $1) / $hz / ${3:-5}" | bc; }

# Drags along y from x0 to x1 and back for 5 s (500 moves 10 ms apart).
drag() {
  local y=$1 x0=$2 x1=$3 args=() i x
  for ((i = 0; i < 500; i++)); do
    x=$(( (i / 50) % 2 == 0 ? x0 + (x1 - x0) * (i % 50) / 50 : x1 - (x1 - x0) * (i % 50) / 50 ))
    args+=(mousemove --window "$window" "$x" "$y" sleep 0.01)
  done
  xdotool mousemove --window "$window" "$x0" "$y" mousedown 1
  local a b t0 t1
  a=$(ticks "$app_pid")
  t0=$(date +%s.%N)
  xdotool "${args[@]}"
  t1=$(date +%s.%N)
  b=$(ticks "$app_pid")
  xdotool mouseup 1
  [[ -n "${SHOT:-}" ]] && import -window root "$SHOT-$y.png"
  echo "$(percent "$a" "$b" "$(echo "$t1 - $t0" | bc)") (over $(printf %.1f "$(echo "$t1 - $t0" | bc)") s)"
}

a=$(ticks "$app_pid"); sleep 5; b=$(ticks "$app_pid")
echo "idle on the page:           $(percent "$a" "$b") % of one core"
# Software Brightness: the knob starts at the right end (100 %).
echo "brightness drag (5 s):      $(drag 189 660 330) % of one core"
sleep 1
# Color Calm: the knob starts at the left end (Off); the veil comes on.
echo "colour-calm drag (5 s):     $(drag 287 699 1040) % of one core"
