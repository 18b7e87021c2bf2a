#!/usr/bin/env bash
# Starts the real application on an X server of its own whose keyboard map lacks the hot
# keys' letters and digit (an xkbcomp map without B, N, R, P, D and 0): the log says once
# that the six keys are not available and why, and never that they were registered. The
# full map comes back: the keys are grabbed and the log says they are registered. Then
# Super-Shift-N (the Command-Shift-N hot key), pressed with xdotool, makes Evening active.
# Usage: hot-keys.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check hot-keys Xvfb xdotool xwininfo xkbcomp -- app_pid

start_xvfb hot-keys
make_isolated
QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true;com.tebrix.Quellvista.PresetManager.info=true"
export QT_LOGGING_RULES
strip_hot_keys "$DISPLAY" "$tmp" || { echo "hot-keys: xkbcomp could not take the keys from the map"; exit 1; }
# The keys as the machine's words write them (the Mac's signs on the simulated machine).
unavailable="^com.tebrix.Quellvista.Shortcuts: 6 of the 6 hot keys are not available: .*B, .*N, .*R, .*P, .*D, .*0 (the keyboard's map has no such key)$"
find_main() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  xdotool search --onlyvisible --name '^Quellvista$' >/dev/null 2>&1 && grep -q "$unavailable" "$tmp/app.log"
}
start_app hot-keys find_main
if grep -q "Global shortcuts registered" "$tmp/app.log"; then
  echo "hot-keys: the keys were said to be registered while the map lacked them"
  cat "$tmp/app.log"
  exit 1
fi

xkbcomp "$tmp/full.xkb" "$DISPLAY" 2>/dev/null || { echo "hot-keys: xkbcomp could not load the full map back"; exit 1; }
registered() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  grep -q "Global shortcuts registered" "$tmp/app.log"
}
poll 30 registered || { echo "hot-keys: the keys were not grabbed when the map had them again"; cat "$tmp/app.log"; exit 1; }
xdotool key super+shift+n
stored() {
  python3 -c 'import json,sys; v=json.load(open(sys.argv[1]))["values"]; sys.exit(v.get("activePreset",{}).get("v")!="Evening")' \
    "$tmp/config/Quellvista/defaults.json" 2>/dev/null
}
# The preset is stored as it is applied; the defaults file is written when the
# application ends, so end it only once the key has taken effect.
applied() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  grep -q "Applying preset: Evening" "$tmp/app.log"
}
poll 60 applied || { echo "hot-keys: Super-Shift-N was not taken within 60 s"; cat "$tmp/app.log"; exit 1; }
kill "$app_pid"
wait "$app_pid" 2>/dev/null || true
app_pid=""
if ! stored; then
  echo "hot-keys: Super-Shift-N did not apply Evening"
  cat "$tmp/app.log"
  cat "$tmp/config/Quellvista/defaults.json" 2>/dev/null || true
  exit 1
fi
if [[ "$(grep -c "$unavailable" "$tmp/app.log")" != 1 ]]; then
  echo "hot-keys: the missing keys were not said exactly once"
  cat "$tmp/app.log"
  exit 1
fi
echo "hot-keys: the keys missing from the map were said unavailable once, grabbed when the map had them, and Super-Shift-N applied Evening"
