#!/usr/bin/env bash
# Screenshots of the real application on the Blink Detection page, light and dark: with
# detection off, while it calibrates and while it runs on the simulated camera's scripted
# blinker (a machine description with "camera": {"script": "blinking"}). Also measures
# the process's CPU while detection runs, once with this page shown and once with a page
# that shows nothing of the detector, and prints both as a share of one core.
# Also opens the tour on the first step. Writes blink-<appearance>-<state>.png into OUT (default: the working folder).
# Usage: blink-page.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check blink-page Xvfb xcompmgr xdotool xwininfo import python3 -- app_pid compositor_pid
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

start_composited_xvfb blink-page
make_isolated
mkdir -p "$out" "$tmp/config/Quellvista"
python3 - "$root/src/platform/machines/default.json" "$tmp/blinking.json" <<'PY'
import json, sys
machine = json.load(open(sys.argv[1]))
machine["camera"] = {"script": "blinking"}
json.dump(machine, open(sys.argv[2], "w"))
PY
isolated+=(QUELLVISTA_MACHINE="$tmp/blinking.json")

main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}

# Starts the application with the given appearance, section and detection switch.
launch() {
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$1"},
 "mainWindow.selectedSection":{"t":"string","v":"$2"},
 "blinkDetectionEnabled":{"t":"bool","v":$3}}}
JSON
  start_app blink-page main_window
}

quit_app() {
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

shot() {
  local window
  window="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  import -window "$window" "$out/blink-$1.png"
  echo "blink-page: $out/blink-$1.png"
}

# The process's CPU time (user and system) in clock ticks.
cpu_ticks() { awk '{print $14 + $15}' "/proc/$app_pid/stat"; }
# The share of one core the process used over the given seconds.
cpu_share() {
  local before after ticks
  ticks="$(getconf CLK_TCK)"
  before="$(cpu_ticks)"
  sleep "$1"
  after="$(cpu_ticks)"
  python3 -c "print(f'{100 * ($after - $before) / $ticks / $1:.1f} %')"
}

for appearance in light dark; do
  launch "$appearance" "Blink Detection" false
  sleep 2
  shot "$appearance-off"
  # The guide button (top right of the page) opens the tour at its first step.
  window="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  xdotool mousemove --window "$window" 1058 40 click 1
  sleep 1
  shot "$appearance-tour"
  quit_app

  launch "$appearance" "Blink Detection" true
  sleep 3
  shot "$appearance-calibrating"
  sleep 40
  shot "$appearance-running"
  # The lower half of the page: the signal, quality and cadence cards.
  window="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  xdotool mousemove --window "$window" 700 500 click --repeat 12 --delay 30 5
  sleep 1
  shot "$appearance-running-lower"
  if [[ "$appearance" == light ]]; then
    echo "blink-page: CPU with detection running, Blink Detection shown: $(cpu_share 20)"
  fi
  quit_app
done

launch light "Support" true
sleep 15
echo "blink-page: CPU with detection running, another section shown: $(cpu_share 20)"
quit_app
