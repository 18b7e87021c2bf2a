#!/usr/bin/env bash
# Starts the real application on an X server of its own, presses Super-Shift-N (the
# Command-Shift-N hot key) with xdotool and checks that the six keys were registered and
# the Evening preset became active.
# Usage: hot-keys.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check hot-keys Xvfb xdotool xwininfo -- app_pid

start_xvfb hot-keys
make_isolated
QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true;com.tebrix.Quellvista.PresetManager.info=true"
export QT_LOGGING_RULES
find_main() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  xdotool search --onlyvisible --name '^Quellvista$' >/dev/null 2>&1 && grep -q "Global shortcuts registered" "$tmp/app.log"
}
start_app hot-keys find_main

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
if grep -q "Failed to register hotkey" "$tmp/app.log"; then
  echo "hot-keys: a registration failed"
  cat "$tmp/app.log"
  exit 1
fi
echo "hot-keys: Super-Shift-N applied Evening"
