#!/usr/bin/env bash
# Measures the main thread's work per analysed camera frame while blink detection runs on
# the simulated camera's scripted blinker (a frame every 33 ms, of which the detector
# analyses every third: 10 a second), once with the Blink Detection page shown and once
# with a page that shows nothing of the detector. Starts the application under a virtual
# X server, waits past the 8 s warm-up, then reads the main thread's user and system time
# from /proc over the given seconds (20 by default). Prints milliseconds of main-thread
# work per analysed frame and the whole process's share of one core.
# Usage: bench/blink-page-cpu.sh [build folder] [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/default}"
seconds="${2:-20}"
app="$build/src/quellvista"
tmp="$(mktemp -d)"
pid="" xvfb=""
trap 'kill "$pid" "$xvfb" 2>/dev/null || true; rm -rf "$tmp"' EXIT
display=":$((200 + RANDOM % 300))"
Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
sleep 1
python3 - "$root/src/platform/machines/default.json" "$tmp/blinking.json" <<'PY'
import json, sys
machine = json.load(open(sys.argv[1]))
machine["camera"] = {"script": "blinking"}
json.dump(machine, open(sys.argv[2], "w"))
PY
hz=$(getconf CLK_TCK)
frames_per_second=10.1 # 1000 / (3 * 33)
ticks() { awk '{print $14 + $15}' "$1"; }

measure() {
  local section="$1" home="$tmp/$2"
  mkdir -p "$home/config/Quellvista" "$home/data" "$home/run"
  chmod 700 "$home/run"
  cat >"$home/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "mainWindow.selectedSection":{"t":"string","v":"$section"},
 "blinkDetectionEnabled":{"t":"bool","v":true}}}
JSON
  env DISPLAY="$display" HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_RUNTIME_DIR="$home/run" TMPDIR="$home/run" QUELLVISTA_MACHINE="$tmp/blinking.json" \
    "$app" >"$home/app.log" 2>&1 &
  pid=$!
  sleep 12
  local a b m n
  a=$(ticks "/proc/$pid/task/$pid/stat"); m=$(ticks "/proc/$pid/stat")
  sleep "$seconds"
  b=$(ticks "/proc/$pid/task/$pid/stat"); n=$(ticks "/proc/$pid/stat")
  kill "$pid"
  wait "$pid" 2>/dev/null || true
  pid=""
  python3 -c "print(f'$section shown: {1000 * ($b - $a) / $hz / ($seconds * $frames_per_second):.2f} ms of main-thread work per analysed frame; process {100 * ($n - $m) / $hz / $seconds:.1f} % of one core')"
}

measure "Blink Detection" blink
measure "Support" support
