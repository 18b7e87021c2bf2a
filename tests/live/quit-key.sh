#!/usr/bin/env bash
# Random use ending in Ctrl+Q, under openbox beside a tray on an X server of its own, the
# application on the X server's own screen with Evening on its gamma ramp. Each run starts
# the application, does a few random things (sections, the feedback composer, typing, a
# break started by its hot key and skipped with a click or Esc, Esc twice, preset hot keys,
# the main window closed and brought back by a second start, the pop-over opened from the
# tray) and presses Ctrl+Q while one of its windows has the keyboard. Skip with no break
# showing first starts one by the hot key. Before Ctrl+Q the stored preset must be on the
# ramp; a Skip's panel must be gone within 2 s (it may stay a second while the keyboard goes
# back); the process must end within 5 s of Ctrl+Q with the original ramp back and no QML
# warning. Ctrl+Q goes where the keyboard is, and fails when no window of the application has
# it; a random run whose actions left it with none (the main window closed, the pop-over
# gone) first brings one forward as a user would, with an action of its own ("focus", or
# "second" when the main window is closed); replayed runs do only what they name.
# A failure prints the seed and the run's actions. QV_QUIT_REPLAY="ACTION... , ACTION..."
# plays runs of given actions (spaces in an action as "_") before the random ones.
# Usage: quit-key.sh APP GAMMACHECK [RUNS [SEED]]   (also QV_QUIT_RUNS and QV_QUIT_SEED;
#        default: 4 random runs, none after replays, a seed from the clock)
set -euo pipefail
app="$1" check="$2"
IFS=, read -r -a replays <<<"${QV_QUIT_REPLAY:-}"
runs="${3:-${QV_QUIT_RUNS:-$((${#replays[@]} ? 0 : 4))}}" seed="${4:-${QV_QUIT_SEED:-$(date +%s)}}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check quit-key Xvfb openbox trayer xdotool xprop xwininfo -- app_pid second_pid tray_pid wm_pid

