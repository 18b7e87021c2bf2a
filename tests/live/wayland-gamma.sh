#!/usr/bin/env bash
# Starts the real application in a Wayland session's environment on each stand-in (its
# window still on an X server of its own) and reads the ramps the compositor shows:
#  GNOME (the DisplayConfig stand-in on a private session bus):
#  - Evening at 0.65 reaches every CRTC within one 16-bit step; SIGTERM (the quit path)
#    puts every original back; after SIGKILL the next start does;
#  - stalled (SIGSTOP) across a hot key's change to Neutral: Evening again is laid over
#    the originals, SIGTERM puts them back, and the stall is one line of the log;
#  - SIGTERM in a stall with the hot key's fade under way: the quit waits a call's
#    timeout at most, the CRTCs end at their originals when the stall ends, and the next
#    start puts back the originals the quit kept;
#  - stopped right after telling the layout at start (GetCurrentState), before the ramps,
#    for longer than a call's timeout: one line of the log, and Evening on every CRTC
#    within 2 s of it going on; SIGTERM puts the originals back;
#  - busy for 8 s at start (GetResources and GetCurrentState unanswered past a call's
#    timeout): one line of the log, and the stored Evening on every CRTC within 2 s of the
#    answer; started with Neutral and busy the same way, the hot key's Evening 0.5 s after
#    the answer is on every CRTC within 2 s of the key;
#  - a monitor plugged in (MonitorsChanged, a new CRTC) gets the formula within the
#    debounce plus 100 ms, and its original back at quit;
#  - with the desktop's Night Light on, the page says so (screenshots, light and dark).
#  wlroots (the test compositor):
#  - two outputs of different ramp sizes get Evening; a failed control shows the page's
#    reason while the other output keeps its formula (screenshots, light and dark);
#  - SIGKILL leaves both outputs at their originals (the compositor's restore);
#  - while another program (GAMMACLIENT) holds both controls, two hot keys' fades ask for
#    each control at most once per fade; once it lets go, the next hot key takes them.
# Usage: wayland-gamma.sh APP GAMMACHECK COMPOSITOR GAMMACLIENT SERVICES TEMPLATES [OUT]
set -euo pipefail
app="$1" check="$2" compositor="$3" client="$4" services="$5" templates="$6" out="${7:-wayland-gamma}"
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
source "$here/common.sh"
begin_check wayland-gamma Xvfb xdotool import dbus-daemon -- app_pid light_pid config_pid bus_pid \
  compositor_pid holder_pid
mkdir -p "$out"
out="$(cd "$out" && pwd)"
# Debian's Python, which has the D-Bus bindings (not one a virtual environment puts first).
python=/usr/bin/python3
ramp_file=("$python" "$here/ramp-file.py")
unset WAYLAND_DISPLAY

fail() {
  echo "wayland-gamma: $1"
  cat "$tmp/app.log" 2>/dev/null || true
  exit 1
}
# The host in a Wayland session: XDG_SESSION_TYPE says so; the window goes to the X server.
start_in_wayland() {
  isolated+=(QUELLVISTA_MACHINE= XDG_SESSION_TYPE=wayland QT_QPA_PLATFORM=xcb "$@")
  start_app wayland-gamma find_main
}
screenshot() {
  sleep 1.5 # the page's first frames, the backdrop's fade
  import -window "$window" "$out/$1.png"
  echo "wayland-gamma: $out/$1.png"
}

start_xvfb wayland-gamma
evening="$("$check" values Evening 0.65)"
evening_store="\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening"

