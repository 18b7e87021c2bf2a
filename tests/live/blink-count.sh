#!/usr/bin/env bash
# Starts the real application with blink detection on, on a machine description whose
# camera plays the blinking person ("camera": {"script": "blinking"}), and checks that the
# running application uses that camera and counts every scripted blink after the 8 s
# warm-up: 42 s of the script hold nine of them (closures ending at 10.1, 13.0, 18.2,
# 21.5, 24.1, 27.5, 31.6, 34.5 and 39.7 s; none ends within 1.5 s of 8 or 42 s).
# Usage: blink-count.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check blink-count Xvfb xdotool python3 -- app_pid
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"

start_xvfb blink-count
make_isolated
mkdir -p "$tmp/config/Quellvista"
python3 - "$root/src/platform/machines/default.json" "$tmp/blinking.json" <<'PY'
import json, sys
machine = json.load(open(sys.argv[1]))
machine["camera"] = {"script": "blinking"}
json.dump(machine, open(sys.argv[2], "w"))
PY
# Log lines start with the seconds since the process started.
isolated+=(QUELLVISTA_MACHINE="$tmp/blinking.json" QT_MESSAGE_PATTERN="%{time process} %{category} %{message}")
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "mainWindow.selectedSection":{"t":"string","v":"Blink Detection"},
 "blinkDetectionEnabled":{"t":"bool","v":true}}}
JSON

main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
start_app blink-count main_window
# The script and the detector start with the process, before the window shows; blinks
# logged in its first 41.5 s count.
sleep 42
kill -0 "$app_pid" 2>/dev/null || { echo "blink-count: the application exited"; cat "$tmp/app.log"; exit 1; }

blinks="$(awk '/BlinkDetector Blink #/ && $1 < 41.5' "$tmp/app.log" | wc -l)"
if grep -q "BlinkDetector.*No camera available" "$tmp/app.log"; then
  echo "blink-count: the application did not use the scripted camera"
  cat "$tmp/app.log"
  exit 1
fi
if [[ "$blinks" != 9 ]]; then
  echo "blink-count: counted $blinks blinks, the script played 9 after the warm-up"
  cat "$tmp/app.log"
  exit 1
fi
echo "blink-count: ok, 9 of 9"
