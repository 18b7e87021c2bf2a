#!/usr/bin/env bash
# Starts the real application in a real window and checks that the sidebar's logo mark is
# drawn where the offscreen render of the main window draws it, for two seconds after it
# first shows: a mark missing, or drawn elsewhere (at the window's origin, say) fails.
# Uses the X server in DISPLAY, or starts its own when there is none. The application
# gets temporary folders of its own (common.sh).
# Usage: logo-placement.sh APP QV_RENDER QV_MARKCOMPARE
# Leaves the last screenshot and the reference in the working folder.
set -euo pipefail
app="$1" render="$2" compare="$3"
for tool in xdotool import; do
  command -v "$tool" >/dev/null || { echo "logo-placement: $tool is missing (scripts/setup installs it)"; exit 1; }
done

tmp="$(mktemp -d)"
app_pid="" xvfb_pid=""
cleanup() {
  if [[ -n "$app_pid" ]]; then kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null || true; fi
  if [[ -n "$xvfb_pid" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$tmp"
}
trap cleanup EXIT
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

[[ -n "${DISPLAY:-}" ]] || start_xvfb logo-placement
make_isolated

# The reference is drawn on the offscreen platform, by the software renderer the
# application chooses here too: it opens no window that could cover the application's. It
# is light, as the simulated Mac starts.
QT_QPA_PLATFORM=offscreen "${isolated[@]}" "$render" --appearance light --out "$tmp/reference" \
  Quellvista.App/MainWindow >/dev/null 2>"$tmp/render.log" ||
  { echo "logo-placement: the reference could not be rendered"; cat "$tmp/render.log"; exit 1; }
cp "$tmp/reference-light.png" logo-placement-reference.png

window=""
find_window() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  window="$(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null | head -n1)"
  [[ -n "$window" ]]
}
start_app logo-placement find_window

# The mark's place and the window's origin, left of the product name.
check() {
  import -window "$window" "$tmp/live.png" 2>/dev/null &&
    "$compare" --region 0,0,64,110 "$tmp/reference-light.png" "$tmp/live.png" >"$tmp/compare.log"
}
keep() { cp "$tmp/live.png" logo-placement-live.png 2>/dev/null || true; cat "$tmp/compare.log" 2>/dev/null || true; }

if ! poll 30 check; then
  echo "logo-placement: the mark never showed in its place"
  keep
  exit 1
fi
# The mark repaints as it animates: it must stay in its place.
for _ in $(seq 10); do
  sleep 0.2
  if ! check; then
    echo "logo-placement: the mark left its place after it first showed"
    keep
    exit 1
  fi
done
keep
echo "logo-placement: the mark is in its place"
