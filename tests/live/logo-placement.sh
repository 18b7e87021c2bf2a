#!/usr/bin/env bash
# Starts the real application in a real window and checks that the sidebar's logo mark is
# drawn where the offscreen render of the main window draws it, for two seconds after it
# first shows: a mark missing, or drawn elsewhere (at the window's origin, say) fails.
# Uses the X server in DISPLAY, or starts its own when there is none. The application
# gets temporary home, settings, data and runtime folders, and its own folder for the
# single-instance socket, so it neither touches the user's settings nor hands over to a
# copy that is already running.
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

# Runs a command every 0.1 s while it answers 1 (not yet) and the seconds last; returns
# 0 once it succeeds, 1 when time ran out, or the command's own answer above 1 (give up).
poll() {
  local end=$((SECONDS + $1)) status
  shift
  while true; do
    "$@" && return 0
    status=$?
    ((status == 1)) || return "$status"
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}

if [[ -z "${DISPLAY:-}" ]]; then
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  poll 10 test -s "$tmp/display" || { echo "logo-placement: Xvfb did not start"; exit 1; }
  export DISPLAY=":$(head -n1 "$tmp/display")"
fi

mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime" "$tmp/sockets"
chmod 700 "$tmp/runtime"
isolated=(env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
  XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" TMPDIR="$tmp/sockets")

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
# An X server without clients resets itself, and a connection made at that moment is
# refused: an application that exits before showing its window is started again.
for attempt in 1 2 3; do
  "${isolated[@]}" "$app" >"$tmp/app.log" 2>&1 &
  app_pid=$!
  status=0
  poll 30 find_window || status=$?
  ((status == 0)) && break
  if kill -0 "$app_pid" 2>/dev/null; then
    echo "logo-placement: no window appeared"
    cat "$tmp/app.log"
    exit 1
  fi
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
  if ((attempt == 3)); then
    echo "logo-placement: the application exited:"
    cat "$tmp/app.log"
    exit 1
  fi
  sleep 0.2
done

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
