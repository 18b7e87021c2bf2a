#!/usr/bin/env bash
# Measures the CPU the application uses with its main window open and idle: starts it on
# the built-in simulated Mac under a virtual X server, waits for it to settle, then reads
# the process's user and system time (all its threads, the software renderer's
# included) from /proc over the given seconds (10 by default). Prints percent of one core
# and the resident memory at the end.
# Usage: bench/idle-cpu.sh [build folder] [seconds]
# QT_QUICK_BACKEND or QSG_RHI_BACKEND (e.g. QSG_RHI_BACKEND=opengl) pass through to force
# a scene-graph renderer. DEFAULTS=FILE starts the application with that defaults store
# (e.g. bench/break-page-running.json: the Break Reminders page with its countdown running).
# HIDE=cover lays another window over the whole screen before measuring; HIDE=minimise
# and HIDE=workspace run a window manager (openbox) and minimise the window or switch to
# another workspace; HIDE=saver activates the X screen saver. COMPOSITOR=1 runs a window
# manager (openbox) and a compositing manager (xcompmgr) first. The frames the window drew
# while measured are counted from the scene graph's own log and printed as frames a second.
# SECTION="Break Reminders" (any sidebar name) opens that page; TRAY=1 runs a system tray
# (trayer) first; CLOSE=1 closes the window so that only the tray icon stays; WAKEUPS=1
# also counts the main thread's wake-ups (strace).
# BREAK=1 closes the main window, starts a break with the hot key and measures the
# full-screen break panel from 3 s after it came (DEFAULTS=bench/break-panel.json: a break
# of 5 minutes). DISPLAY_NUMBER=N takes that X display instead of a random one. PEER="command" measures
# that program instead, in the same setting (another application to compare with).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
seconds="${2:-10}"
app="$build/src/quellvista"
home="$(mktemp -d)"
wm="" cover="" tray="" compositor=""
trap 'kill $wm $cover $tray $compositor "$xvfb" 2>/dev/null || true; rm -rf "$home"' EXIT
# A display number of the server's own choosing: runs side by side never share one.
if [[ -n "${DISPLAY_NUMBER:-}" ]]; then
  display=":$DISPLAY_NUMBER"
  Xvfb "$display" -screen 0 1920x1200x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  sleep 1
else
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp 3>"$home/display" >/dev/null 2>&1 &
  xvfb=$!
  for _ in $(seq 100); do [[ -s "$home/display" ]] && break; sleep 0.05; done
  display=":$(head -n1 "$home/display")"
fi
if [[ -n "${TRAY:-}" ]]; then
  DISPLAY="$display" trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
  tray=$!
  sleep 1
fi
if [[ "${HIDE:-}" == minimise || "${HIDE:-}" == workspace || -n "${COMPOSITOR:-}" ]]; then
  DISPLAY="$display" openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  DISPLAY="$display" xdotool set_num_desktops 2 >/dev/null 2>&1 || true
fi
if [[ -n "${COMPOSITOR:-}" ]]; then
  DISPLAY="$display" xcompmgr >/dev/null 2>&1 &
  compositor=$!
  sleep 1
fi
mkdir -p "$home/config/Quellvista"
if [[ -n "${DEFAULTS:-}" ]]; then
  cp "$DEFAULTS" "$home/config/Quellvista/defaults.json"
elif [[ -n "${SECTION:-}" ]]; then
  echo "{\"format\":\"quellvista-defaults\",\"version\":1,\"values\":{\"mainWindow.selectedSection\":{\"t\":\"string\",\"v\":\"$SECTION\"}}}" \
    >"$home/config/Quellvista/defaults.json"
fi
if [[ -n "${PEER:-}" ]]; then
  env DISPLAY="$display" HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
    XDG_RUNTIME_DIR="$home" TMPDIR="$home" $PEER >/dev/null 2>"$home/app.log" &
else
env DISPLAY="$display" QT_LOGGING_RULES="qt.scenegraph.time.renderloop=true" ${QT_QUICK_BACKEND:+QT_QUICK_BACKEND=$QT_QUICK_BACKEND} ${QSG_RHI_BACKEND:+QSG_RHI_BACKEND=$QSG_RHI_BACKEND} HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" \
  XDG_RUNTIME_DIR="$home" TMPDIR="$home" "$app" >/dev/null 2>"$home/app.log" &
fi
pid=$!
sleep 4
if [[ -n "${CLOSE:-}${BREAK:-}" && -z "${PEER:-}" ]]; then
  main="$(DISPLAY="$display" xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
  DISPLAY="$display" xdotool mousemove 500 400 click 1 windowfocus --sync "$main" key ctrl+w
  sleep 2
fi
if [[ -n "${BREAK:-}" && -z "${PEER:-}" ]]; then
  DISPLAY="$display" xdotool key super+shift+b
  for _ in $(seq 50); do
    DISPLAY="$display" xdotool search --onlyvisible --name '^Quellvista overlay$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  DISPLAY="$display" xdotool search --onlyvisible --name '^Quellvista overlay$' >/dev/null 2>&1 ||
    { echo "no break panel"; exit 1; }
  sleep 3
fi
case "${HIDE:-}" in
  cover)
    DISPLAY="$display" xmessage -geometry 1920x1200+0+0 "covering" >/dev/null 2>&1 &
    cover=$!
    ;;
  minimise)
    DISPLAY="$display" xdotool search --onlyvisible --name '^Quellvista$' windowminimize >/dev/null 2>&1
    ;;
  workspace)
    DISPLAY="$display" xdotool set_desktop 1 >/dev/null 2>&1
    ;;
  saver)
    DISPLAY="$display" xset s activate
    ;;
esac
[[ -z "${HIDE:-}" ]] || sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
a=$(ticks "$pid"); x=$(ticks "$xvfb"); f0=$(grep -c "Frame rendered" "$home/app.log" || true)
if [[ -n "${WAKEUPS:-}" ]]; then
  # Every system call by which the main thread waits for its next event.
  timeout "$seconds" strace -qq -e trace=poll,ppoll -p "$pid" -o "$home/wakeups" 2>/dev/null || true
else
  sleep "$seconds"
fi
b=$(ticks "$pid"); y=$(ticks "$xvfb"); f1=$(grep -c "Frame rendered" "$home/app.log" || true)
rss=$(awk '/^VmRSS:/ {print $2}' "/proc/$pid/status")
kill "$pid"
wait "$pid" 2>/dev/null || true
name="${PEER:+${PEER%% *}}"
name="${name:-quellvista}"
echo "$name: $(echo "scale=2; 100 * ($b - $a) / $hz / $seconds" | bc) % of one core over $seconds s"
echo "Xvfb:       $(echo "scale=2; 100 * ($y - $x) / $hz / $seconds" | bc) % of one core over $seconds s"
echo "$name: $((rss / 1024)) MB resident at the end"
[[ -n "${PEER:-}" ]] || echo "quellvista: $(echo "scale=1; ($f1 - $f0) / $seconds" | bc) frames a second"
if [[ -n "${WAKEUPS:-}" ]]; then
  # The event loop polls all its sources at once; a poll with a time-out other than 0 is a
  # sleep, and its return a wake-up (a poll of the X connection alone waits for a reply).
  wakeups=$(awk '/^p?poll\(\[\{fd=[0-9]+, events=[A-Z|]+\}, \{/ && $0 !~ /\], [0-9]+, 0\)/ && $0 !~ /\{tv_sec=0, tv_nsec=0\}/ {n++} END {print n + 0}' "$home/wakeups")
  echo "$name: $(echo "scale=1; $wakeups / $seconds" | bc) wake-ups of the main thread a second"
fi