# ---- GNOME ----
start_session_bus wayland-gamma "$tmp/bus/socket"
export DBUS_SESSION_BUS_ADDRESS="$bus_address"
"$python" "$services/display_config.py" &
config_pid=$!
connectors=(DP-1 eDP-1)
poll 10 "${ramp_file[@]}" mutter DP-1 "$tmp/original-DP-1" 2>/dev/null || fail "the DisplayConfig stand-in did not start"
"${ramp_file[@]}" mutter eDP-1 "$tmp/original-eDP-1"
# Each connector's ramp: Evening's formula (preset) or its original (same).
mutter_at() {
  local what="$1" c
  shift
  for c in "$@"; do
    "${ramp_file[@]}" mutter "$c" "$tmp/now-$c" || return 2
    if [[ "$what" == preset ]]; then
      "$check" -f "$tmp/now-$c" preset Evening 0.65 "$tmp/original-$c" >/dev/null || return 1
    else
      "$check" -f "$tmp/now-$c" same "$tmp/original-$c" || return 1
    fi
  done
}

make_isolated
store "$evening_store"
start_in_wayland
poll 30 mutter_at preset "${connectors[@]}" || fail "Evening does not reach every CRTC: $("$check" -f "$tmp/now-DP-1" preset Evening 0.65 "$tmp/original-DP-1")"
grep -q "Displays: gamma through GNOME display configuration" "$tmp/app.log" || fail "the method was not logged"
stop_app TERM
mutter_at same "${connectors[@]}" || fail "after SIGTERM the CRTCs are not at their originals"
echo "wayland-gamma: GNOME: Evening on every CRTC; the originals back after SIGTERM"

# The compositor stalls (stopped) while the hot key turns Evening back to Neutral, then
# goes on; the hot key's Evening again is laid over the originals, and SIGTERM puts them
# back. 7 s stops it for longer than a call's
# timeout (5 s): writes go unanswered and reads stay under way until it answers, as in a
# longer stall, where each further 5 s only repeats an unanswered read.
start_in_wayland
poll 30 mutter_at preset "${connectors[@]}" || fail "Evening does not reach every CRTC before the stall"
kill -STOP "$config_pid"
xdotool key super+shift+n
sleep 7
kill -CONT "$config_pid"
poll 10 grep -q "Applying preset: Neutral" "$tmp/app.log" || fail "the hot key did not apply Neutral"
poll 10 mutter_at same "${connectors[@]}" || fail "after the stall Neutral did not bring the originals back"
# Evening again is laid over the originals, not over the Evening of before the stall.
xdotool key super+shift+n
poll 10 mutter_at preset "${connectors[@]}" || fail "Evening after the stall is not over the originals"
stop_app TERM
mutter_at same "${connectors[@]}" || fail "after a stall and SIGTERM the CRTCs are not at their originals"
[[ "$(grep -c "did not answer" "$tmp/app.log")" == 1 ]] || fail "the stall was not logged once"
echo "wayland-gamma: GNOME: stalled for 7 s across a hot key's change to Neutral; the originals back after SIGTERM"

# SIGTERM in a 7 s stall, with the hot key's fade to Neutral under way: the originals go
# out behind the fade's unanswered write, so the compositor ends on them when it goes on,
# after the application has gone. The quit waits no longer than a call's timeout (5 s);
# no read showed the originals back before it, so the file keeps them, and the next start
# puts them back.
store "$evening_store"
start_in_wayland
poll 30 mutter_at preset "${connectors[@]}" || fail "Evening does not reach every CRTC before the stall at quit"
kept=("$tmp"/runtime/Quellvista/gamma-ramps-*.json)
[[ -s "${kept[0]}" ]] || fail "no kept originals in $tmp/runtime/Quellvista"
kill -STOP "$config_pid"
stopped=$(date +%s%N)
xdotool key super+shift+n
poll 10 grep -q "Applying preset: Neutral" "$tmp/app.log" ||
  { kill -CONT "$config_pid"; fail "the hot key did not apply Neutral in the stall"; }
