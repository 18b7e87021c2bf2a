#!/usr/bin/env bash
# Starts the real application with the Settings section open, light and dark, on the
# built-in machine and on one with a Sidecar display (whose "Sidecar comfort fallback"
# row shows), and takes a screenshot of the main window each time:
# settings-{light,dark}{,-sidecar}.png in OUT (default: the working folder). Then clicks
# Refresh on the last one, scrolls to the diagnostics (settings-dark-sidecar-diagnostics.png)
# and checks that the application is still running and printed no QML warning.
# Usage: settings-page.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check settings-page Xvfb xdotool import -- app_pid
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
mkdir -p "$out"
out="$(cd "$out" && pwd)"

start_xvfb settings-page

for machine in standard sidecar; do
  for appearance in light dark; do
    rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache"
    make_isolated
    mkdir -p "$tmp/config/Quellvista"
    cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$appearance"},
 "mainWindow.selectedSection":{"t":"string","v":"Settings"}}}
JSON
    name="settings-$appearance"
    if [[ "$machine" == sidecar ]]; then
      isolated+=(QUELLVISTA_MACHINE="$here/sidecar-machine.json")
      name+="-sidecar"
    fi
    start_app settings-page find_main
    sleep 1.5 # the page's first frames, the backdrop's fade
    import -window "$window" "$out/$name.png"
    echo "settings-page: $out/$name.png"
    if [[ "$machine-$appearance" != sidecar-dark ]]; then
      kill "$app_pid"
      wait "$app_pid" 2>/dev/null || true
      app_pid=""
    fi
  done
done

# Refresh captures again; the application goes on. Then the diagnostics, scrolled into view.
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --window "$window" $((WIDTH - 97)) 624 click 1
sleep 0.5
xdotool mousemove --window "$window" 700 400 click --repeat 12 5
sleep 1
import -window "$window" "$out/settings-dark-sidecar-diagnostics.png"
echo "settings-page: $out/settings-dark-sidecar-diagnostics.png"
kill -0 "$app_pid" || { echo "settings-page: the application ended"; cat "$tmp/app.log"; exit 1; }
if grep -q "QML\|qml:" "$tmp/app.log"; then
  echo "settings-page: the page printed QML warnings"
  cat "$tmp/app.log"
  exit 1
fi
echo "settings-page: five screenshots taken"
