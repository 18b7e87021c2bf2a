#!/usr/bin/env bash
# The real application on an X server with three monitors (Xorg's dummy video driver,
# three real EDIDs, each CRTC starting from a ramp of its own):
#  - Evening on every monitor; SIGKILL; one output switched off; a restart and a quit put
#    every lit CRTC back to its original, and the output switched off gets its own at the
#    next start after it is lit again (within one 16-bit step);
#  - killed under DISPLAY=:N and started again under DISPLAY=:N.0, the ramps go back;
#  - monitors swapped between ports and an output switched off while it runs: after
#    SIGTERM each CRTC holds the original of the monitor on it now, and the output
#    switched off shows its own when lit again with nothing running;
#  - two copies with config folders of their own: a start leaves the other's formula,
#    neither quit leaves a formula behind;
#  - the run a main thread that does not take SIGTERM becomes puts the ramps back;
#  - a ramp another program set while it ran (xrandr --gamma) stays when it quits;
#  - an output lit without a probe (RandR says "disconnected", yet it drives a CRTC with a
#    mode) gets the formula within 2 s;
#  - twins (one EDID on two outputs, each with a calibration of its own): each gets Evening
#    over its own calibration, and its own back after a kill and after a quit;
#  - a twin switched on while it runs beside the monitor being tuned: that monitor keeps its
#    own values over its calibration, the twin gets the all-displays values over its own,
#    the displays to tune name both, and a quit gives each its own calibration back;
#  - twins parted while it was killed: the monitor left alone starts on the values it had as
#    a twin, and the kept original of the one unplugged changes nothing on the screens;
#  - the selected twin unplugged while it was killed: the next start selects all displays,
#    and the tuning card and every lit monitor show their values;
#  - a restore file of the earlier format (by output alone) naming an output switched off at
#    start: lit while it runs, the output gets the formula over its own original, not over
#    the tint left on it, and a quit leaves every monitor at its original.
# Usage: display-restore.sh APP GAMMACHECK
set -euo pipefail
app="$1" check="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check display-restore python3 -- app_pid second_pid

fail() {
  echo "display-restore: $1"
  cat "$tmp/app.log" 2>/dev/null || true
  exit 1
}
start_on_host() {
  isolated+=(QUELLVISTA_MACHINE=)
  start_app display-restore find_main
}
# Every output named is at its original ramp (within one step).
at_originals() {
  local o
  for o in "$@"; do "$check" -o "$o" near "$tmp/$o.original" || return 1; done
}
at_evening() {
  local o
  for o in "$@"; do "$check" -o "$o" preset Evening 0.65 "$tmp/$o.original" >/dev/null || return 1; done
}

start_dummy_xorg display-restore
output_on DUMMY1 1920x1080 2048x0
output_on DUMMY2 1600x1200 3968x0
xrandr >/dev/null # the probe a desktop makes at login
for i in 0 1 2; do
  "$check" -o "DUMMY$i" edid "$i" || fail "no EDID could be published on DUMMY$i"
  "$check" -o "DUMMY$i" start "$((i + 1))" || fail "no starting ramp on DUMMY$i"
  "$check" -o "DUMMY$i" save "$tmp/DUMMY$i.original"
done
all=(DUMMY0 DUMMY1 DUMMY2)
make_isolated
evening="$("$check" values Evening 0.65)"
store_evening() {
  store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening"
}

# Killed with Evening on three monitors; one switched off before the restart.
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
stop_app KILL
output_off DUMMY1
start_on_host
poll 30 at_evening DUMMY0 DUMMY2 || fail "Evening is not on the lit monitors after the restart"
stop_app TERM
at_originals DUMMY0 DUMMY2 || fail "after the restart and quit the lit monitors are not at their originals"
output_on DUMMY1 1920x1080 2048x0
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":false}"
start_on_host
poll 5 at_originals "${all[@]}" || fail "the output switched off during the kill did not get its original back"
stop_app TERM
echo "display-restore: after a kill and an output switched off, every CRTC is back at its original"

# What a run becomes when its main thread does not take SIGTERM in time: it puts the
# ramps back and ends as SIGTERM ends a process.
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
stop_app KILL
status=0
# (In the background, so that the shell does not report the signal.)
"${isolated[@]}" "$app" --put-back-after-signal 15 >>"$tmp/app.log" 2>&1 &
wait "$!" || status=$?
((status == 143)) || fail "the put-back run ended with status $status, not as SIGTERM ends a process"
at_originals "${all[@]}" || fail "the put-back run did not put the ramps back"
echo "display-restore: the run a stuck main thread becomes on SIGTERM puts the ramps back"

