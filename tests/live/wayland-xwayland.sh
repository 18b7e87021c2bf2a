#!/usr/bin/env bash
# Starts the real application in a Wayland session with XWayland (headless sway as nobody,
# swaybar as the tray) with QT_QPA_PLATFORM unset, app-aware comfort on and no preset
# stored. Its windows go through XWayland. An editor (foot, its app_id assigned Focus)
# opens and keeps the focus: Focus is applied, which opens the comfort veil, and nothing more
# in the next 10 s (the application's own windows, the veil above all, are never the front
# application; the loop this guards against changed presets 16 times a second). The veil covers the output, is not focused, and a click on it (a virtual
# pointer's) reaches the X11 window below. A native Wayland window below gets no click:
# XWayland does not carry the veil's input shape to a wlroots compositor.
# Usage: wayland-xwayland.sh APP QV_CLICKTARGET QV_VIRTUALPOINTER
set -euo pipefail
app="$1" target="$2" pointer="$3"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
name="wayland-xwayland"
begin_check "$name" sway swaymsg swaybar Xwayland foot xdotool setpriv python3 -- app_pid editor_pid target_pid sway_pid \
  bus_pid
[[ $EUID -eq 0 ]] || { echo "$name: runs as root (sway then runs as nobody)"; exit 1; }

start_headless_sway "$name" enable
make_isolated
store '"appAwareComfortEnabled":{"t":"bool","v":true},
 "appAware.customProfiles":{"t":"dict","v":{"qv-editor":{"t":"string","v":"Focus"}}}'
isolate_for_nobody
isolated+=(QUELLVISTA_MACHINE= QT_LOGGING_RULES="com.tebrix.Quellvista.PresetManager.info=true")
# XWayland lets in sway's user alone: the X tools run as nobody too.
x() { "${as_nobody[@]}" "$@"; }
alive() { kill -0 "$app_pid" 2>/dev/null || return 2; }
main_shown() { alive && sway_window Quellvista; }
start_app "$name" main_shown
grep -q "The windows go through XWayland" "$tmp/app.log" ||
  { echo "$name: the windows did not go through XWayland"; cat "$tmp/app.log"; exit 1; }

# The veil: an X window as large as the output, never given the focus.
read -r ow oh < <(swaymsg -s "$swaysock" -t get_outputs | python3 -c '
import json, sys
o = json.load(sys.stdin)[0]["rect"]; print(o["width"], o["height"])')
veil=""
veil_shown() {
  alive || return 2
  local id
  for id in $(x xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null); do
    [[ "$(x xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ')" == \
      "X=0 Y=0 WIDTH=$ow HEIGHT=$oh " ]] && { veil="$id"; return 0; }
  done
  return 1
}

# The window below the veil, an X11 one that records presses; then the editor, opened after
# it and focused as it opens: Focus comes once.
"${as_nobody[@]}" QT_QPA_PLATFORM=xcb "$target" 0 0 400 300 >"$tmp/presses" 2>"$tmp/target.log" &
target_pid=$!
poll 20 sway_window "Click target" || { echo "$name: the click target did not show"; cat "$tmp/target.log"; exit 1; }
"${as_nobody[@]}" foot --app-id=qv-editor -o workers=1 sleep 1000000 >"$tmp/editor.log" 2>&1 &
editor_pid=$!
poll 20 sway_window qv-editor focused || { echo "$name: the editor's window did not come"; cat "$tmp/editor.log"; exit 1; }
applied() { alive && grep -q "Applying preset: Focus" "$tmp/app.log"; }
poll 20 applied || { echo "$name: the editor's window did not apply Focus"; cat "$tmp/app.log"; exit 1; }
# Focus turns the veil on: its window must neither take the focus nor count as in front.
poll 20 veil_shown || { echo "$name: no veil covers the output"; x xwininfo -root -children; cat "$tmp/app.log"; exit 1; }
sleep 10
alive || { echo "$name: the application ended"; cat "$tmp/app.log"; exit 1; }
presets="$(grep -c "Applying preset:" "$tmp/app.log" || true)"
((presets <= 2)) || { echo "$name: $presets presets applied in 10 s"; grep "Applying preset:" "$tmp/app.log" | tail; exit 1; }
sway_window qv-editor focused || { echo "$name: the editor lost the focus"; exit 1; }
[[ "$(x xdotool getwindowfocus 2>/dev/null || true)" != "$veil" ]] || { echo "$name: the veil has the X focus"; exit 1; }
veil_shown || { echo "$name: the veil went"; exit 1; }

# A click on the veil, over the middle of the X11 window, reaches that window.
read -r ex ey < <(swaymsg -s "$swaysock" -t get_tree | python3 -c '
import json, sys
def nodes(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from nodes(c)
r = next(n["rect"] for n in nodes(json.load(sys.stdin)) if n.get("name") == "Click target" and n.get("type") == "con")
print(r["x"] + r["width"] // 2, r["y"] + r["height"] // 2)')
# The seat has no pointer of its own: a virtual one clicks.
"${as_nobody[@]}" "$pointer" "$ex" "$ey" "$ow" "$oh" || { echo "$name: the virtual pointer did not click"; exit 1; }
poll 10 grep -q '^press' "$tmp/presses" || { echo "$name: the click did not reach the window below the veil"; exit 1; }
echo "$name: windows through XWayland; the editor kept the focus with $presets preset(s) applied; the veil covers the output ${ow}x${oh}, unfocused, and lets the click through to an X11 window"
