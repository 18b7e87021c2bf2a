#!/usr/bin/env bash
# Rests the pointer on the guide button of each page with a tour (Display & Comfort, Break
# Reminders, Blink Detection), light and dark, and takes a screenshot of the main window
# with the button's hover help shown: guide-help-{page}-{light,dark}.png in OUT (default:
# the working folder). Fails on a QML warning.
# Usage: guide-help.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check guide-help Xvfb xdotool import -- app_pid
mkdir -p "$out"
out="$(cd "$out" && pwd)"

start_xvfb guide-help

for section in "Display & Comfort" "Break Reminders" "Blink Detection"; do
  for appearance in light dark; do
    rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache"
    make_isolated
    mkdir -p "$tmp/config/Quellvista"
    cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "appAppearanceMode":{"t":"string","v":"$appearance"},
 "mainWindow.selectedSection":{"t":"string","v":"$section"}}}
JSON
    start_app guide-help find_main
    sleep 1.5 # the page's first frames
    # The guide button sits at the header's trailing end, 42 pt from the window's edge.
    eval "$(xdotool getwindowgeometry --shell "$window")"
    xdotool mousemove --window "$window" $((WIDTH - 42)) 41
    sleep 1.2 # the help shows after the pointer rests
    name="guide-help-$(echo "$section" | tr 'A-Z' 'a-z' | tr -cs 'a-z' '-' | sed 's/-$//')-$appearance"
    import -window "$window" "$out/$name.png"
    echo "guide-help: $out/$name.png"
    if grep -q "QML\|qml:" "$tmp/app.log"; then
      echo "guide-help: the page printed QML warnings"
      cat "$tmp/app.log"
      exit 1
    fi
    kill "$app_pid"
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
  done
done
