#!/usr/bin/env bash
# Starts the real application on a machine description of its own, then rewrites the
# description while it runs and waits until the model that follows the changed condition
# has acted on it:
#   battery    on battery at 10 %: battery-aware dimming stores a brightness of 0.7
#   ambient    the room goes from 5 to 2000 lux: ambient comfort drops its level to 0
#   app-aware  Xcode comes to the front: app-aware comfort applies and stores Focus
# Usage: machine-conditions.sh CHECK APP
set -euo pipefail
check="$1"
app="$2"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
root="$(cd "$here/../.." && pwd)"
source "$here/common.sh"
begin_check machine-conditions Xvfb xdotool python3 -- app_pid
name="machine-conditions $check"

start_xvfb "$name"
make_isolated
mkdir -p "$tmp/config/Quellvista"

# Writes the default machine with the given conditions (JSON) over $tmp/machine.json, by
# renaming a finished file into place as an editor would.
describe() {
  python3 - "$root/src/platform/machines/default.json" "$tmp/machine.json" "$1" <<'PY'
import json, os, sys
machine = json.load(open(sys.argv[1]))
machine.update(json.loads(sys.argv[3]))
with open(sys.argv[2] + ".new", "w") as f:
    json.dump(machine, f)
os.replace(sys.argv[2] + ".new", sys.argv[2])
PY
}

case "$check" in
  battery)
    settings='"batteryAwareDimEnabled":{"t":"bool","v":true},"tuning.brightness":{"t":"double","v":1.0}'
    before='{"battery": {"onBattery": false, "current": 100, "max": 100}}'
    after='{"battery": {"onBattery": true, "current": 10, "max": 100}}'
    ;;
  ambient)
    settings='"tuning.ambientAwareComfort":{"t":"bool","v":true}'
    before='{"ambientLight": 5}'
    after='{"ambientLight": 2000}'
    ;;
  app-aware)
    settings='"appAwareComfortEnabled":{"t":"bool","v":true}'
    before='{"frontApplication": {"bundleIdentifier": "com.apple.finder", "name": "Finder"}}'
    after='{"frontApplication": {"bundleIdentifier": "com.apple.dt.Xcode", "name": "Xcode"}}'
    ;;
  *) echo "machine-conditions: no check named $check"; exit 2 ;;
esac
cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{$settings}}
JSON
describe "$before"
isolated+=(QUELLVISTA_MACHINE="$tmp/machine.json"
  QT_LOGGING_RULES="com.tebrix.Quellvista.*.debug=true")

main_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ -n "$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)" ]]
}
start_app "$name" main_window

# The stored value of a key, as JSON text ("" when absent).
stored() {
  python3 -c 'import json,sys; v=json.load(open(sys.argv[1]))["values"].get(sys.argv[2]); print(json.dumps(v["v"]) if v else "")' \
    "$tmp/config/Quellvista/defaults.json" "$1" 2>/dev/null || true
}
alive() { kill -0 "$app_pid" 2>/dev/null || return 2; }
seen() {
  alive || return 2
  case "$check" in
    battery) [[ "$(stored tuning.brightness)" == 0.7 ]] ;;
    ambient) grep -q "DisplayTuning.*Ambient comfort: Bright room (level 0.00" "$tmp/app.log" ;;
    app-aware) grep -q "PresetManager.*Applying preset: Focus" "$tmp/app.log" && [[ "$(stored activePreset)" == '"Focus"' ]] ;;
  esac
}
# What the models see before the change must not already be what the check waits for.
if seen; then
  echo "$name: the changed state showed before the description changed"
  cat "$tmp/app.log"
  exit 1
fi

describe "$after"
status=0
# The battery is read every 30 s and the light sensor every 12 s: a generous limit.
poll 120 seen || status=$?
if ((status != 0)); then
  echo "$name: the running application did not follow the changed description"
  cat "$tmp/app.log"
  cat "$tmp/config/Quellvista/defaults.json" 2>/dev/null || true
  exit 1
fi
grep -q "SimulatedMac.*Read the machine description .* again" "$tmp/app.log" ||
  { echo "$name: the description was not read again"; cat "$tmp/app.log"; exit 1; }
echo "$name: ok"
