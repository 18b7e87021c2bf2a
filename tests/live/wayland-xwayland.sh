#!/usr/bin/env bash
# Starts the real application in a Wayland session with XWayland (headless sway as nobody,
# swaybar as the tray) with app-aware comfort on and no preset stored, with QT_QPA_PLATFORM
# unset (its windows go through XWayland) or "wayland" (native). An editor (foot, its app_id
# assigned Focus) opens and keeps the focus: Focus is applied, which opens the comfort veil,
# and nothing more in the next 10 s (the application's own windows, the veil above all, are
# never the front application; the loop this guards against changed presets 16 times a
# second). The veil is a layer surface of the compositor on either platform: a screenshot
# shows its tint over the windows below, it takes no focus, it is no X window, and a click on
# it (a virtual pointer's) reaches the window below, an X11 one and a native Wayland one alike.
# The desktop portal, which the bus starts on demand as most desktops' do, has no global
# shortcuts: the application's own question starts it, and within 10 s the log says how the
# hot keys go. Through XWayland they are its key grabs, and XWayland's
# keyboard map lacks their keys at start (xkbcomp): the log says once that the six are not
# available and why, never that they were registered; once the full map is back they are,
# and Super-Shift-N (xdotool through XWayland) applies Evening. On the native platform there
# are no hot keys at all, and the log says so.
# Usage: wayland-xwayland.sh APP QV_CLICKTARGET QV_VIRTUALPOINTER [wayland]
set -euo pipefail
app="$1" target="$2" pointer="$3" platform="${4:-}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
name="wayland-xwayland${platform:+-$platform}"
begin_check "$name" sway swaymsg swaybar Xwayland foot xdotool setpriv python3 grim xkbcomp dbus-daemon -- app_pid editor_pid target_pid \
  native_pid sway_pid bus_pid
[[ $EUID -eq 0 ]] || { echo "$name: runs as root (sway then runs as nobody)"; exit 1; }

start_headless_sway "$name" enable
# The portal takes a second to start, as a real one may; its colour scheme: no preference.
bus_service org.freedesktop.portal.Desktop "/bin/sh -c \"sleep 1; exec /usr/bin/python3 -m dbusmock --template \
$(realpath "$(dirname "${BASH_SOURCE[0]}")/../hostbus/templates/portal_settings.py")\""
make_isolated
store '"appAwareComfortEnabled":{"t":"bool","v":true},
 "appAware.customProfiles":{"t":"dict","v":{"qv-editor":{"t":"string","v":"Focus"}}}'
isolate_for_nobody
isolated+=(QUELLVISTA_MACHINE=
  QT_LOGGING_RULES="com.tebrix.Quellvista.PresetManager.info=true;com.tebrix.Quellvista.Shortcuts.info=true")
[[ -z "$platform" ]] || isolated+=(QT_QPA_PLATFORM="$platform")
# XWayland lets in sway's user alone: the X tools run as nobody too.
x() { "${as_nobody[@]}" "$@"; }
alive() { kill -0 "$app_pid" 2>/dev/null || return 2; }
[[ -n "$platform" ]] || strip_hot_keys "$(sed -n 's/^DISPLAY=//p' "$tmp/wayland-runtime/display")" "$tmp/home" \
  "${as_nobody[@]}" || { echo "$name: xkbcomp could not take the hot keys out of XWayland's map"; exit 1; }
main_shown() { alive && sway_window "$([[ -z "$platform" ]] && echo Quellvista || echo com.tebrix.Quellvista)"; }
start_app "$name" main_shown
[[ -n "$platform" ]] || grep -q "The windows go through XWayland" "$tmp/app.log" ||
  { echo "$name: the windows did not go through XWayland"; cat "$tmp/app.log"; exit 1; }
grep -q "Overlays: layer surfaces of the compositor" "$tmp/app.log" ||
  { echo "$name: the overlays are not layer surfaces"; cat "$tmp/app.log"; exit 1; }
(($(grep -ci "overlay" "$tmp/app.log") == 1)) ||
  { echo "$name: the log speaks of the overlays more than once"; cat "$tmp/app.log"; exit 1; }
logged() { alive && grep -q "$1" "$tmp/app.log"; }
if [[ -z "$platform" ]]; then
  unavailable="6 of the 6 hot keys are not available: .* (the keyboard's map has no such key)"
  way="key grabs of XWayland, which act only while an X11 window has the keyboard"
