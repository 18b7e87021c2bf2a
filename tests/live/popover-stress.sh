#!/usr/bin/env bash
# Starts the real application beside an X11 tray host (trayer) on an X server of its own
# with a compositing manager, on its Settings section. Presses a hot key and opens the
# pop-over (its first opening after its rows changed), then for 30 seconds presses random
# global hot keys, opens and closes the pop-over from the eye, clicks its favourite rows,
# switches the appearance between light and dark in Settings and closes and reopens the
# main window. The process must be alive at the end, without a QML warning.
# Usage: popover-stress.sh APP [SECONDS]
set -euo pipefail
app="$1" seconds="${2:-30}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check popover-stress Xvfb xcompmgr trayer xdotool xwininfo -- app_pid tray_pid compositor_pid

start_composited_xvfb popover-stress
start_tray popover-stress
make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "mainWindow.selectedSection":{"t":"string","v":"Settings"}}}
JSON
export QT_LOGGING_RULES="com.tebrix.Quellvista.Shortcuts.info=true"
ready() { find_main && grep -q 'Global shortcuts registered' "$tmp/app.log"; }
start_app popover-stress ready
poll 15 find_tray_icon || { echo "popover-stress: no icon in the tray"; cat "$tmp/app.log"; exit 1; }

alive() { kill -0 "$app_pid" 2>/dev/null || { echo "popover-stress: the application ended after: $1"; cat "$tmp/app.log"; exit 1; }; }
popover_geometry() {
  local id
  id="$(xdotool search --onlyvisible --name '^Quellvista pop-over$' 2>/dev/null | head -n1)"
  [[ -n "$id" ]] && xdotool getwindowgeometry --shell "$id"
}

# Command-Shift-R (Reading) before the pop-over was ever shown, then its first opening.
xdotool key super+shift+r
reading() { grep -q 'Applying preset: Reading' "$tmp/app.log"; }
poll 10 reading || { echo "popover-stress: the hot key did not switch the preset"; cat "$tmp/app.log"; exit 1; }
poll 10 tray_icon_geometry || { echo "popover-stress: no icon in the tray"; cat "$tmp/app.log"; exit 1; }
xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
popover_open() { kill -0 "$app_pid" 2>/dev/null || return 2; popover_geometry >/dev/null; }
poll 10 popover_open || { echo "popover-stress: the pop-over's first opening failed"; cat "$tmp/app.log"; exit 1; }

RANDOM=2026 # the same run each time
keys=(super+shift+n super+shift+r super+shift+d super+shift+0 super+shift+f)
end=$((SECONDS + seconds)) actions=0
while ((SECONDS < end)); do
  case $((RANDOM % 5)) in
  0) action="hot key ${keys[RANDOM % ${#keys[@]}]}"; xdotool key "${action#hot key }" ;;
  1)
    action="eye"
    poll 10 tray_icon_geometry || { echo "popover-stress: the icon is gone from the tray"; cat "$tmp/app.log"; exit 1; }
    xdotool mousemove "$((X + WIDTH / 2))" "$((Y + HEIGHT / 2))" click 1
    ;;
  2)
    # A favourite row: the rows start 129 points below the pop-over's top, 33 apart.
    action="favourite row"
    if geometry="$(popover_geometry)"; then
      eval "$geometry"
      xdotool mousemove "$((X + 100))" "$((Y + 129 + 33 * (RANDOM % 3)))" click 1
    fi
    ;;
  3)
    # The main window closed (Ctrl+W) or, when it is closed, opened from the pop-over.
    if find_main; then
      action="close the main window"
      xdotool windowactivate --sync "$window" key ctrl+w 2>/dev/null || true
    elif geometry="$(popover_geometry)"; then
      action="Open Quellvista"
      eval "$geometry"
      xdotool mousemove "$((X + 40))" "$((Y + HEIGHT - 20))" click 1
    else
      action="nothing"
    fi
    ;;
  4)
    # "Light" or "Dark" of the Appearance row, at the top of Settings.
    if find_main; then
      action="appearance"
      xdotool mousemove --window "$window" $((RANDOM % 2 ? 945 : 1015)) 200 click 1
    else
      action="nothing"
    fi
    ;;
  esac
  ((++actions))
  alive "$action"
  sleep "0.$((RANDOM % 3 + 1))" # pacing the input, not waiting for a state
done
alive "the last action"
if grep -q 'qml:\|\.qml:[0-9]' "$tmp/app.log"; then
  echo "popover-stress: QML warnings"
  cat "$tmp/app.log"
  exit 1
fi
echo "popover-stress: $actions random actions in ${seconds} s ($(grep -c 'Applying preset' "$tmp/app.log") presets applied), the application is alive"
