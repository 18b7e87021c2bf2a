#!/usr/bin/env bash
# The main window keeps peace with the window manager on two monitors (Xorg's dummy video
# driver, 2048x1536 on the left, 1920x1080 on the right), with openbox and without a
# window manager, with either monitor primary at the start:
#  1. the window is moved onto the right-hand monitor, as a drag does;
#  2. that monitor is switched off, and lit again;
#  3. the other monitor becomes primary; the window is closed (Ctrl+W) and opened again;
#  4. the window is made 3800 x 1150, across both monitors;
#  5. moved above the top edge, its middle on neither monitor, and the right-hand monitor
#     switched off and lit again twice: the window is fitted once, said once in the log,
#     and the main thread keeps answering the window manager's ping (it runs no more than
#     a second while one waits);
#  6. it is made of its usual size across both.
# Then, for QUIET seconds (default 15), the window stays where it is, the application
# uses under 5 % of a core, the X server under 10 %, and openbox's memory stays flat; a
# SIGTERM ends the application by its ordinary quit within a second. The figures are printed.
# Usage: window-manager-fit.sh APP PROBE [QUIET] (PROBE: qv_x11probe)
set -euo pipefail
app="$1" probe="$2" quiet="${3:-15}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check window-manager-fit openbox xdotool xrandr xwininfo xprop -- app_pid wm_pid ping_pid

fail() {
  echo "window-manager-fit: $1"
  tail -n 20 "$tmp/app.log" 2>/dev/null || true
  exit 1
}
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
rss_kib() { awk '/^VmRSS:/ {print $2}' "/proc/$1/status"; }
geometry() { xdotool getwindowgeometry "$window" 2>/dev/null | tr -s ' \n' ' '; }
# For poll: the window's place and size the same over a second.
settled() {
  local before
  before="$(geometry)"
  sleep 1
  [[ "$(geometry)" == "$before" ]]
}
on_left() {
  local X Y WIDTH HEIGHT
  eval "$(xdotool getwindowgeometry --shell "$window")"
  ((X >= 0 && X + WIDTH <= 2048))
}
percent() { awk -v t="$1" -v hz="$hz" -v s="$quiet" 'BEGIN {printf "%.1f", t * 100 / hz / s}'; }
main_closed() { ! find_main; }
wm_ready() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

start_dummy_xorg window-manager-fit
output_on DUMMY1 1920x1080 2048x0
xrandr >/dev/null # the probe a desktop makes at login
make_isolated
isolated+=(QUELLVISTA_MACHINE=)
hz="$(getconf CLK_TCK)"

