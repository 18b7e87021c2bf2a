#!/usr/bin/env bash
# Every page of the main window open and idle, beside another build and Workrave: for each
# round and page, runs idle-cpu.sh on this build, on a second build and on Workrave at the
# same moment (each under its own Xvfb with a tray) and prints one line per page with the
# three figures and the load average.
# Usage: bench/idle-pages.sh BUILD OTHER_BUILD [seconds] [rounds]
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
build="$1" other="$2" seconds="${3:-36}" rounds="${4:-3}"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
pages=("Display & Comfort" "Blink Detection" "Break Reminders" "counting" "Support" "Settings")
figure() { awk '/% of one core/ && !/Xvfb/ {c=$2} /frames a second/ {f=$2} END {printf "%s %%%s", c, (f == "" ? "" : ", " f " frames/s")}' "$1"; }
for ((round = 1; round <= rounds; round++)); do
  for page in "${pages[@]}"; do
    if [[ "$page" == counting ]]; then
      setting=(DEFAULTS="$here/break-page-running.json")
    else
      setting=(SECTION="$page")
    fi
    load="$(cut -d' ' -f1 /proc/loadavg)"
    env TRAY=1 "${setting[@]}" "$here/idle-cpu.sh" "$build" "$seconds" >"$out/a" 2>&1 &
    a=$!
    env TRAY=1 "${setting[@]}" "$here/idle-cpu.sh" "$other" "$seconds" >"$out/b" 2>&1 &
    b=$!
    env TRAY=1 PEER=workrave "$here/idle-cpu.sh" "$build" "$seconds" >"$out/w" 2>&1 &
    w=$!
    wait "$a" "$b" "$w" || true
    for f in a b w; do grep -q "% of one core" "$out/$f" || { echo "failed run:"; tail -n 5 "$out/$f"; }; done
    echo "round $round, $page (load $load): $(figure "$out/a") | other $(figure "$out/b") | workrave $(figure "$out/w")"
  done
done
