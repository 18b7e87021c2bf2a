#!/usr/bin/env bash
# Starts the real application on an X server of its own with a window manager (openbox),
# app-aware comfort on, and two windows of different classes whose desktop entries are
# installed: the editor's (class Code) and the browser's (class Google-chrome). Activating
# each with xdotool applies the editor's preset (Focus), then the browser's (Reading).
# Usage: app-aware-windows.sh APP PROBE
set -euo pipefail
app="$1" probe="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check app-aware-windows Xvfb openbox xdotool xprop -- app_pid editor_pid browser_pid wm_pid

start_xvfb app-aware-windows
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 20 wm_ready || { echo "app-aware-windows: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }

make_isolated
mkdir -p "$tmp/config/Quellvista" "$tmp/data/applications"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "appAwareComfortEnabled":{"t":"bool","v":true}}}
JSON
printf '[Desktop Entry]\nType=Application\nName=Visual Studio Code\nExec=code\nStartupWMClass=Code\n' \
  >"$tmp/data/applications/code.desktop"
printf '[Desktop Entry]\nType=Application\nName=Google Chrome\nExec=google-chrome\n' \
  >"$tmp/data/applications/google-chrome.desktop"

QT_LOGGING_RULES="com.tebrix.Quellvista.PresetManager.info=true" && export QT_LOGGING_RULES
# On the host: an empty machine name runs on the X server itself.
isolated+=(QUELLVISTA_MACHINE=)
start_app app-aware-windows find_main

# Each window prints its id once it is shown.
"$probe" window code Code >"$tmp/editor.id" &
editor_pid=$!
"$probe" window google-chrome Google-chrome >"$tmp/browser.id" &
browser_pid=$!
poll 10 test -s "$tmp/editor.id" || { echo "app-aware-windows: the editor's window did not come"; exit 1; }
poll 10 test -s "$tmp/browser.id" || { echo "app-aware-windows: the browser's window did not come"; exit 1; }
editor="$(head -n1 "$tmp/editor.id")" browser="$(head -n1 "$tmp/browser.id")"
managed() { xprop -root _NET_CLIENT_LIST | grep -q "$(printf '0x%x' "$1")"; }
poll 10 managed "$editor" && poll 10 managed "$browser" ||
  { echo "app-aware-windows: openbox did not take the windows"; exit 1; }

applied() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  [[ "$(grep -c "Applying preset: $1" "$tmp/app.log")" -ge "$2" ]]
}
# The window manager may have focused either window when it was mapped, and its preset may
# be applied already; after that, each activation adds one to what was applied before it.
count() { grep -c "Applying preset: $1" "$tmp/app.log" || true; }
xdotool windowactivate "$editor"
poll 30 applied Focus 1 ||
  { echo "app-aware-windows: activating the editor did not apply Focus"; cat "$tmp/app.log"; exit 1; }
reading="$(count Reading)"
xdotool windowactivate "$browser"
poll 30 applied Reading $((reading + 1)) ||
  { echo "app-aware-windows: activating the browser did not apply Reading"; cat "$tmp/app.log"; exit 1; }
focus="$(count Focus)"
xdotool windowactivate "$editor"
poll 30 applied Focus $((focus + 1)) ||
  { echo "app-aware-windows: the editor again did not apply Focus"; cat "$tmp/app.log"; exit 1; }
echo "app-aware-windows: the editor's window applied Focus and the browser's Reading"
