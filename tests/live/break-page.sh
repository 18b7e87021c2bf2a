#!/usr/bin/env bash
# Screenshots of the real application on the Break Reminders page, in the light and the
# dark appearance: during a work countdown, during a break, with reminders off and with
# the tour open. The history holds a week of breaks. Breaks are announced in the menu bar
# only, so the break panel does not cover the page; the work interval is one minute, so a
# run takes a little over a minute per appearance. Leaves the main window's pictures,
# break-page-<appearance>-<state>.png, in OUT (default: the working folder).
# Usage: break-page.sh APP [OUT]
set -euo pipefail
app="$1" out="${2:-.}"
for tool in Xvfb xcompmgr xdotool import python3; do
  command -v "$tool" >/dev/null || { echo "break-page: $tool is missing (scripts/setup installs it)"; exit 1; }
done
mkdir -p "$out"
out="$(cd "$out" && pwd)"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

# A week of taken breaks (none two days ago) and today's active minutes.
write_history() {
  python3 - "$1" <<'PY'
import datetime, json, sys
ref = datetime.datetime(2001, 1, 1, tzinfo=datetime.timezone.utc)
now = datetime.datetime.now(datetime.timezone.utc)
events = []
def add(when, kind, duration):
    events.append({"timestamp": (when - ref).total_seconds(), "type": kind, "durationSeconds": duration})
for days_ago, breaks in [(6, 3), (5, 5), (4, 2), (3, 6), (2, 0), (1, 4), (0, 3)]:
    for i in range(breaks):
        add(now - datetime.timedelta(days=days_ago, minutes=30 * (i + 1)), "breakTaken", 20)
for m in range(70):
    add(now - datetime.timedelta(minutes=m + 1), "activity", 60)
events.sort(key=lambda e: e["timestamp"])
json.dump(events, open(sys.argv[1], "w"))
PY
}

shoot() {
  local appearance="$1"
  tmp="$(mktemp -d)"
  app_pid="" compositor_pid="" xvfb_pid=""
  trap 'stop_all "$app_pid" "$compositor_pid"' EXIT
  start_composited_xvfb break-page
  make_isolated
  mkdir -p "$tmp/config/Quellvista" "$tmp/data/Quellvista"
  cat >"$tmp/config/Quellvista/defaults.json" <<JSON
{"format":"quellvista-defaults","version":1,"values":{
 "breakReminderEnabled":{"t":"bool","v":true},
 "workIntervalMinutes":{"t":"int","v":"1"},
 "breakDurationSeconds":{"t":"int","v":"180"},
 "reminderMode":{"t":"string","v":"Menu Bar Flash"},
 "appAppearanceMode":{"t":"string","v":"$appearance"},
 "mainWindow.selectedSection":{"t":"string","v":"Break Reminders"}}}
JSON
  write_history "$tmp/data/Quellvista/history.json"

  window=""
  main_window() {
    kill -0 "$app_pid" 2>/dev/null || return 2
    window="$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)"
    [[ -n "$window" ]]
  }
  start_app break-page main_window
  sleep 3
  import -window "$window" "$out/break-page-$appearance-work.png"

  # The break starts when the minute is up.
  poll 90 grep -q breakStarted "$tmp/data/Quellvista/history.json" ||
    { echo "break-page: no break within 90 s"; cat "$tmp/app.log"; exit 1; }
  sleep 3
  import -window "$window" "$out/break-page-$appearance-break.png"

  # "Turn off" in the page header (the window is 1100 points wide).
  xdotool mousemove --window "$window" 990 51 click 1
  sleep 2
  import -window "$window" "$out/break-page-$appearance-off.png"

  # The guide button opens the tour at the timer card.
  xdotool mousemove --window "$window" 1058 51 click 1
  sleep 1
  import -window "$window" "$out/break-page-$appearance-tour.png"
  stop_all "$app_pid" "$compositor_pid"
  trap - EXIT
}

shoot light
shoot dark
echo "break-page: screenshots in $out"
