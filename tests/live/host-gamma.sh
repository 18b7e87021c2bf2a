#!/usr/bin/env bash
# Starts the real application on the X server's own screen (the host, not a simulated
# machine) and reads the CRTC's gamma ramp back:
#  - with Evening stored at intensity 0.65 the ramp is that transfer formula, within one
#    16-bit step at every entry; after SIGTERM it is the ramp from before the start;
#  - after SIGKILL, a new start with tuning off puts the original ramp back;
#  - Software Brightness moved to 50 % in the window halves the ramp's top, and the master
#    switch turned off gives the original back.
# Then takes screenshots of Display & Comfort and Settings, light and dark, into OUT.
# Usage: host-gamma.sh APP GAMMACHECK [OUT]
set -euo pipefail
app="$1" check="$2" out="${3:-host-gamma}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check host-gamma Xvfb xdotool import -- app_pid wm_pid
mkdir -p "$out"
out="$(cd "$out" && pwd)"

fail() {
  echo "host-gamma: $1"
  cat "$tmp/app.log" 2>/dev/null || true
  exit 1
}
# The host: an empty machine name runs on the X server's own screens.
start_on_host() {
  isolated+=(QUELLVISTA_MACHINE=)
  start_app host-gamma find_main
}

start_xvfb host-gamma
"$check" save "$tmp/original" || fail "the X server has no gamma ramp to read"
make_isolated

# Evening at 0.65, as applying it stores it.
evening="$("$check" values Evening 0.65)"
store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening"
start_on_host
poll 30 "$check" preset Evening 0.65 "$tmp/original" || fail "the ramp is not Evening's transfer formula: $("$check" preset Evening 0.65 "$tmp/original")"
stop_app TERM
"$check" same "$tmp/original" || fail "after SIGTERM the ramp is not the one from before the start"
echo "host-gamma: Evening's formula on the CRTC, the original back after SIGTERM"
# SIGINT and SIGHUP end the application through the same quit path.
for signal in INT HUP; do
  start_on_host
  poll 30 "$check" preset Evening 0.65 "$tmp/original" >/dev/null || fail "the ramp is not Evening's transfer formula before SIG$signal"
  stop_app "$signal"
  "$check" same "$tmp/original" || fail "after SIG$signal the ramp is not the one from before the start"
done
echo "host-gamma: the original back after SIGINT and SIGHUP"

# A window manager that takes over and resets the ramps (a stand-in for kwin_x11 --replace):
# Evening is back within 2 s, over the original kept before, which comes back at quit.
start_on_host
poll 30 "$check" preset Evening 0.65 "$tmp/original" >/dev/null || fail "the ramp is not Evening's transfer formula"
"$check" wm "$tmp/wm-reset" &
wm_pid=$!
poll 10 test -s "$tmp/wm-reset" || fail "the stand-in window manager did not reset the ramps"
reset=$(date +%s%N)
poll 10 "$check" preset Evening 0.65 "$tmp/original" >/dev/null || fail "Evening did not come back after the window manager reset the ramps"
took=$((($(date +%s%N) - reset) / 1000000))
((took <= 2000)) || fail "Evening came back only $took ms after the window manager reset the ramps"
grep -q "as a window manager took over" "$tmp/app.log" || fail "the window manager's reset was not logged"
stop_app TERM
kill "$wm_pid"
wait "$wm_pid" 2>/dev/null || true
wm_pid=""
"$check" same "$tmp/original" || fail "after the window manager's reset and SIGTERM the ramp is not the original"
echo "host-gamma: Evening back $took ms after a window manager took over and reset the ramps"

# Killed while the ramp is changed: the next start puts it back, before applying anything.
make_isolated
store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening"
start_on_host
poll 30 "$check" preset Evening 0.65 "$tmp/original" || fail "the ramp is not Evening's transfer formula on the second start"
stop_app KILL
"$check" differs "$tmp/original" || fail "the ramp was put back although the process was killed"
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":false}"
start_on_host
poll 30 "$check" same "$tmp/original" || fail "after SIGKILL and a new start the ramp is not the original"
stop_app TERM
echo "host-gamma: the original back at the start after SIGKILL"

# Software Brightness at 50 % halves the top of the ramp; the master switch off restores it.
make_isolated
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":true}"
start_on_host
poll 30 "$check" top 1.0 >/dev/null || fail "tuning on at full brightness does not give a full ramp"
geometry="$(xdotool getwindowgeometry "$window" | sed -n 's/.*Geometry: //p')"
width="${geometry%x*}"
# The slider runs from 10 % to 100 %: 50 % lies 4/9 along its track.
track_left=${QV_BRIGHTNESS_TRACK_LEFT:-306} track_right=${QV_BRIGHTNESS_TRACK_RIGHT:-661}
slider_y=${QV_BRIGHTNESS_TRACK_Y:-583}
xdotool mousemove --window "$window" $((track_left + (track_right - track_left) * 4 / 9)) "$slider_y" click 1
poll 10 "$check" top 0.5 >/dev/null || fail "brightness 50 % does not halve the ramp's top: $("$check" top 0.5)"
# The master switch, left of the guide button.
xdotool mousemove --window "$window" $((width - 97)) 41 click 1
poll 10 "$check" same "$tmp/original" || fail "the master switch off does not restore the ramp"
stop_app TERM
echo "host-gamma: brightness 50 % halves the ramp's top; the master switch off restores it"

# What the pages say on the host, light and dark.
for section in "Display & Comfort" Settings; do
  for appearance in light dark; do
    make_isolated
    store "\"appAppearanceMode\":{\"t\":\"string\",\"v\":\"$appearance\"},\"mainWindow.selectedSection\":{\"t\":\"string\",\"v\":\"$section\"}"
    start_on_host
    sleep 1.5 # the page's first frames, the backdrop's fade
    name="$(tr -d ' &' <<<"$section" | tr '[:upper:]' '[:lower:]')-$appearance"
    import -window "$window" "$out/$name.png"
    echo "host-gamma: $out/$name.png"
    if [[ "$section" == Settings ]]; then
      # The diagnostics of the host's display, further down.
      xdotool mousemove --window "$window" 600 500 click 5 click 5 click 5 click 5 click 5
      xdotool mousemove --window "$window" 120 500 # out of the way of the hover help
      sleep 0.8
      import -window "$window" "$out/$name-diagnostics.png"
    else
      # The "Display hardware" header row opens the protection controls.
      xdotool mousemove --window "$window" 600 104 click 1
      sleep 0.8
      import -window "$window" "$out/$name-hardware.png"
    fi
    stop_app TERM
  done
done
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi

# A Wayland session without a compositor that sets gamma: the tuning runs, the page says the
# formula cannot be applied, and no ramp is written (XWayland's ramps do not reach the screens).
make_isolated
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":true},\"tuning.brightness\":{\"t\":\"double\",\"v\":0.5}"
# (Neither the desktop's session bus nor its compositor: they would be the user's screens.)
isolated+=(XDG_SESSION_TYPE=wayland DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent WAYLAND_DISPLAY=)
start_on_host
sleep 1.5 # the page's first frames, the backdrop's fade
import -window "$window" "$out/displaycomfort-wayland-light.png"
echo "host-gamma: $out/displaycomfort-wayland-light.png"
"$check" same "$tmp/original" || fail "a ramp was written in a Wayland session"
grep -q "does not let applications set the screens' gamma" "$tmp/app.log" || fail "the Wayland session was not logged"
stop_app TERM
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi
