#!/usr/bin/env bash
# Starts the real application with the comfort veil on, under a window manager (openbox)
# on an X server of its own where no compositing manager runs yet: the veil stays off the
# screen (it would show black). A compositing manager (xcompmgr) that starts later brings
# it up; when it stops the veil goes, and comes back when it starts again. Windows opened
# or raised after the veil, and the main window brought back by a second start, stay below
# it.
# Usage: veil-compositor.sh APP QV_CLICKTARGET
set -euo pipefail
app="$1" target="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check veil-compositor Xvfb xcompmgr openbox xdotool xwininfo -- app_pid target_pid compositor_pid wm_pid

start_xvfb veil-compositor
openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 10 wm_running || { echo "veil-compositor: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }

make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "comfortVeil.enabled":{"t":"bool","v":true},
 "comfortVeil.peripheral.enabled":{"t":"bool","v":true},
 "comfortVeil.peripheral.amount":{"t":"double","v":0.6}}}
JSON

no_veil() { kill -0 "$app_pid" 2>/dev/null || return 2; ! find_veil; }
start_app veil-compositor find_main
# The veil is made on the first turns after the start; without a compositing manager it
# stays hidden and says so.
hidden_told() { grep -q 'No compositing manager runs' "$tmp/app.log"; }
poll 30 hidden_told || { echo "veil-compositor: the veil was never ordered front"; cat "$tmp/app.log"; exit 1; }
no_veil || { echo "veil-compositor: the veil shows without a compositing manager"; exit 1; }

start_compositor() {
  xcompmgr >"$tmp/compositor.log" 2>&1 &
  compositor_pid=$!
}
start_compositor
poll 20 find_veil || { echo "veil-compositor: the veil did not come when the compositing manager started"; cat "$tmp/app.log"; exit 1; }

kill "$compositor_pid"; wait "$compositor_pid" 2>/dev/null || true; compositor_pid=""
stopped_at="$(date +%s%N)"
poll 20 no_veil || { echo "veil-compositor: the veil stayed after the compositing manager stopped"; cat "$tmp/app.log"; exit 1; }
hidden_ms=$((($(date +%s%N) - stopped_at) / 1000000))
start_compositor
poll 20 find_veil || { echo "veil-compositor: the veil did not come back with the compositing manager"; cat "$tmp/app.log"; exit 1; }

# A window opened after the veil, then raised.
"$target" 1300 800 400 300 >/dev/null 2>"$tmp/target.log" &
target_pid=$!
target_window=""
find_target() {
  kill -0 "$target_pid" 2>/dev/null || return 2
  target_window="$(xdotool search --onlyvisible --name '^Click target$' 2>/dev/null | head -n1)"
  [[ -n "$target_window" ]]
}
poll 30 find_target || { echo "veil-compositor: the click target did not show"; cat "$tmp/target.log"; exit 1; }
poll 10 stacked_above "$veil" "$target_window" || { echo "veil-compositor: a window opened after the veil covers it"; xwininfo -root -children; exit 1; }
xdotool windowraise "$target_window" windowactivate "$target_window" 2>/dev/null || true
poll 10 stacked_above "$veil" "$target_window" || { echo "veil-compositor: a raised window covers the veil"; xwininfo -root -children; exit 1; }

# A second start hands over to the running application, which brings its main window
# to the front: below the veil still.
xdotool windowminimize --sync "$window" 2>/dev/null || true
"${isolated[@]}" "$app" >"$tmp/second.log" 2>&1 || true
poll 20 find_main || { echo "veil-compositor: the second start did not bring the main window back"; cat "$tmp/second.log"; exit 1; }
poll 10 stacked_above "$veil" "$window" || { echo "veil-compositor: the main window covers the veil"; xwininfo -root -children; exit 1; }

if grep -q 'qml:\|\.qml:[0-9]' "$tmp/app.log"; then
  echo "veil-compositor: QML warnings"
  cat "$tmp/app.log"
  exit 1
fi
echo "veil-compositor: the veil followed the compositing manager (gone ${hidden_ms} ms after it stopped) and stayed above later windows"
