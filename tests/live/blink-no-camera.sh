#!/usr/bin/env bash
# Starts the real application with blink detection switched on, on a machine without a
# camera (the X server of the test has none, and neither has CI). Checks that the start
# ends on the no-camera path: the reason is logged, the switch is turned off and stored
# off, and the window stays up. Leaves the screenshot, blink-no-camera.png, in OUT
# (default: the working folder).
# Usage: blink-no-camera.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check blink-no-camera Xvfb xdotool import python3 -- app_pid
if compgen -G "/dev/video*" >/dev/null; then
  echo "blink-no-camera: this machine has a camera; nothing to check"
  exit 0
fi

start_xvfb blink-no-camera

make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "blinkDetectionEnabled":{"t":"bool","v":true}}}
JSON

main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
start_app blink-no-camera main_window

logged() { grep -q "BlinkDetector.*No camera available" "$tmp/app.log"; }
poll 20 logged || { echo "blink-no-camera: no \"No camera available\" in the log"; cat "$tmp/app.log"; exit 1; }
stored_off() {
  python3 -c 'import json, sys
v = json.load(open(sys.argv[1]))["values"].get("blinkDetectionEnabled", {})
sys.exit(0 if v.get("v") is False else 1)' "$tmp/config/Quellvista/defaults.json" 2>/dev/null
}
poll 10 stored_off || {
  echo "blink-no-camera: the switch was not stored off"
  cat "$tmp/config/Quellvista/defaults.json"
  exit 1
}
kill -0 "$app_pid" 2>/dev/null || { echo "blink-no-camera: the application exited"; cat "$tmp/app.log"; exit 1; }

mkdir -p "$out"
import -window root "$out/blink-no-camera.png"
echo "blink-no-camera: ok"