reproduce() {
  local wm="$1" first="$2" second=DUMMY0 case
  [[ "$first" == DUMMY0 ]] && second=DUMMY1
  case="$wm, $first primary first"
  output_on DUMMY1 1920x1080 2048x0
  xrandr --current --output "$first" --primary
  if [[ "$wm" == openbox ]]; then
    HOME="$tmp/home" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
    wm_pid=$!
    poll 20 wm_ready || fail "openbox did not start"
  fi
  start_app window-manager-fit find_main
  sleep 1
  local wm_before=0
  [[ -n "$wm_pid" ]] && wm_before="$(rss_kib "$wm_pid")"

  # 1. Onto the right-hand monitor.
  xdotool windowmove "$window" 2300 100
  sleep 2
  # 2. Its monitor switched off (the window comes onto the other one), then lit again.
  output_off DUMMY1
  poll 5 on_left || fail "$case: the window stayed on the monitor switched off: $(geometry)"
  sleep 1
  output_on DUMMY1 1920x1080 2048x0
  sleep 1
  # 3. The other monitor primary; closed and opened again (a second start asks the
  #    running one to show its window, as the pop-over's Open does).
  xrandr --current --output "$second" --primary
  sleep 1
  poll 10 find_main || fail "$case: no main window before Ctrl+W"
  xdotool windowfocus --sync "$window" key ctrl+w
  poll 10 main_closed || fail "$case: Ctrl+W did not close the window"
  "${isolated[@]}" "$app" >>"$tmp/second.log" 2>&1 || fail "$case: the second start failed"
  poll 10 find_main || fail "$case: the window did not come back"
  sleep 1
  # 4. Across both monitors, 3800 x 1150: left there.
  xdotool windowsize "$window" 3800 1150 windowmove "$window" 100 50
  # On a loaded machine the window manager may carry out the move seconds later: what is
  # checked is that the window stays once it has come to rest.
  poll 15 settled || fail "$case: the window across both never comes to rest: $(geometry)"
  local placed
  placed="$(geometry)"
  sleep 2
  [[ "$(geometry)" == "$placed" ]] || fail "$case: the window across both moves: $placed, then $(geometry)"
  # 5. Above the top edge, larger than either monitor; one monitor off and on, twice.
  local longest busiest fitted
  "$probe" ping "$window" 10 "$app_pid" >"$tmp/ping.txt" &
  ping_pid=$!
  xdotool windowmove "$window" 100 -700
  sleep 1
  for _ in 1 2; do
    output_off DUMMY1
    sleep 0.3
    output_on DUMMY1 1920x1080 2048x0
    sleep 0.3
  done
  poll 15 settled || fail "$case: the window above the top edge never comes to rest: $(geometry)"
  wait "$ping_pid" || fail "$case: the ping probe failed"
  ping_pid=""
  read -r longest busiest <"$tmp/ping.txt"
  fitted="$(grep -c 'Quellvista.Window: .* is larger than every screen: fitted' "$tmp/app.log" || true)"
  echo "window-manager-fit: $case: above the top edge, a monitor off and on twice: fitted ${fitted} times;" \
    "the longest wait for a ping ${longest} ms, the main thread ran at most ${busiest} ms while one waited"
  ((busiest <= 1000)) || fail "$case: the main thread ran ${busiest} ms while a ping waited"
  ((fitted == 1)) || fail "$case: the window larger than every screen was fitted ${fitted} times"
  # 6. The idle window's paint costs in proportion to its area (a 3800 x 1150 one over 4 %):
  #    the quiet time is measured with one of the usual size, still across both.
  xdotool windowsize "$window" 1100 760 windowmove "$window" 1500 100
  poll 15 settled || fail "$case: the window of the usual size never comes to rest: $(geometry)"

  local app_ticks x_ticks wm_quiet=0
  app_ticks="$(ticks "$app_pid")" x_ticks="$(ticks "$xorg_pid")" placed="$(geometry)"
  [[ -n "$wm_pid" ]] && wm_quiet="$(rss_kib "$wm_pid")"
  sleep "$quiet"
  local app_used x_used wm_after=0
  app_used=$(($(ticks "$app_pid") - app_ticks)) x_used=$(($(ticks "$xorg_pid") - x_ticks))
  [[ -n "$wm_pid" ]] && wm_after="$(rss_kib "$wm_pid")"
  echo "window-manager-fit: $case: application $(percent "$app_used") %, X server $(percent "$x_used") %" \
    "over ${quiet} s; window manager ${wm_before} KiB before the steps, ${wm_quiet} -> ${wm_after} KiB" \
    "over the quiet time; window $(geometry)"
  [[ "$(geometry)" == "$placed" ]] || fail "$case: the window still moves: $placed, then $(geometry)"
  ((app_used * 100 < 5 * hz * quiet)) || fail "$case: the application uses $(percent "$app_used") % of a core"
  ((x_used * 100 < 10 * hz * quiet)) || fail "$case: the X server uses $(percent "$x_used") % of a core"
  ((wm_quiet - wm_before < 4096 && wm_after - wm_quiet < 1024)) ||
    fail "$case: the window manager grew from ${wm_before} to ${wm_quiet} and ${wm_after} KiB"

  local asked took status=0
  asked=$(date +%s%N)
  kill -TERM "$app_pid"
  ended() { ! kill -0 "$app_pid" 2>/dev/null; }
  poll 5 ended || fail "$case: SIGTERM did not end the application"
  took=$((($(date +%s%N) - asked) / 1000000))
  ((took <= 1000)) || fail "$case: SIGTERM took $took ms"
  echo "window-manager-fit: $case: SIGTERM ended the application in $took ms"
  wait "$app_pid" 2>/dev/null || status=$?
  app_pid=""
  # The watchdog's way ends the process as the signal does (143); the ordinary quit with 0.
  ((status == 0)) || fail "$case: SIGTERM ended the application with status $status, not by its quit"
  if grep -q "qrc:.*\.qml.*:" "$tmp/app.log"; then fail "$case: a QML warning"; fi
  if [[ -n "$wm_pid" ]]; then
    kill "$wm_pid"
    wait "$wm_pid" 2>/dev/null || true
    wm_pid=""
  fi
}

for wm in openbox none; do
  for first in DUMMY0 DUMMY1; do reproduce "$wm" "$first"; done
done
echo "window-manager-fit: moves, a monitor switched off, the primary changed and a window across both settle at once"