# Killed under :N, started again under :N.0.
display="$DISPLAY"
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
stop_app KILL
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":false}"
DISPLAY="$display.0" start_on_host
poll 5 at_originals "${all[@]}" || fail "started under $display.0, the ramps kept under $display were not put back"
stop_app TERM
echo "display-restore: killed under $display and started under $display.0, the ramps are back"

# Monitors swapped between ports and an output switched off while it runs.
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
"$check" -o DUMMY0 edid 1 && "$check" -o DUMMY1 edid 0 || fail "the monitors could not be swapped"
output_off DUMMY2
sleep 2 # the re-apply 1.5 s after the reconfiguration
# Each monitor's formula lies over its own original, which it took along.
swapped_evening() {
  "$check" -o DUMMY0 preset Evening 0.65 "$tmp/DUMMY1.original" >/dev/null &&
    "$check" -o DUMMY1 preset Evening 0.65 "$tmp/DUMMY0.original" >/dev/null
}
poll 10 swapped_evening || fail "Evening is not on the swapped monitors"
stop_app TERM
"$check" -o DUMMY0 near "$tmp/DUMMY1.original" || fail "DUMMY0 does not hold the original of the monitor now on it"
"$check" -o DUMMY1 near "$tmp/DUMMY0.original" || fail "DUMMY1 does not hold the original of the monitor now on it"
output_on DUMMY2 1600x1200 3968x0
at_originals DUMMY2 || fail "the output switched off while running shows the formula when lit again"
for i in 0 1; do "$check" -o "DUMMY$i" edid "$i" && "$check" -o "DUMMY$i" start "$((i + 1))"; done
echo "display-restore: monitors swapped and an output switched off while running get originals at quit"

# Two copies with config folders of their own on one X server: a second copy's start
# leaves the first's formula; a second copy with a formula of its own keeps the first's
# originals, so that neither quit, first or last, leaves a formula behind.
second_copy() { # the stored values of the second copy
  mkdir -p "$tmp/config2/Quellvista" "$tmp/sockets2"
  printf '{"format":"quellvista-defaults","version":1,"values":{%s}}\n' "$1" >"$tmp/config2/Quellvista/defaults.json"
  "${isolated[@]}" XDG_CONFIG_HOME="$tmp/config2" TMPDIR="$tmp/sockets2" "$app" >"$tmp/app2.log" 2>&1 &
  second_pid=$!
}
stop_second() {
  kill -TERM "$second_pid"
  wait "$second_pid" 2>/dev/null || true
  second_pid=""
}
two_windows() { (($(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | wc -l) >= 2)); }
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
second_copy "\"tuning.enabled\":{\"t\":\"bool\",\"v\":false}"
poll 30 two_windows || fail "the second copy shows no window"
at_evening "${all[@]}" || fail "the second copy's start took the first copy's formula away"
stop_second
second_copy "\"activePreset\":{\"t\":\"string\",\"v\":\"Focus\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.5},$("$check" values Focus 0.5)"
poll 30 "$check" -o DUMMY0 preset Focus 0.5 "$tmp/DUMMY0.original" >/dev/null || fail "the second copy's formula is not on the screen"
stop_app TERM
"$check" -o DUMMY0 preset Focus 0.5 "$tmp/DUMMY0.original" >/dev/null || fail "the first copy's quit took the second copy's formula away"
stop_second
at_originals "${all[@]}" || { cat "$tmp/app2.log"; fail "after both copies quit the monitors are not at their originals"; }
echo "display-restore: two copies on one X server leave each other's formula and the originals when both have quit"

# Another program's ramp stays at quit.
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
xrandr --output DUMMY2 --gamma 0.8:0.9:1.1
"$check" -o DUMMY2 save "$tmp/foreign"
stop_app TERM
"$check" -o DUMMY2 same "$tmp/foreign" || fail "the ramp xrandr set was written over at quit"
at_originals DUMMY0 DUMMY1 || fail "the other monitors are not at their originals after the quit"
grep -q "set by another program" "$tmp/app.log" || fail "the ramp left alone was not logged"
"$check" -o DUMMY2 start 3
"$check" -o DUMMY2 save "$tmp/DUMMY2.original"
echo "display-restore: a ramp xrandr --gamma set survives the quit"

