#!/usr/bin/env bash
# Measures the start: from the process's start to the X server mapping the main window
# ("Quellvista"), on the built-in simulated Mac under a virtual X server, over several
# runs (each with a fresh settings folder, the QML cache warm after the first). Prints
# each run's milliseconds and their median.
# Usage: bench/start-time.sh [build folder] [runs]
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
start_xvfb start-time
times=()
for ((i = 0; i < runs; i++)); do
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/runtime" "$tmp/sockets"
  make_isolated
  # Into a file: the application inherits the output, and would hold a pipe open.
  "${isolated[@]}" XDG_CACHE_HOME="$tmp/cache" "$probe" Quellvista 20000 "$app" >"$tmp/probe.out" 2>/dev/null || true
  ms="$(sed -n 1p "$tmp/probe.out")"
  app_pid="$(sed -n 2p "$tmp/probe.out")"
  kill "$app_pid" 2>/dev/null || true
  wait "$app_pid" 2>/dev/null || true
  while kill -0 "$app_pid" 2>/dev/null; do sleep 0.05; done
  app_pid=""
  echo "run $((i + 1)): $ms ms"
  times+=("$ms")
done
printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {print "median: " a[int((NR+1)/2)] " ms"}'