quitting=$(date +%s%N)
stop_app TERM
quit_ms=$((($(date +%s%N) - quitting) / 1000000))
sleep "$("$python" -c "print(max(0, 7 - ($(date +%s%N) - $stopped) / 1e9))")"
kill -CONT "$config_pid"
poll 10 mutter_at same "${connectors[@]}" || fail "after a quit in a stall the CRTCs are not at their originals"
[[ -s "${kept[0]}" ]] || fail "the originals were not kept through a quit in a stall"
((quit_ms <= 5800)) || fail "the quit in a stall took $quit_ms ms (more than a call's 5 s)"
grep -q "were not seen on the screens before quitting" "$tmp/app.log" || fail "the unanswered quit was not logged"
echo "wayland-gamma: GNOME: SIGTERM in a stall with a fade under way; quit in $quit_ms ms, the originals back when the stall ends"

store "$evening_store"
start_in_wayland
poll 30 mutter_at preset "${connectors[@]}" || fail "Evening does not reach every CRTC on the second start"
grep -q "Put back the gamma ramp a previous run left changed on" "$tmp/app.log" ||
  fail "the originals kept through a quit in a stall were not put back at the next start"
stop_app KILL
mutter_at same DP-1 && fail "the ramp was put back although the process was killed"
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":false}"
start_in_wayland
poll 30 mutter_at same "${connectors[@]}" || fail "after SIGKILL and a new start the CRTCs are not at their originals"
stop_app TERM
echo "wayland-gamma: GNOME: the originals back at the start after SIGKILL"

# The compositor stops itself right after answering GetCurrentState at start, before the
# ramps are read, and goes on 3 s after the application logged the stall (8 s in all): the
# application asked again while it stalled, so Evening is on every CRTC within 2 s of it
# going on, laid over the originals; SIGTERM puts them back. The page is shot in the stall.
store "$evening_store,\"mainWindow.selectedSection\":{\"t\":\"string\",\"v\":\"Display & Comfort\"}"
"$python" -c "import dbus; dbus.SessionBus().get_object('org.gnome.Mutter.DisplayConfig', \
'/org/gnome/Mutter/DisplayConfig').StallAfter('GetCurrentState', dbus_interface='org.quellvista.Test.DisplayConfig')"
start_in_wayland
stopped() { [[ "$(cut -d' ' -f3 "/proc/$config_pid/stat")" == T ]]; }
poll 10 stopped || fail "the stand-in did not stop after GetCurrentState"
poll 15 grep -q "did not answer when the gamma ramps were read" "$tmp/app.log" ||
  { kill -CONT "$config_pid"; fail "the stall at start was not logged"; }
screenshot gnome-stalled-at-start
sleep 1 # the tuning meets the stall (the displays' reapply, 1.5 s after they were listed)
kill -CONT "$config_pid"
resumed=$(date +%s%N)
poll 10 mutter_at preset "${connectors[@]}" || fail "after a stall at start Evening is not on every CRTC"
elapsed=$((($(date +%s%N) - resumed) / 1000000)) # with the reads of the ramps: at most that
((elapsed <= 2000)) || fail "after a stall at start Evening took $elapsed ms to reach every CRTC (more than 2000)"
[[ "$(grep -c "did not answer" "$tmp/app.log")" == 1 ]] || fail "the stall at start was not logged once"
stop_app TERM
mutter_at same "${connectors[@]}" || fail "after a stall at start and SIGTERM the CRTCs are not at their originals"
echo "wayland-gamma: GNOME: stalled after GetCurrentState at start; Evening on every CRTC $elapsed ms after it went on"

