#!/usr/bin/env bash
# Measures the CPU the application uses while a slider of the tuning panel is dragged
# back and forth without pause for 5 s: starts it on the built-in simulated Mac on the
# Display & Comfort section under a virtual X server with a compositing manager (so the
# comfort veil's panels are drawn), finds the sliders from the running window (the
# application lists them, with their screen rectangles and values, in the file named by
# QUELLVISTA_CONTROL_LIST), presses the slider at its knob with xdotool, moves the pointer
# every 10 ms, and reads the process's user and system time (all threads) from /proc over
# the drag. Checks that the slider's value changed. Prints percent of one core for the
# brightness and the colour-calm slider, and for the same 5 s idle.
# Usage: bench/slider-drag-cpu.sh [build folder]   (SHOT=prefix saves a screenshot per drag)
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
isolated+=(QUELLVISTA_CONTROL_LIST="$tmp/controls")
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "mainWindow.selectedSection":{"t":"string","v":"Display & Comfort"}}}
JSON
# A slider's line of the application's list: name, rectangle, value, minimum, maximum.
slider() { grep -P "^slider\t$1\t" "$tmp/controls" 2>/dev/null | head -n1; }
find_sliders() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(slider 'Software Brightness')" && -n "$(slider 'Color Calm')" ]]
}
start_app slider-drag-cpu find_sliders
sleep 3

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
# Percent of one core from two tick counts over the seconds given (5 by default).
percent() { echo "scale=1; 100 * ($2 - $1) / $hz / ${3:-5}" | bc; }
value_of() { slider "$1" | cut -f4 | cut -d' ' -f1; }
# Waits for the next list (written once a second).
next_list() { local before; before="$(stat -c %Y.%N "$tmp/controls")"; poll 5 bash -c "[[ \"\$(stat -c %Y.%N '$tmp/controls')\" != '$before' ]]"; }

# Drags the named slider from its knob to the given fraction of its track and back for
# 5 s (500 moves 10 ms apart). The slider's range comes from the list (or, where an
# older build lists none, from the arguments).
drag() {
  local name="$1" to="$2" line x y w h v lo hi x0 x1 args=() i px
  line="$(slider "$name")"
  read -r x y w h <<<"$(cut -f3 <<<"$line")"
  read -r v lo hi <<<"$(cut -f4 <<<"$line")"
  if [[ "$lo" == "$hi" ]]; then lo="$3" hi="$4"; fi
  # The knob (as wide as the track is high) travels over the track less its width.
  x0=$(printf %.0f "$(echo "$x + $h / 2 + ($w - $h) * ($v - $lo) / ($hi - $lo)" | bc -l)")
  x1=$(printf %.0f "$(echo "$x + $h / 2 + ($w - $h) * $to" | bc -l)")
  y=$((y + h / 2))
  for ((i = 0; i < 500; i++)); do
    px=$(( (i / 50) % 2 == 0 ? x0 + (x1 - x0) * (i % 50) / 50 : x1 - (x1 - x0) * (i % 50) / 50 ))
    args+=(mousemove "$px" "$y" sleep 0.01)
  done
  xdotool mousemove "$x0" "$y" mousedown 1
  local a b t0 t1
  a=$(ticks "$app_pid")
  t0=$(date +%s.%N)
  xdotool "${args[@]}"
  t1=$(date +%s.%N)
  b=$(ticks "$app_pid")
  # End away from the start, so that the value has moved.
  xdotool mousemove "$x1" "$y" mouseup 1
  [[ -n "${SHOT:-}" ]] && import -window root "$SHOT-${name// /-}.png"
  next_list && next_list
  local after
  after="$(value_of "$name")"
  if [[ "$after" == "$v" ]]; then
    echo "slider-drag-cpu: the $name slider did not move (value $v at ($x0, $y))" >&2
    exit 1
  fi
  echo "$(percent "$a" "$b" "$(echo "$t1 - $t0" | bc)") % of one core (over $(printf %.1f "$(echo "$t1 - $t0" | bc)") s; value $v -> $after)"
}

a=$(ticks "$app_pid"); sleep 5; b=$(ticks "$app_pid")
echo "idle on the page:           $(percent "$a" "$b") % of one core"
# Software Brightness: the knob starts at the right end (100 %).
echo "brightness drag (5 s):      $(drag 'Software Brightness' 0.45 0.1 1)"
sleep 1
# Color Calm: the knob starts at the left end (Off); the veil comes on.
echo "colour-calm drag (5 s):     $(drag 'Color Calm' 0.9 0 2)"
