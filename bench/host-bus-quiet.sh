#!/usr/bin/env bash
# Measures what the application does on the host's back-ends with its main window closed
# while nothing changes: two private D-Bus daemons stand in for the system and the session
# bus, with python3-dbusmock playing UPower (a battery on battery power), logind, timedated,
# iio-sensor-proxy, a notification daemon, the desktop portal's settings and the
# compositor's idle monitor; the application lives in trayer's tray on a virtual X server
# with openbox. Over the given seconds (120 by default) it counts, from /proc, the CPU time
# and the context switches of all the process's threads, and, from dbus-monitor on both
# buses, each message the application sent (by its unique names).
# GAP=SECONDS then stops every service for that long, starts them again and lists what
# the application sent in the 20 s after they came back (each back-end reads anew).
# DEFAULTS='"key":{"t":"bool","v":true},...' adds stored values (e.g. ambient comfort on).
# Usage: bench/host-bus-quiet.sh [build folder] [seconds]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${1:-$root/build/release}"
seconds="${2:-120}"
app="$build/src/quellvista"
python=/usr/bin/python3
templates="$root/tests/hostbus/templates"
tmp="$(mktemp -d)"
app_pid="" tray_pid="" wm_pid="" xvfb_pid="" system_pid="" session_pid="" mocks=() monitors=()
trap 'stop_all "$app_pid" "$tray_pid" "$wm_pid" "${monitors[@]}" "${mocks[@]}" "$system_pid" "$session_pid"' EXIT
source "$root/tests/live/common.sh"
$python -c 'import dbusmock' 2>/dev/null || { echo "host-bus-quiet: python3-dbusmock is not installed"; exit 1; }

# A bus daemon of its own (named by $1), its address in $tmp/$1.address.
start_bus() {
  mkdir -p "$tmp/$1"
  cat >"$tmp/$1.conf" <<EOF
<busconfig><type>session</type><listen>unix:dir=$tmp/$1</listen><auth>EXTERNAL</auth>
<policy context="default"><allow send_destination="*" eavesdrop="true"/><allow eavesdrop="true"/>
<allow own="*"/></policy></busconfig>
EOF
  dbus-daemon --config-file="$tmp/$1.conf" --nofork --print-address=3 3>"$tmp/$1.address" &
  poll 10 test -s "$tmp/$1.address" || { echo "host-bus-quiet: dbus-daemon did not start"; exit 1; }
}
start_bus system
system_pid=$!
start_bus session
session_pid=$!
export DBUS_SYSTEM_BUS_ADDRESS="$(head -n1 "$tmp/system.address")"
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$tmp/session.address")"

# Each service: its name, then dbusmock's arguments.
services=(
  "org.freedesktop.UPower|--template upower -p {\"OnBattery\":true}"
  "org.freedesktop.login1|--template logind"
  "org.freedesktop.timedate1|--template timedated"
  "net.hadess.SensorProxy|--template iio-sensors-proxy -p {\"has_ambient_light\":true,\"light_level\":300.0}"
  "org.freedesktop.Notifications|--template notification_daemon"
  "org.freedesktop.portal.Desktop|--template $templates/portal_settings.py -p {\"answer\":\"dbus.UInt32(1)\"}"
  "org.gnome.Mutter.IdleMonitor|--template $templates/idle_monitor.py"
)
owned() { gdbus call --address "$1" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
  -m org.freedesktop.DBus.NameHasOwner "$2" 2>/dev/null | grep -q true; }