# GNOME busy for 8 s at start: stopped before the application starts, so GetResources and
# GetCurrentState go unanswered past a call's timeout (5 s). The calls stay under way: the
# stored Evening is on every CRTC within 2 s of the answer (the displays' reapply comes 1.5 s
# after they are listed). Started with Neutral, the hot key's Evening 0.5 s after the answer
# is on every CRTC within 2 s of the key. settled_after runs a command and prints the ms to
# the last change of the CRTCs' ramps within 3 s.
settled_after() {
  "$python" - "$@" <<'EOF'
import subprocess, sys, time, dbus
config = dbus.SessionBus().get_object('org.gnome.Mutter.DisplayConfig', '/org/gnome/Mutter/DisplayConfig', introspect=False)
subprocess.run(sys.argv[1:], check=True)
start, seen, last = time.monotonic(), None, 'never'
while time.monotonic() - start < 3:
    now = [config.Ramp(c, dbus_interface='org.quellvista.Test.DisplayConfig') for c in ('DP-1', 'eDP-1')]
    last = int((time.monotonic() - start) * 1000) if seen not in (None, now) else last
    seen = now
    time.sleep(0.01)
print(last)
EOF
}
for stored in "$evening_store" '"activePreset":{"t":"string","v":"Neutral"},"profileIntensity":{"t":"double","v":0.65}'; do
  store "$stored"
  kill -STOP "$config_pid"
  stopped_at=$(date +%s%N)
  start_in_wayland
  poll 15 grep -q "did not answer when the screens' layout was read" "$tmp/app.log" ||
    { kill -CONT "$config_pid"; fail "GNOME busy at start was not logged"; }
  sleep "$("$python" -c "print(max(0, 8 - ($(date +%s%N) - $stopped_at) / 1e9))")"
  if [[ "$stored" == "$evening_store" ]]; then
    busy_ms=$(settled_after kill -CONT "$config_pid")
  else
    kill -CONT "$config_pid" && sleep 0.5
    key_ms=$(settled_after xdotool key super+shift+n)
  fi
  mutter_at preset "${connectors[@]}" || fail "after GNOME was busy at start Evening is not on every CRTC"
  [[ "$(grep -c "did not answer" "$tmp/app.log")" == 1 ]] || fail "GNOME busy at start was not logged once"
  stop_app TERM
  mutter_at same "${connectors[@]}" || fail "after GNOME was busy at start and SIGTERM the CRTCs are not at their originals"
done
[[ "$busy_ms$key_ms" != *never* ]] && ((busy_ms <= 2000 && key_ms <= 2000)) ||
  fail "after GNOME was busy at start Evening took $busy_ms ms, the hot key's $key_ms ms (more than 2000)"
echo "wayland-gamma: GNOME: busy for 8 s at start; Evening on every CRTC $busy_ms ms after the answer, the hot key's $key_ms ms after the key"

# A monitor plugged in while running: its CRTC gets the formula within the debounce
# (1.5 s) plus 100 ms of its MonitorsChanged.
store "$evening_store"
start_in_wayland
poll 30 mutter_at preset "${connectors[@]}" || fail "Evening does not reach every CRTC before the monitor is plugged in"
elapsed="$("$python" - "$tmp/original-HDMI-1" <<'EOF'
import array, sys, time
import dbus
config = dbus.SessionBus().get_object('org.gnome.Mutter.DisplayConfig', '/org/gnome/Mutter/DisplayConfig')
test = 'org.quellvista.Test.DisplayConfig'
config.PlugMonitor(dbus_interface=test)
start = time.monotonic()
original = config.Ramp('HDMI-1', dbus_interface=test)
with open(sys.argv[1], 'wb') as out:
    out.write(array.array('H', [v for channel in original for v in channel]).tobytes())
target = config.Ramp('DP-1', dbus_interface=test)  # the same size, the same formula
while time.monotonic() - start < 10:
    if config.Ramp('HDMI-1', dbus_interface=test) == target:
        print(int((time.monotonic() - start) * 1000))
        sys.exit(0)
    time.sleep(0.01)
print('never')
EOF
)"
[[ "$elapsed" != never ]] || fail "the new CRTC never got the formula"
((elapsed <= 1600)) || fail "the new CRTC got the formula after $elapsed ms (more than 1600)"
connectors+=(HDMI-1)
stop_app TERM
mutter_at same "${connectors[@]}" || fail "after SIGTERM the new CRTC is not at its original"
echo "wayland-gamma: GNOME: a new CRTC got the formula $elapsed ms after MonitorsChanged, its original back at quit"