start_xvfb quit-key
"$check" save "$tmp/original" || { echo "quit-key: the X server has no gamma ramp to read"; exit 1; }
make_isolated
isolated+=(QUELLVISTA_MACHINE= QUELLVISTA_CONTROL_LIST="$tmp/controls"
  QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true;com.tebrix.Quellvista.BreakReminder.info=true")
# The tray first: openbox puts its panel in a frame of its own, where start_tray does not look.
start_tray quit-key
HOME="$tmp/home" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }
poll 20 wm_ready || { echo "quit-key: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }
evening="$("$check" values Evening 0.65)"

run=0 actions=()
fail() {
  echo "quit-key: run $run of seed $seed: $*"
  echo "quit-key: actions: ${actions[*]}"
  echo "quit-key: replay: QV_QUIT_REPLAY='${actions[*]}' $0 $app $check 0"
  echo "--- application log"; cat "$tmp/app.log"
  exit 1
}
alive() { kill -0 "$app_pid" 2>/dev/null || fail "the application ended after ${actions[-1]}"; }
# As poll, within MS milliseconds.
within() {
  local end=$((${EPOCHREALTIME/./} + $1 * 1000)) status
  shift
  while true; do
    "$@" && return 0
    status=$?
    ((status == 1)) || return "$status"
    ((${EPOCHREALTIME/./} < end)) || return 1
    sleep 0.05
  done
}
# Whether the preset the application stored is on the ramp (the original ramp for Neutral or
# with the tuning switched off); sets stored.
stored=""
stored_on_ramp() {
  stored="$(python3 -c '
import json, sys
values = json.load(open(sys.argv[1]))["values"]
value = lambda key, default: values.get(key, {}).get("v", default)
enabled = value("tuning.enabled", True)
print(value("activePreset", "Neutral") if enabled in (True, "true") else "off", value("profileIntensity", 0.65))
' "$tmp/config/Quellvista/defaults.json" 2>/dev/null)" || return 1
  local name="${stored% *}" intensity="${stored##* }"
  if [[ "$name" == Neutral || "$name" == off ]]; then
    "$check" near "$tmp/original"
  else
    "$check" preset "$name" "$intensity" "$tmp/original" >/dev/null
  fi
}
# The centre of the control of that kind and name in the control list (written each
# second); sets cx and cy.
control() {
  local line
  line="$(awk -F'\t' -v k="$1" -v n="$2" '$1 == k && $2 == n { print $3; exit }' "$tmp/controls" 2>/dev/null)"
  [[ -n "$line" ]] || return 1
  read -r cx cy cw ch <<<"$line"
  cx=$((cx + cw / 2)) cy=$((cy + ch / 2))
}
panel=""
find_panel() { panel="$(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null | head -n1)"; [[ -n "$panel" ]]; }
no_panel() { ! find_panel; }
no_main() { ! find_main; }
# Whether one of the application's windows has the keyboard.
ours_focused() {
  local focus
  focus="$(xdotool getwindowfocus 2>/dev/null)" || return 1
  [[ "$(xdotool getwindowpid "$focus" 2>/dev/null)" == "$app_pid" ]]
}
second_start() {
  "${isolated[@]}" "$app" >"$tmp/second.log" 2>&1 &
  second_pid=$!
  second_ended() { ! kill -0 "$second_pid" 2>/dev/null; }
  poll 15 second_ended || fail "the second start did not end"
  second_pid=""
  poll 15 find_main || fail "a second start did not bring the window back"
}

# Does one action (its name, with what it chose after a colon).
act() {
  actions+=("${1// /_}")
  case "$1" in
  section:*)
    control button "${1#section:}" && xdotool mousemove "$cx" "$cy" click 1 ;;
  settings)
    control button settingsGear && xdotool mousemove "$cx" "$cy" click 1 ;;
  composer)
    if control button leaveComment; then
      xdotool mousemove "$cx" "$cy" click 1
      poll 5 control text commentEditor || true
    fi
    ;;
  type) xdotool type --delay 15 "calm eyes" ;;
  break)
    xdotool key super+shift+b
    poll 5 find_panel || fail "the break hot key brought no panel" ;;
  skip)
    if find_panel; then
      poll 3 control button skipButton || fail "no Skip Break in the control list"
      xdotool mousemove "$cx" "$cy" click 1
      within 2000 no_panel || fail "a click on Skip Break left the panel for more than 2 s"
    fi
    ;;
  popover)
    poll 10 tray_icon_geometry || fail "no icon in the tray"
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
    ;;
  escape) xdotool key Escape ;;
  escape2) xdotool key Escape Escape ;;
  skipesc)
    if find_panel; then
      poll 3 control button skipButton || fail "no Skip Break in the control list"
      xdotool mousemove "$cx" "$cy" click 1 key Escape
      within 2000 no_panel || fail "Skip Break and Escape left the panel for more than 2 s"
    fi
    ;;
  preset:*) xdotool key "super+shift+${1#preset:}" ;;
  close)
    # Not while a break's panel covers the window (and keeps the keyboard from it).
    if find_main && ! find_panel; then
      xdotool windowactivate --sync "$window" key ctrl+w 2>/dev/null || true
      poll 10 no_main || fail "Ctrl+W left the main window"
    fi
    ;;
  second) second_start ;;
  focus) find_main && { xdotool windowactivate "$window" 2>/dev/null || true; } ;;
  pause) sleep 0.5 ;;
  quit)
    # Ctrl+Q where the keyboard is, which must be with a window of the application.
    within 2000 ours_focused || fail "no window of the application has the keyboard for Ctrl+Q"
    within 3000 stored_on_ramp || fail "the stored preset ($stored) is not on the ramp before Ctrl+Q"
    [[ -z "${QV_TRACE:-}" ]] || echo "quit-key: $stored on the ramp before Ctrl+Q"
    local focus
    focus="$(xdotool getwindowname "$(xdotool getwindowfocus)" 2>/dev/null || true)"
    xdotool key ctrl+q
    ended() { ! kill -0 "$app_pid" 2>/dev/null; }
    within 5000 ended || fail "Ctrl+Q in \"$focus\" did not end the application within 5 s"
    local status=0
    wait "$app_pid" || status=$?
    app_pid=""
    ((status == 0)) || fail "the application ended with status $status after Ctrl+Q"
    "$check" same "$tmp/original" || fail "the original gamma ramp is not back after Ctrl+Q"
    ! grep -q 'qml:\|\.qml:[0-9]' "$tmp/app.log" || fail "QML warnings"
    ;;
  *) fail "no action $1" ;;
  esac
  [[ "$1" == quit ]] || alive
}

ready() { find_main && grep -q 'Global shortcuts registered' "$tmp/app.log" && find_tray_icon; }
choices=(section:"Display & Comfort" section:"Blink Detection" section:"Break Reminders" section:Support
  section:Support settings composer composer type break break skip skip skipesc escape escape2 preset:n preset:r preset:d
  close close second focus popover popover pause)
RANDOM=$seed
total=$((${#replays[@]} + runs))
echo "quit-key: seed $seed, $total runs"
started=$SECONDS
for ((run = 1; run <= total; run++)); do
  actions=()
  rm -f "$tmp/controls"
  store "\"activePreset\":{\"t\":\"string\",\"v\":\"Evening\"},\"profileIntensity\":{\"t\":\"double\",\"v\":0.65},$evening"
  start_app quit-key ready
  poll 5 test -s "$tmp/controls" || fail "no control list"
  within 5000 ours_focused || fail "the main window did not get the keyboard at start"
  if ((run <= ${#replays[@]})); then
    read -r -a replay <<<"${replays[run - 1]}"
    for a in "${replay[@]}"; do act "${a//_/ }"; done
  else
    for ((i = RANDOM % 9; i > 0; i--)); do
      a="${choices[RANDOM % ${#choices[@]}]}"
      [[ "$a" != skip* ]] || find_panel || act break
      act "$a"
    done
    # The user brings a window of the application forward where none has the keyboard.
    if ! within 2000 ours_focused; then
      if find_main; then act focus; else act second; fi
    fi
    act quit
  fi
  [[ -z "${QV_TRACE:-}" ]] || echo "quit-key: run $run: ${actions[*]}"
done
echo "quit-key: Ctrl+Q ended the application $total times in $total, the ramp put back each time ($((SECONDS - started)) s)"