# An output lit without a probe gets the formula within 2 s (its CRTC's ramp, kept
# through an off and on, read first).
output_on DUMMY3 1024x768 5568x0
"$check" -o DUMMY3 save "$tmp/DUMMY3.original" || fail "DUMMY3's ramp could not be read"
output_off DUMMY3
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
output_on DUMMY3 1024x768 5568x0
xrandr --current | grep -q "^DUMMY3 disconnected 1024x768" || fail "DUMMY3 is not lit in the disconnected state"
lit=$(date +%s%N)
poll 10 at_evening DUMMY3 || fail "the output lit without a probe did not get the formula"
took=$((($(date +%s%N) - lit) / 1000000))
((took <= 2000)) || fail "the output lit without a probe got the formula only after $took ms"
stop_app TERM
at_originals "${all[@]}" || fail "the monitors are not at their originals after the quit"
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi
echo "display-restore: an output in the disconnected state with a CRTC and mode gets the formula ($took ms)"

# Twins: one EDID on DUMMY0 and DUMMY1, each CRTC with a calibration of its own.
"$check" -o DUMMY0 edid 1 || fail "no EDID could be published on DUMMY0"
twins=(DUMMY0 DUMMY1)
store_evening
start_on_host
poll 30 at_evening "${twins[@]}" || fail "Evening is not over each twin's own calibration"
stop_app KILL
store "\"tuning.enabled\":{\"t\":\"bool\",\"v\":false}"
start_on_host
poll 5 at_originals "${twins[@]}" || fail "after a kill the twins did not get their own calibrations back"
stop_app TERM
store_evening
start_on_host
poll 30 at_evening "${twins[@]}" || fail "Evening is not over each twin's own calibration after the restart"
stop_app TERM
at_originals "${all[@]}" || fail "after a quit the twins are not at their own calibrations"
echo "display-restore: twins get Evening over their own calibrations, and those back after a kill and a quit"

# A twin switched on while it runs: DUMMY1's monitor alone, selected, with Focus of its own;
# the others have Evening. DUMMY0 then shows a monitor of DUMMY1's model.
"$check" -o DUMMY0 edid 0 || fail "no EDID could be published on DUMMY0"
output_off DUMMY0
store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening,$("$check" own 1 Focus 0.5)"
start_on_host
own_focus() { "$check" -o DUMMY1 preset Focus 0.5 "$tmp/DUMMY1.original" >/dev/null; }
poll 30 own_focus || fail "the selected monitor does not have its own values"
at_evening DUMMY2 || fail "Evening is not on the monitor without values of its own"
"$check" -o DUMMY0 edid 1 || fail "no EDID could be published on DUMMY0"
output_on DUMMY0 1024x768 0x0
both_listed() {
  grep "Displays to tune:" "$tmp/app.log" | tail -n1 | grep "D3218HN (DUMMY0)" | grep -q "D3218HN (DUMMY1)"
}
poll 10 both_listed || fail "the displays to tune do not name both twins"
poll 10 at_evening DUMMY0 || fail "the twin switched on does not get Evening over its own calibration"
sleep 2 # the re-apply 1.5 s after the reconfiguration
own_focus || fail "the selected monitor lost its own values when its twin was switched on"
grep -q "The selected display [0-9]* follows its monitor to [0-9]*" "$tmp/app.log" ||
  fail "the selection did not follow the monitor"
stop_app TERM
at_originals "${all[@]}" || fail "after a quit the twins are not at their own calibrations"
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi
echo "display-restore: a twin switched on while it runs leaves the tuned monitor its own values, and each its calibration"

# Twins parted while it was killed: DUMMY1's twin selected with Focus of its own, the others
# with Evening; DUMMY0's monitor unplugged before the next start.
store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening,$("$check" own 1 Focus 0.5 DUMMY1)"
start_on_host
poll 30 own_focus || fail "the selected twin does not have its own values"
at_evening DUMMY0 DUMMY2 || fail "Evening is not on the monitors without values of their own"
stop_app KILL
"$check" -o DUMMY0 edid none || fail "the EDID on DUMMY0 could not be deleted"
output_off DUMMY0
start_on_host
poll 30 own_focus || fail "the twin left alone does not start on its own values"
grep -q "The selected display [0-9]* follows its monitor to [0-9]*: no twin of it is connected" "$tmp/app.log" ||
  fail "the selection did not follow the twin left alone"