# The desktop's Night Light on: the page says it also sets the screens.
"$python" -m dbusmock --template "$templates/gsd_color.py" -p '{"active": true}' >/dev/null 2>&1 &
light_pid=$!
for appearance in light dark; do
  make_isolated
  store "$evening_store,\"appAppearanceMode\":{\"t\":\"string\",\"v\":\"$appearance\"},\"mainWindow.selectedSection\":{\"t\":\"string\",\"v\":\"Display & Comfort\"}"
  start_in_wayland
  poll 30 mutter_at preset "${connectors[@]}" || fail "Evening does not reach every CRTC with Night Light on"
  screenshot "gnome-nightlight-$appearance"
  stop_app TERM
done
mutter_at same "${connectors[@]}" || fail "after the Night Light runs the CRTCs are not at their originals"
kill "$light_pid" "$config_pid" "$bus_pid"
wait "$light_pid" "$config_pid" "$bus_pid" 2>/dev/null || true
light_pid="" config_pid="" bus_pid="" bus_address=""
export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus"
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi

# ---- wlroots ----
mkdir -p "$tmp/wayland"
chmod 700 "$tmp/wayland"
coproc wl { XDG_RUNTIME_DIR="$tmp/wayland" exec "$compositor"; }
compositor_pid=$wl_PID
read -r -t 10 socket <&"${wl[0]}" || fail "the test compositor did not start"
wl_command() {
  echo "$1" >&"${wl[1]}"
  read -r -t 5 answer <&"${wl[0]}" || fail "the test compositor did not answer \"$1\""
}
wl_command "add DP-1 256 DEL DELL_U2415 7MT0167B2YNL"
wl_command "add HDMI-A-1 1024"
# The output's ramp: Evening's formula (preset), linear, as before the start (same).
wl_at() {
  local what="$1" name
  shift
  for name in "$@"; do
    wl_command "ramp $name"
    "${ramp_file[@]}" line "$tmp/now-$name" <<<"$answer" || return 2
    if [[ "$what" == preset ]]; then
      "$check" -f "$tmp/now-$name" preset Evening 0.65 >/dev/null || return 1
    else
      "$check" -f "$tmp/now-$name" same "$tmp/original-$name" || return 1
    fi
  done
}
for name in DP-1 HDMI-A-1; do
  wl_command "ramp $name"
  "${ramp_file[@]}" line "$tmp/original-$name" <<<"$answer"
done
wayland=(WAYLAND_DISPLAY="$tmp/wayland/$socket")

make_isolated
store "$evening_store"
start_in_wayland "${wayland[@]}"
poll 30 wl_at preset DP-1 HDMI-A-1 || fail "Evening does not reach both outputs"
grep -q "Displays: gamma through wlroots gamma control" "$tmp/app.log" || fail "the method was not logged"
stop_app KILL
poll 10 wl_at same DP-1 HDMI-A-1 || fail "after SIGKILL the outputs are not at their originals"
echo "wayland-gamma: wlroots: Evening on outputs of 256 and 1024 entries; the originals back after SIGKILL"

for appearance in light dark; do
  make_isolated
  store "$evening_store,\"appAppearanceMode\":{\"t\":\"string\",\"v\":\"$appearance\"},\"mainWindow.selectedSection\":{\"t\":\"string\",\"v\":\"Display & Comfort\"}"
  start_in_wayland "${wayland[@]}"
  poll 30 wl_at preset DP-1 HDMI-A-1 || fail "Evening does not reach both outputs"
  wl_command "fail DP-1"
  screenshot "wlroots-failed-$appearance"
  wl_at preset HDMI-A-1 || fail "HDMI-A-1 lost its formula when DP-1's control failed"
  [[ "$(grep -c "refuses the gamma control of DP-1" "$tmp/app.log")" == 1 ]] || fail "the failure was not logged once"
  if grep -q "CGSet" "$tmp/app.log"; then fail "a Mac function named in the log"; fi
  stop_app TERM
  wl_at same HDMI-A-1 || fail "after SIGTERM HDMI-A-1 is not at its original"
  # The failed output is free again for the next start.
  wl_command "remove DP-1"
  wl_command "add DP-1 256 DEL DELL_U2415 7MT0167B2YNL"
