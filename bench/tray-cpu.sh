#!/usr/bin/env bash
# Measures the CPU the application uses with its main window closed, living in the tray
# (trayer on a virtual X server): once idle, and once during the blinking minute before
# a break (work interval of one minute, so the eye pulses from the start). Reads the
# process's user and system time from /proc over the given seconds (20 by default) and
# prints percent of one core for each.
# Usage: bench/tray-cpu.sh [build folder] [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
seconds="${2:-20}"
app="$build/src/quellvista"
tmp="$(mktemp -d)"
app_pid="" tray_pid="" xvfb_pid=""
trap 'stop_all "$app_pid" "$tray_pid"' EXIT
source "$root/tests/live/common.sh"
start_xvfb tray-cpu
trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
tray_pid=$!
sleep 1
make_isolated

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
measure() {
  local name="$1" values="$2"
  mkdir -p "$tmp/config/Quellvista"
  echo "{\"format\":\"quellvista-defaults\",\"version\":1,\"values\":{$values}}" >"$tmp/config/Quellvista/defaults.json"
  "${isolated[@]}" "$app" >"$tmp/app.log" 2>&1 &
  app_pid=$!
  sleep 4
  local main
  main="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  xdotool mousemove 500 400 click 1 windowfocus --sync "$main" key ctrl+w
  sleep 2
  local a b
  a=$(ticks "$app_pid")
  sleep "$seconds"
  b=$(ticks "$app_pid")
  echo "$name: $(echo "scale=2; 100 * ($b - $a) / $hz / $seconds" | bc) % of one core over $seconds s"
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
}
measure "window closed, tray idle" '"breakReminderEnabled":{"t":"bool","v":true}'
measure "window closed, eye blinking" \
  '"breakReminderEnabled":{"t":"bool","v":true},"workIntervalMinutes":{"t":"int","v":"1"}'