grep -q "Put back the gamma ramp a previous run left changed on .*(switched off)" "$tmp/app.log" ||
  fail "the original of the twin unplugged was not put back on its CRTC"
stop_app TERM
at_originals DUMMY1 DUMMY2 || fail "after a quit the monitors are not at their originals"
output_on DUMMY0 1024x768 0x0
at_originals DUMMY0 || fail "the CRTC of the twin unplugged does not hold its original"
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi
echo "display-restore: a twin left alone while stopped starts on its own values"

# The selected twin unplugged while it was killed: DUMMY0's twin selected with Focus of its
# own. The next start selects all displays: the card and every lit monitor show Evening.
"$check" -o DUMMY0 edid 1 || fail "no EDID could be published on DUMMY0"
store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening,$("$check" own 1 Focus 0.5 DUMMY0)"
start_on_host
poll 30 "$check" -o DUMMY0 preset Focus 0.5 "$tmp/DUMMY0.original" >/dev/null ||
  fail "the selected twin does not have its own values"
stop_app KILL
"$check" -o DUMMY0 edid none || fail "the EDID on DUMMY0 could not be deleted"
output_off DUMMY0
isolated+=(QUELLVISTA_CONTROL_LIST="$tmp/controls")
start_on_host
poll 30 at_evening DUMMY1 DUMMY2 || fail "Evening is not on the lit monitors"
grep -q "The selected display [0-9]* is not connected: all displays are selected" "$tmp/app.log" ||
  fail "the twin unplugged stayed selected"
# The card's Software Brightness slider at Evening's 0.66, not at the twin's Focus.
evening_shown() {
  [[ -s "$tmp/controls" ]] || return 1
  awk -F'\t' '$1 == "slider" && $2 == "Software Brightness" { split($4, v, " "); n++; ok += v[1] > 0.655 && v[1] < 0.665 }
    END { exit !(n > 0 && ok == n) }' "$tmp/controls"
}
poll 10 evening_shown || fail "the card does not show the all-displays values: $(grep -s Brightness "$tmp/controls")"
stop_app TERM
at_originals DUMMY1 DUMMY2 || fail "after a quit the monitors are not at their originals"
output_on DUMMY0 1024x768 0x0
at_originals DUMMY0 || fail "the CRTC of the twin unplugged does not hold its original"
echo "display-restore: the selected twin unplugged while stopped leaves all displays selected, on the card and the screens"

# A restore file of the earlier format, by output alone: killed with Evening everywhere, the
# file rewritten so, DUMMY2 switched off before the next start and lit while it runs.
"$check" -o DUMMY0 edid 0 || fail "no EDID could be published on DUMMY0"
store_evening
start_on_host
poll 30 at_evening "${all[@]}" || fail "Evening is not on every monitor"
stop_app KILL
python3 - "$tmp"/runtime/Quellvista/gamma-ramps-*.json <<'PY' || fail "the restore file could not be rewritten"
import json, sys
with open(sys.argv[1]) as f:
    kept = json.load(f)
kept['version'] = 2
for entry in kept['outputs']:
    del entry['crtc'], entry['users']
with open(sys.argv[1], 'w') as f:
    json.dump(kept, f)
PY
output_off DUMMY2
start_on_host
poll 30 at_evening DUMMY0 DUMMY1 || fail "Evening is not on the lit monitors"
grep -q "Output DUMMY2 is not lit; its kept gamma ramp waits" "$tmp/app.log" || fail "the waiting ramp was not logged"
output_on DUMMY2 1600x1200 3968x0
# The tint left on DUMMY2 is Evening over its original too: looked at once it was put back.
put_back() { grep -q "Put back the gamma ramp a previous run left changed on DUMMY2, lit again" "$tmp/app.log"; }
poll 10 put_back || fail "the original of the output lit while running was not put back"
poll 10 at_evening DUMMY2 || fail "the output lit while running does not get Evening over its own original"
stop_app TERM
at_originals "${all[@]}" || fail "after a quit the monitors are not at their originals"
if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "a QML warning"; fi
echo "display-restore: an output kept by the earlier format and lit while running gets its original back"