else
  unavailable="6 of the 6 hot keys are not available: .* (this desktop passes no hot keys to applications)"
  way="this session has no key grabs: the hot keys wait for a portal that has them"
fi
poll 10 logged "The desktop portal has no global shortcuts (.*UnknownInterface).* $way" ||
  { echo "$name: 10 s on, the log does not say how the hot keys go"; cat "$tmp/app.log" "$tmp/bus/log"; exit 1; }
grep -q "Activating service name='org.freedesktop.portal.Desktop' requested by .*quellvista" "$tmp/bus/log" ||
  { echo "$name: the portal was not started on demand"; cat "$tmp/bus/log"; exit 1; }
poll 20 logged "$unavailable" || { echo "$name: the missing hot keys were not said"; cat "$tmp/app.log"; exit 1; }
! grep -q "Global shortcuts registered" "$tmp/app.log" ||
  { echo "$name: hot keys that cannot be pressed were said to be registered"; cat "$tmp/app.log"; exit 1; }

read -r ow oh < <(swaymsg -s "$swaysock" -t get_outputs | python3 -c '
import json, sys
o = json.load(sys.stdin)[0]["rect"]; print(o["width"], o["height"])')
# The middle of the click target of a shell ("xwayland" or "xdg_shell").
target_middle() {
  swaymsg -s "$swaysock" -t get_tree | python3 -c '
import json, sys
def nodes(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from nodes(c)
r = [n["rect"] for n in nodes(json.load(sys.stdin)) if n.get("name") == "Click target" and n.get("shell") == sys.argv[1]
     and n.get("type") == "con" and n.get("visible")]
sys.exit(1) if not r else print(r[0]["x"] + r[0]["width"] // 2, r[0]["y"] + r[0]["height"] // 2)' "$1"
}
# Whether the screen at X Y shows the colour R G B as it is, within rounding.
shows() {
  "${as_nobody[@]}" grim -t ppm -g "$1,$2 1x1" - | tail -c 3 | od -An -tu1 | python3 -c '
import sys
r, g, b = map(int, sys.stdin.read().split())
sys.exit(0 if abs(r - int(sys.argv[1])) + abs(g - int(sys.argv[2])) + abs(b - int(sys.argv[3])) <= 3 else 1)' "$3" "$4" "$5"
}
# The targets' yellow, unveiled.
plain_yellow() { shows "$1" "$2" 255 200 0; }
# The veil covers both targets: neither shows its plain yellow.
veil_tints() {
  alive || return 2
  local at
  for shell in xwayland xdg_shell; do
    at="$(target_middle "$shell")" || return 1
    ! plain_yellow $at || return 1
  done
}

# The windows below the veil, an X11 one and a native Wayland one that record presses; then
# the editor, opened after them and focused as it opens: Focus comes once.
"${as_nobody[@]}" QT_QPA_PLATFORM=xcb "$target" 0 0 400 300 >"$tmp/presses-xwayland" 2>"$tmp/target.log" &
target_pid=$!
"${as_nobody[@]}" QT_QPA_PLATFORM=wayland "$target" 0 0 400 300 >"$tmp/presses-xdg_shell" 2>"$tmp/native.log" &
native_pid=$!
for shell in xwayland xdg_shell; do
  poll 20 target_middle "$shell" >/dev/null ||
    { echo "$name: the $shell click target did not show"; cat "$tmp/target.log" "$tmp/native.log"; exit 1; }
  # Unveiled, the target shows its own colour.
  poll 10 plain_yellow $(target_middle "$shell") || { echo "$name: the $shell click target is not yellow"; exit 1; }
done
"${as_nobody[@]}" foot --app-id=qv-editor -o workers=1 sleep 1000000 >"$tmp/editor.log" 2>&1 &
editor_pid=$!
poll 20 sway_window qv-editor focused || { echo "$name: the editor's window did not come"; cat "$tmp/editor.log"; exit 1; }
applied() { alive && grep -q "Applying preset: Focus" "$tmp/app.log"; }
poll 20 applied || { echo "$name: the editor's window did not apply Focus"; cat "$tmp/app.log"; exit 1; }
# Focus turns the veil on: it must neither take the focus nor count as in front.
poll 20 veil_tints || { echo "$name: no veil tints the windows"; cat "$tmp/app.log"; exit 1; }
sleep 10
alive || { echo "$name: the application ended"; cat "$tmp/app.log"; exit 1; }
presets="$(grep -c "Applying preset:" "$tmp/app.log" || true)"
((presets <= 2)) || { echo "$name: $presets presets applied in 10 s"; grep "Applying preset:" "$tmp/app.log" | tail; exit 1; }
sway_window qv-editor focused || { echo "$name: the editor lost the focus"; exit 1; }
veil_tints || { echo "$name: the veil went"; exit 1; }
# A second output plugged in while the veil shows: the veil covers it too (sway's bare
# background, 63,63,63, darkened in its corner), and the first output, now told from its
# twin by its port, keeps its veil without the log calling its screen gone (the panels are
# fitted again 0.35 s after the renumbering).
swaymsg -s "$swaysock" create_output >/dev/null
second_output() {
  swaymsg -s "$swaysock" -t get_outputs | python3 -c '
import json, sys
r = [o["rect"] for o in json.load(sys.stdin) if o.get("active")][1:]
sys.exit(1) if not r else print(r[0]["x"] + 2, r[0]["y"] + 2)'
}
second_veiled() { alive || return 2; local at; at="$(second_output)" && ! shows $at 63 63 63; }
poll 20 second_veiled || { echo "$name: no veil on the output added"; cat "$tmp/app.log"; exit 1; }
poll 10 grep -q "a twin of its monitor is connected" "$tmp/app.log" || { echo "$name: no twin"; cat "$tmp/app.log"; exit 1; }
sleep 1
! grep "its screen is gone" "$tmp/app.log" || { echo "$name: the log calls a screen gone that is there"; exit 1; }
veil_tints || { echo "$name: the first output lost its veil when the second came"; exit 1; }
# No X window of ours lies over the others to swallow clicks.
[[ -z "$(x xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null || true)" ]] ||
  { echo "$name: the veil is an X window"; exit 1; }

# A click on the veil over the middle of each target reaches it. The seat has no pointer of
# its own: a virtual one clicks, placed within the layout of both outputs.
read -r lw lh < <(swaymsg -s "$swaysock" -t get_outputs | python3 -c '
import json, sys
r = [o["rect"] for o in json.load(sys.stdin) if o.get("active")]
print(max(o["x"] + o["width"] for o in r), max(o["y"] + o["height"] for o in r))')
for shell in xwayland xdg_shell; do
  "${as_nobody[@]}" "$pointer" $(target_middle "$shell") "$lw" "$lh" || { echo "$name: the virtual pointer did not click"; exit 1; }
  poll 10 grep -q '^press' "$tmp/presses-$shell" ||
    { echo "$name: the click did not reach the $shell window below the veil"; exit 1; }
done
# XWayland's full map back: the keys are grabbed, and one works.
hot_keys=""
if [[ -z "$platform" ]]; then
  x xkbcomp "$tmp/home/full.xkb" "$(sed -n 's/^DISPLAY=//p' "$tmp/wayland-runtime/display")" 2>/dev/null ||
    { echo "$name: xkbcomp could not load XWayland's full map back"; exit 1; }
  poll 20 logged "Global shortcuts registered" ||
    { echo "$name: the hot keys were not grabbed once XWayland's map had them"; cat "$tmp/app.log"; exit 1; }
  # The keys reach XWayland's grabs only while an X11 window has its keyboard: sway gives it
  # to the application's own window (never the front application: no preset comes of it).
  swaymsg -s "$swaysock" '[title="^Quellvista$" shell="xwayland"] focus' >/dev/null
  poll 10 sway_window Quellvista focused || { echo "$name: sway did not focus the main window"; exit 1; }
  x xdotool key super+shift+n
  poll 20 logged "Applying preset: Evening" || { echo "$name: Super-Shift-N did not apply Evening"; cat "$tmp/app.log"; exit 1; }
  hot_keys="; the hot keys missing from XWayland's map were said so, grabbed once it had them, and Super-Shift-N applied Evening"
fi
[[ "$(grep -c "$unavailable" "$tmp/app.log")" == 1 ]] || { echo "$name: the missing hot keys were said more than once"; exit 1; }
echo "$name: overlays as layer surfaces; the editor kept the focus with $presets preset(s) applied; the veil tints the output ${ow}x${oh}, unfocused, and lets clicks through to an X11 and a native Wayland window$hot_keys"
