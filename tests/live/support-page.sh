#!/usr/bin/env bash
# Screenshots of the running application on the Support page, light and dark: the page,
# an update check, a display-notes topic open, the feedback composer open, and the
# composer's error line after a save that cannot be written. With "host" as MACHINE it runs
# on the X server's own screen (the computer's own words) rather than the simulated Mac.
# Usage: support-page.sh APP [OUT_DIR] [MACHINE]
set -euo pipefail
app="$1" out="${2:-.}" machine="${3:-simulated}"
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "support-page: $tool is missing (scripts/setup installs it)"; exit 1; }
done
mkdir -p "$out"

tmp="$(mktemp -d)"
app_pid="" xvfb_pid=""
cleanup() {
  if [[ -n "$app_pid" ]]; then kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null || true; fi
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  chmod -R u+w "$tmp" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
[[ -n "${DISPLAY:-}" ]] || start_xvfb support-page

window=""
find_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  window="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1)"
  [[ -n "$window" ]]
}
# Clicks at a point of the window.
click() {
  xdotool mousemove --window "$window" "$1" "$2" click 1
  sleep 0.6
}
shot() { import -window "$window" "$out/support-$1.png"; }

for mode in light dark; do
  make_isolated
  [[ "$machine" == host ]] && isolated+=(QUELLVISTA_MACHINE=)
  mkdir -p "$tmp/config/Quellvista"
  printf '{"format":"quellvista-defaults","version":1,"values":{"appAppearanceMode":{"t":"string","v":"%s"}}}\n' \
    "$mode" >"$tmp/config/Quellvista/defaults.json"
  start_app support-page find_window
  xdotool windowsize "$window" 1280 860
  sleep 1.5
  # The sidebar's Support entry.
  click "${SUPPORT_X:-110}" "${SUPPORT_Y:-232}"
  shot "$mode"
  # An update check (the feed cannot be reached from here; its message shows).
  click "${CHECK_X:-380}" "${CHECK_Y:-190}"
  sleep 2
  shot "$mode-updates"
  # The display notes, then the first topic.
  click "${NOTES_X:-700}" "${NOTES_Y:-462}"
  click "${TOPIC_X:-700}" "${TOPIC_Y:-525}"
  sleep 0.5
  shot "$mode-topic"
  # The composer.
  click "${LEAVE_X:-862}" "${LEAVE_Y:-205}"
  shot "$mode-composer"
  # A note saved into a folder that cannot be written.
  # A folder in the file's place: the save fails whatever the permissions.
  rm -f "$tmp/data/Quellvista/feedback.json"
  mkdir -p "$tmp/data/Quellvista/feedback.json"
  click "${COMMENT_X:-640}" "${COMMENT_Y:-470}"
  xdotool type --delay 10 "The screen felt calmer after lunch."
  click "${SAVE_X:-822}" "${SAVE_Y:-577}"
  shot "$mode-error"
  rm -rf "$tmp/data"
  kill "$app_pid"; wait "$app_pid" 2>/dev/null || true; app_pid=""
done
echo "support-page: screenshots in $out"
