#!/usr/bin/env bash
# Measures the start: from the process's start to the X server mapping the main window
# ("Quellvista"), on the built-in simulated Mac under a virtual X server, over several
# runs (each with a fresh settings folder, the QML cache warm after the first). Prints
# each run's milliseconds and their median.
# Usage: bench/start-time.sh [build folder] [runs]
# FIRST=1 gives every run an empty cache folder, so that each is a first start.
# PEER="command" and PEER_WINDOW=title time another program's first window in turn with
# each run (alternated, the same settings), and print its median too. DISPLAY_NUMBER=N
# takes that X display.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
runs="${2:-9}"
app="$build/src/quellvista"
probe="$build/bench/qv_first_window"
tmp="$(mktemp -d)"
app_pid="" xvfb_pid=""
trap 'stop_all "$app_pid"' EXIT
source "$root/tests/live/common.sh"
if [[ -n "${DISPLAY_NUMBER:-}" ]]; then
  Xvfb ":$DISPLAY_NUMBER" -screen 0 1920x1200x24 -nolisten tcp -noreset >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$DISPLAY_NUMBER"
  poll 10 xdpyinfo >/dev/null 2>&1
else
  start_xvfb start-time
fi
# Starts one program fresh and prints the milliseconds to its window named $1.
time_start() {
  local name="$1"
  shift
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/runtime" "$tmp/sockets"
  [[ -z "${FIRST:-}" ]] || rm -rf "$tmp/cache"
  make_isolated
  # Into a file: the application inherits the output, and would hold a pipe open.
  "${isolated[@]}" XDG_CACHE_HOME="$tmp/cache" "$probe" "$name" 20000 "$@" >"$tmp/probe.out" 2>/dev/null || true
  app_pid="$(sed -n 2p "$tmp/probe.out")"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  while kill -0 "$app_pid" 2>/dev/null; do sleep 0.05; done
  app_pid=""
  sed -n 1p "$tmp/probe.out"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
times=() peer_times=()
for ((i = 0; i < runs; i++)); do
  ms="$(time_start Quellvista "$app")"
  times+=("$ms")
  if [[ -n "${PEER:-}" ]]; then
    # shellcheck disable=SC2086 # the command is split into its words
    peer_ms="$(time_start "${PEER_WINDOW:?PEER_WINDOW names the window to wait for}" $PEER)"
    peer_times+=("$peer_ms")
    echo "run $((i + 1)): $ms ms, ${PEER%% *} $peer_ms ms"
  else
    echo "run $((i + 1)): $ms ms"
  fi
done
echo "median: $(printf '%s\n' "${times[@]}" | median) ms"
[[ -z "${PEER:-}" ]] || echo "${PEER%% *} median: $(printf '%s\n' "${peer_times[@]}" | median) ms"