done
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi

# Another program holds both outputs' gamma controls: the application's are refused and
# asked for again at each hot key's change, at most once per output and fade (48 frames);
# once that program has gone, the next change takes the controls.
asked() { wl_command "asked $1"; cut -d' ' -f2 <<<"$answer"; }
held() { wl_command "ramp $1"; [[ "$(cut -d' ' -f4 <<<"$answer")" == 1 ]]; }
WAYLAND_DISPLAY="$tmp/wayland/$socket" "$client" >"$tmp/holder.log" 2>&1 &
holder_pid=$!
poll 10 grep -q "written 2" "$tmp/holder.log" || fail "the other gamma client did not take both outputs"
make_isolated
store "$evening_store"
start_in_wayland "${wayland[@]}"
poll 10 grep -q "refuses the gamma control of HDMI-A-1" "$tmp/app.log" || fail "the held control was not refused"
sleep 2 # the start's own formula, after the displays' reapply
before=("$(asked DP-1)" "$(asked HDMI-A-1)")
xdotool key super+shift+n && sleep 2 # the fade (about 0.9 s), and a pause before the next change
xdotool key super+shift+n && sleep 2
after=("$(asked DP-1)" "$(asked HDMI-A-1)")
((after[0] - before[0] <= 2 && after[1] - before[1] <= 2)) ||
  fail "two fades asked for the held controls ${before[*]} -> ${after[*]} times"
[[ "$(grep -c "refuses the gamma control of DP-1" "$tmp/app.log")" == 1 ]] || fail "the held control was not logged once"
kill "$holder_pid" && wait "$holder_pid" 2>/dev/null || true
holder_pid=""
xdotool key super+shift+n
poll 10 held DP-1 && poll 10 held HDMI-A-1 || fail "the change after the other program went did not take the controls"
stop_app TERM
echo "wayland-gamma: wlroots: held controls asked for ${before[*]} -> ${after[*]} times over two fades, taken after"

# ---- a compositor without gamma control (KDE Plasma and others) ----
kill "$compositor_pid"
wait "$compositor_pid" 2>/dev/null || true
compositor_pid=""
rm -rf "$tmp/wayland" && mkdir -p "$tmp/wayland" && chmod 700 "$tmp/wayland"
coproc wl { XDG_RUNTIME_DIR="$tmp/wayland" exec "$compositor" --no-gamma; }
compositor_pid=$wl_PID
read -r -t 10 socket <&"${wl[0]}" || fail "the test compositor did not start without gamma control"
wl_command "add DP-1 256 DEL DELL_U2415 7MT0167B2YNL"
wayland=(WAYLAND_DISPLAY="$tmp/wayland/$socket")
for appearance in light dark; do
  make_isolated
  store "$evening_store,\"appAppearanceMode\":{\"t\":\"string\",\"v\":\"$appearance\"},\"mainWindow.selectedSection\":{\"t\":\"string\",\"v\":\"Display & Comfort\"}"
  start_in_wayland "${wayland[@]}"
  screenshot "no-gamma-control-$appearance"
  grep -q "Displays: no gamma through wlroots gamma control: This desktop does not let applications set" \
    "$tmp/app.log" || fail "the missing gamma control was not logged"
  wl_command "ramp DP-1"
  [[ "$(cut -d' ' -f3 <<<"$answer")" == 0 ]] || fail "a ramp was written without gamma control"
  stop_app TERM
done
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi
