#!/usr/bin/env bash
# Measures the comfort veil on headless sway (as nobody, with XWayland, pixman rendering,
# one output, 1280x720 as headless sway makes it): the CPU of the application, sway and XWayland while the veil
# stands still (SECONDS_STILL, 10 by default) and while presets fade one into the other (an
# editor's window, assigned Focus, and a browser's, assigned Reading, focused in turn once
# a second for as long), and the application's resident memory at the end. Runs as root
# (sway refuses it and runs as nobody). QT_QPA_PLATFORM passes through to the application
# (unset: its windows go through XWayland). Give another build's binary (the main
# checkout's, say) to compare: one without layer surfaces shows the veil as an X window.
# Usage: bench/layer-veil-cpu.sh [application binary]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
app="${1:-$root/build/default/src/quellvista}"
seconds="${SECONDS_STILL:-10}"
source "$root/tests/live/common.sh"
name="layer-veil-cpu"
begin_check "$name" sway swaymsg swaybar Xwayland foot setpriv python3 bc -- app_pid editor_pid browser_pid sway_pid \
  bus_pid
start_headless_sway "$name" enable
make_isolated
store '"appAwareComfortEnabled":{"t":"bool","v":true},
 "appAware.customProfiles":{"t":"dict","v":{"qv-editor":{"t":"string","v":"Focus"},"qv-browser":{"t":"string","v":"Reading"}}}'
isolate_for_nobody
isolated+=(QUELLVISTA_MACHINE= QT_LOGGING_RULES="com.tebrix.Quellvista.PresetManager.info=true")
[[ -z "${QT_QPA_PLATFORM:-}" ]] || isolated+=(QT_QPA_PLATFORM="$QT_QPA_PLATFORM")
alive() { kill -0 "$app_pid" 2>/dev/null || return 2; }
main_shown() { alive && { sway_window Quellvista || sway_window com.tebrix.Quellvista; }; }
start_app "$name" main_shown
"${as_nobody[@]}" foot --app-id=qv-browser -o workers=1 sleep 1000000 >/dev/null 2>&1 &
browser_pid=$!
poll 20 sway_window qv-browser focused || { echo "$name: the browser's window did not come"; exit 1; }
"${as_nobody[@]}" foot --app-id=qv-editor -o workers=1 sleep 1000000 >/dev/null 2>&1 &
editor_pid=$!
poll 20 sway_window qv-editor focused || { echo "$name: the editor's window did not come"; exit 1; }
applied() { grep -q "Applying preset: Focus" "$tmp/app.log"; }
poll 20 applied || { echo "$name: Focus was not applied"; cat "$tmp/app.log"; exit 1; }
sleep 3
grep -o "Overlays: [^(;,]*" "$tmp/app.log" | head -n1 || echo "Overlays: X11 windows (no line about them)"

xwayland_pid="$(pgrep -u nobody -x Xwayland | head -n1)"
ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
hz=$(getconf CLK_TCK)
measure() { # label, then the command that runs for $seconds
  local label="$1" a s x
  shift
  a=$(ticks "$app_pid") s=$(ticks "$sway_pid") x=$(ticks "$xwayland_pid")
  "$@"
  printf '%-8s application %5s %%, sway %5s %%, Xwayland %5s %% of one core over %s s\n' "$label" \
    "$(echo "scale=1; 100 * ($(ticks "$app_pid") - $a) / $hz / $seconds" | bc)" \
    "$(echo "scale=1; 100 * ($(ticks "$sway_pid") - $s) / $hz / $seconds" | bc)" \
    "$(echo "scale=1; 100 * ($(ticks "$xwayland_pid") - $x) / $hz / $seconds" | bc)" "$seconds"
}
fades() {
  local i
  for ((i = 0; i < seconds; i++)); do
    swaymsg -s "$swaysock" "[app_id=\"^qv-$([[ $((i % 2)) == 0 ]] && echo browser || echo editor)\$\"] focus" >/dev/null
    sleep 1
  done
}
measure still sleep "$seconds"
measure fading fades
echo "Presets applied: $(grep -c "Applying preset:" "$tmp/app.log")"
echo "application: $(($(awk '/^VmRSS:/ {print $2}' "/proc/$app_pid/status") / 1024)) MB resident at the end"