start_services() {
  local entry name
  mocks=()
  for entry in "${services[@]}"; do
    name="${entry%%|*}"
    # shellcheck disable=SC2086  # the arguments are split as written
    $python -m dbusmock ${entry#*|} >>"$tmp/mocks.log" 2>&1 &
    mocks+=($!)
  done
  for entry in "${services[@]}"; do
    name="${entry%%|*}"
    poll 20 bash -c "$(declare -f owned); owned '$DBUS_SYSTEM_BUS_ADDRESS' $name || owned '$DBUS_SESSION_BUS_ADDRESS' $name" ||
      { echo "host-bus-quiet: $name did not start"; cat "$tmp/mocks.log"; exit 1; }
  done
  # A battery at 64 %, discharging.
  $python -c 'import dbus
dbus.SystemBus().get_object("org.freedesktop.UPower", "/org/freedesktop/UPower").SetupDisplayDevice(
    dbus.UInt32(2), dbus.UInt32(2), 64.0, 64.0, 100.0, 10.0, dbus.Int64(3600), dbus.Int64(0), True, "battery-good",
    dbus.UInt32(1), dbus_interface="org.freedesktop.DBus.Mock")'
}
stop_services() {
  kill "${mocks[@]}" 2>/dev/null || true
  wait "${mocks[@]}" 2>/dev/null || true
  mocks=()
}
start_services

start_xvfb host-bus-quiet
start_tray host-bus-quiet
make_isolated
HOME="$tmp/home" openbox --sm-disable >"$tmp/openbox.log" 2>&1 &
wm_pid=$!
poll 20 bash -c "xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'" ||
  { echo "host-bus-quiet: openbox did not start"; cat "$tmp/openbox.log"; exit 1; }
mkdir -p "$tmp/config/Quellvista"
echo "{\"format\":\"quellvista-defaults\",\"version\":1,\"values\":{\"breakReminderEnabled\":{\"t\":\"bool\",\"v\":true}${DEFAULTS:+,$DEFAULTS}}}" \
  >"$tmp/config/Quellvista/defaults.json"
isolated+=(QUELLVISTA_MACHINE=)
start_app host-bus-quiet find_main
echo "application: process $app_pid"
poll 30 find_tray_icon || { echo "host-bus-quiet: no tray icon"; cat "$tmp/app.log"; exit 1; }
xdotool windowactivate --sync "$window" key ctrl+w
poll 10 bash -c "! xdotool search --onlyvisible --name '^Quellvista$' >/dev/null" ||
  { echo "host-bus-quiet: the window did not close"; exit 1; }
sleep 5

# The application's unique names on both buses.
names() {
  local address="$1" name
  for name in $(gdbus call --address "$address" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
    -m org.freedesktop.DBus.ListNames | grep -oE "':[0-9.]+'" | tr -d "'"); do
    gdbus call --address "$address" -d org.freedesktop.DBus -o /org/freedesktop/DBus \
      -m org.freedesktop.DBus.GetConnectionUnixProcessID "$name" 2>/dev/null | grep -q "(uint32 $app_pid,)" &&
      echo "$name"
  done
  return 0
}
ours="$( (names "$DBUS_SYSTEM_BUS_ADDRESS"; names "$DBUS_SESSION_BUS_ADDRESS") | tr '\n' ' ')"
monitor() {
  monitors=()
  dbus-monitor --address "$DBUS_SYSTEM_BUS_ADDRESS" >"$tmp/$1.system" 2>&1 &
  monitors+=($!)
  dbus-monitor --address "$DBUS_SESSION_BUS_ADDRESS" >"$tmp/$1.session" 2>&1 &
  monitors+=($!)
  sleep 1
}
unmonitor() {
  kill "${monitors[@]}" 2>/dev/null || true
  wait "${monitors[@]}" 2>/dev/null || true
  monitors=()
}
# The messages the application sent, counted by kind and member.
sent() {
  local file pattern
  pattern="$(sed 's/ *$//; s/ /|/g; s/\./\\./g' <<<"$ours")"
  for file in "$tmp/$1.system" "$tmp/$1.session"; do
    { grep -E "^(method call|signal|method return|error) .*sender=($pattern) " "$file" || true; } |
      sed -E 's/^(method call|signal|method return|error).* (interface=[^;]*; member=[^ ]*|reply_serial=).*/\1 \2/' |
      sed "s|^|${file##*.}: |"
  done | sort | uniq -c
}

# The process's user and system time (its ended threads' included); each thread's
# context switches, by thread id and name.
ticks() { awk '{print $14 + $15}' /proc/"$app_pid"/stat; }
switches() {
  local task
  for task in /proc/"$app_pid"/task/*; do
    echo "${task##*/} $(tr ' ' _ <"$task/comm") $(awk '/ctxt_switches/ {n += $2} END {print n}' "$task/status")"
  done 2>/dev/null | sort
}
hz=$(getconf CLK_TCK)
monitor quiet
a=$(ticks); switches >"$tmp/switches.before"
sleep "$seconds"
b=$(ticks); switches >"$tmp/switches.after"
unmonitor
echo "application's names: $ours"
echo "quellvista: $(echo "scale=3; 100 * ($b - $a) / $hz / $seconds" | bc) % of one core over $seconds s"
# A thread that began meanwhile counts from 0; one that ended is left out.
join -a 2 -e 0 -o 2.1,2.2,1.3,2.3 "$tmp/switches.before" "$tmp/switches.after" |
  awk -v s="$seconds" '{d = $4 - $3; n += d; if (d) printf "  %s: %d a minute\n", $2, d * 60 / s}
    END {printf "quellvista: %d context switches a minute (all threads), by thread:\n", n * 60 / s}' | sort -r
echo "messages sent over $seconds s (count, bus, kind, member):"
sent quiet | sed 's/^/  /'
[[ -n "$(sent quiet)" ]] || echo "  none"

if [[ -n "${GAP:-}" ]]; then
  stop_services
  sleep "$GAP"
  monitor back
  start_services
  sleep 20
  unmonitor
  echo "after the services were away for $GAP s, in the 20 s after they came back:"
  sent back | sed 's/^/  /'
  grep -E '(Power|AmbientLight|Idle|Appearance|Session)' "$tmp/app.log" | tail -n 20 | sed 's/^/  log: /'
  kill -0 "$app_pid" || { echo "host-bus-quiet: the application ended"; exit 1; }
fi
