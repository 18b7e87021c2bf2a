#!/usr/bin/env bash
# Measures the start as a user has it: the application on the computer itself (host mode),
# each run under an X server of its own (Xvfb -noreset) with a D-Bus session bus of its own
# (dbus-daemon), from the moment the program is started to the X server's MapNotify of its
# main window, seen by xev on the root window. Every run is timed twice in a row: a first
# start (empty home, settings and cache folders) and a warm start (the folders the first
# start left). With PEER set, the other program is timed the same way after each run of
# ours, alternated, and its medians are printed beside ours. Besides the milliseconds, the
# CPU time the process had used by the time its window was mapped.
# Usage: bench/start-time.sh [build folder] [runs]
# PEER="command" and PEER_WINDOW=title: the other program and its main window's title (for
# Workrave: PEER=workrave PEER_WINDOW=Workrave). TRAY=1 runs a system tray (trayer) first.
# MACHINE=simulated starts ours on the built-in simulated machine instead (the figures are
# then labelled so): not what a user has.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
runs="${2:-10}"
app="$build/src/quellvista"
for tool in Xvfb dbus-daemon xev xdotool; do
  command -v "$tool" >/dev/null || { echo "start-time: $tool is missing"; exit 1; }
done
tmp="$(mktemp -d)"
pids=()
stop() {
  local pid
  for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
  for pid in "$@"; do
    wait "$pid" 2>/dev/null || true
    while kill -0 "$pid" 2>/dev/null; do sleep 0.02; done
  done
}
trap 'stop "${pids[@]}"; rm -rf "$tmp"' EXIT
hz=$(getconf CLK_TCK)
label="quellvista"
[[ "${MACHINE:-}" != simulated ]] || label="quellvista (simulated machine)"

# Times one start of "$3..." in the folders under $tmp/$1 (made when missing) until a window
# titled $2 is mapped; prints "milliseconds cpu-milliseconds".
time_start() {
  local folder="$tmp/$1" title="$2" display bus xvfb dbus tray="" watcher pid t0 t1 now line window stat cpu
  shift 2
  mkdir -p "$folder/home" "$folder/config" "$folder/data" "$folder/cache" "$folder/runtime"
  chmod 700 "$folder/runtime"
  rm -f "$tmp/display"
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset 3>"$tmp/display" >/dev/null 2>&1 &
  xvfb=$!
  pids=("$xvfb")
  for _ in $(seq 100); do [[ -s "$tmp/display" ]] && break; sleep 0.05; done
  display=":$(head -n1 "$tmp/display")"
  read -r bus dbus <<<"$(dbus-daemon --session --fork --nopidfile --print-address=1 --print-pid=1 \
    --address="unix:dir=$folder/runtime" | tr '\n' ' ')"
  pids+=("$dbus")
  if [[ -n "${TRAY:-}" ]]; then
    DISPLAY="$display" trayer --edge top --align right --widthtype request --height 28 >/dev/null 2>&1 &
    tray=$!
    pids+=("$tray")
    sleep 1
  fi
  # Every window mapped on the root, read as xev writes it.
  rm -f "$tmp/events"
  mkfifo "$tmp/events"
  DISPLAY="$display" stdbuf -oL xev -root -event substructure >"$tmp/events" 2>/dev/null &
  watcher=$!
  pids+=("$watcher")
  exec 4<"$tmp/events"
  # xev has selected the root's events once it wrote its first line (or soon after).
  sleep 0.3
  t0=$EPOCHREALTIME
  env DISPLAY="$display" DBUS_SESSION_BUS_ADDRESS="$bus" HOME="$folder/home" XDG_CONFIG_HOME="$folder/config" \
    XDG_DATA_HOME="$folder/data" XDG_CACHE_HOME="$folder/cache" XDG_RUNTIME_DIR="$folder/runtime" \
    ${QUELLVISTA_MACHINE:+QUELLVISTA_MACHINE=$QUELLVISTA_MACHINE} "$@" >"$folder/out.log" 2>&1 &
  pid=$!
  pids+=("$pid")
  # The window of a MapNotify is on the event's second line.
  t1="" stat=""
  while IFS= read -r -t 30 -u 4 line; do
    [[ "$line" == *"MapNotify event"* ]] || continue
    IFS= read -r -t 30 -u 4 line || break
    now=$EPOCHREALTIME
    stat="$(cat "/proc/$pid/stat" 2>/dev/null || true)"
    window="$(sed -n 's/.*window \(0x[0-9a-f]*\),.*/\1/p' <<<"$line")"
    if [[ -n "$window" && "$(DISPLAY="$display" xdotool getwindowname "$window" 2>/dev/null)" == "$title" ]]; then
      t1=$now
      break
    fi
  done
  exec 4<&-
  stop "$pid" "$watcher" ${tray:+"$tray"} "$dbus" "$xvfb"
  pids=()
  if [[ -z "$t1" ]]; then
    echo "no window"
    return
  fi
  # /proc/PID/stat after the name: field 14 and 15 of the whole line are 12 and 13 here.
  cpu="$(awk '{print $12 + $13}' <<<"${stat#*) }")"
  echo "$(echo "($t1 - $t0) * 1000 / 1" | bc) $((cpu * 1000 / hz))"
}
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
range() { sort -n | awk 'NR==1 {lo=$1} {hi=$1} END {print lo "-" hi}'; }
: >"$tmp/times"
for ((i = 1; i <= runs; i++)); do
  rm -rf "$tmp/ours" "$tmp/peer"
  first="$(QUELLVISTA_MACHINE="${MACHINE:-}" time_start ours Quellvista "$app")"
  warm="$(QUELLVISTA_MACHINE="${MACHINE:-}" time_start ours Quellvista "$app")"
  echo "ours $first $warm" >>"$tmp/times"
  row="run $i: $label first ${first%% *} ms (cpu ${first##* } ms), warm ${warm%% *} ms (cpu ${warm##* } ms)"
  if [[ -n "${PEER:-}" ]]; then
    # shellcheck disable=SC2086 # the command is split into its words
    peer_first="$(time_start peer "${PEER_WINDOW:?PEER_WINDOW names the window to wait for}" $PEER)"
    # shellcheck disable=SC2086
    peer_warm="$(time_start peer "$PEER_WINDOW" $PEER)"
    echo "peer $peer_first $peer_warm" >>"$tmp/times"
    row+="; ${PEER%% *} first ${peer_first%% *} ms (cpu ${peer_first##* } ms), warm ${peer_warm%% *} ms (cpu ${peer_warm##* } ms)"
  fi
  echo "$row"
done
summary() {
  local who="$1" name="$2" column start what
  grep -q "^$who [0-9]" "$tmp/times" || return 0
  for column in "first 2" "warm 4"; do
    read -r what start <<<"$column"
    set -- "$what" "$start"
    echo "$name $1: median $(awk -v w="$who" -v c="$2" '$1 == w {print $c}' "$tmp/times" | median) ms" \
      "($(awk -v w="$who" -v c="$2" '$1 == w {print $c}' "$tmp/times" | range) ms)," \
      "cpu median $(awk -v w="$who" -v c="$(($2 + 1))" '$1 == w {print $c}' "$tmp/times" | median) ms"
  done
}
summary ours "$label"
[[ -z "${PEER:-}" ]] || summary peer "${PEER%% *}"
