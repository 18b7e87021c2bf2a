# Shared by the live checks: sourced, not run. Expects $tmp, a temporary folder that the
# caller removes (begin_check makes it and removes it at the end).

# Opens a check: "begin_check NAME TOOL... -- PIDVAR...". Fails, naming the check, when a
# tool is missing; makes $tmp; empties the named process variables and, at exit, ends the
# processes they then hold (in that order), the X server, and removes $tmp (stop_all).
begin_check() {
  local name="$1" var
  shift
  while (($#)) && [[ "$1" != -- ]]; do
    command -v "$1" >/dev/null || { echo "$name: $1 is missing (scripts/setup installs it)"; exit 1; }
    shift
  done
  (($#)) && shift
  check_name="$name"
  stopped_at_exit=("$@")
  for var in "$@" xvfb_pid xorg_pid; do printf -v "$var" '%s' ""; done
  tmp="$(mktemp -d)"
  trap 'stop_check' EXIT
  # Nothing the check runs reaches the desktop's session bus or starts a bus of its own
  # (libdbus's autolaunch): the check gives it one (start_session_bus) where it needs one.
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$tmp/no-bus" AT_SPI_BUS_ADDRESS=
}
stop_check() {
  local status=$? var pids=() unwanted
  unwanted="$(unwanted_activations)"
  for var in "${stopped_at_exit[@]}"; do pids+=("${!var}"); done
  stop_all "${pids[@]}"
  if [[ -n "$unwanted" ]]; then
    echo "$check_name: the session bus started services the check did not give it: $unwanted"
    ((status)) || exit 1
  fi
}

# Runs a command every poll_ms milliseconds (100) while it answers 1 (not yet) and the
# seconds last, counted from now to the microsecond (SECONDS counts whole seconds: a bound
# of 1 would end anywhere from 0 to 1 s on); returns 0 once it succeeds, 1 when time ran out,
# or the command's own answer above 1 (give up). The last try comes at the bound's end.
poll_ms=100
poll() {
  # Its own names are unlikely ones: the command may name the caller's variables.
  local poll_end_us=$((${EPOCHREALTIME/[.,]/} + $1 * 1000000)) poll_status poll_left_us
  shift
  while true; do
    "$@" && return 0
    poll_status=$?
    ((poll_status == 1)) || return "$poll_status"
    poll_left_us=$((poll_end_us - ${EPOCHREALTIME/[.,]/}))
    ((poll_left_us > 0)) || return 1
    ((poll_left_us < poll_ms * 1000)) || poll_left_us=$((poll_ms * 1000))
    sleep "$((poll_left_us / 1000000)).$(printf '%06d' $((poll_left_us % 1000000)))"
  done
}

# Starts an X server of one 1920x1200 screen, sets DISPLAY to it and xvfb_pid to its process.
# Keys do not repeat (a 30 s delay): on a loaded machine a key's release from xdotool may come
# later than the usual repeat delay, and one Right would then move a slider many steps.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1920x1200x24 -nolisten tcp -noreset -ardelay 30000 3>"$tmp/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  poll 10 test -s "$tmp/display" || { echo "$1: Xvfb did not start"; exit 1; }
  export DISPLAY=":$(head -n1 "$tmp/display")"
}

# Starts an X server with Debian's dummy video driver (run as root): outputs DUMMY0..DUMMY15,
# one CRTC each with a 256-entry gamma ramp, DUMMY0 lit. Sets DISPLAY and xorg_pid; stop_all
# ends it. Where Xorg or the driver is missing, the check is skipped (exit 77), or fails on
# CI (CI=true), where the setup script installs them.
start_dummy_xorg() {
  local conf
  conf="$(dirname "${BASH_SOURCE[0]}")/../support/dummy-xorg.conf"
  if ! command -v Xorg >/dev/null || [[ ! -e /usr/lib/xorg/modules/drivers/dummy_drv.so ]]; then
    if [[ -n "${CI:-}" && "${CI}" != false && "${CI}" != 0 ]]; then
      echo "$1: Xorg with the dummy video driver is not installed"
      exit 1
    fi
    echo "$1: skipped: Xorg with the dummy video driver is not installed"
    exit 77
  fi
  Xorg -displayfd 3 -config "$(realpath "$conf")" -noreset -nolisten tcp -logfile "$tmp/xorg.log" \
    3>"$tmp/display" >/dev/null 2>&1 &
  xorg_pid=$!
  poll 30 test -s "$tmp/display" || { echo "$1: Xorg did not start"; tail -n 20 "$tmp/xorg.log"; exit 1; }
  export DISPLAY=":$(head -n1 "$tmp/display")"
}

# Lights an output of the dummy server with a mode (WxH) at a position (XxY), without
# probing the outputs, so that its connection state stays what the last probe found.
output_on() {
  xrandr --current --addmode "$1" "$2" 2>/dev/null || true
  xrandr --current --output "$1" --mode "$2" --pos "$3"
}

output_off() {
  xrandr --current --output "$1" --off
}

# The application gets temporary home, settings, data and runtime folders, and its own
# folder for the single-instance socket, so it neither touches the user's settings nor
# hands over to a copy that is already running. It runs on the built-in simulated machine,
# not on the X server's own screens, unless QUELLVISTA_MACHINE is set again after these
# (an empty value: the host). Run it as "${isolated[@]}" APP.
make_isolated() {
  mkdir -p "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime" "$tmp/sockets"
  chmod 700 "$tmp/runtime"
  isolated=(env HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data"
    XDG_CACHE_HOME="$tmp/cache" XDG_RUNTIME_DIR="$tmp/runtime" TMPDIR="$tmp/sockets"
    QUELLVISTA_MACHINE=simulated DBUS_SESSION_BUS_ADDRESS="${bus_address:-unix:path=$tmp/no-bus}"
    AT_SPI_BUS_ADDRESS=)
}

# A session bus of the check's own, started by the words in bus_as (none: as this shell),
# listening at the socket $2; sets bus_address and bus_pid (name it in begin_check). It starts on
# demand only the services named after the socket (their files in /usr/share/dbus-1/services,
# e.g. org.a11y.Bus), never the others a desktop offers (a portal, a notification service):
# its configuration, ../support/session-bus.conf, searches no other folder. Decoys of those in
# the folders a session bus otherwise searches (XDG_DATA_DIRS) show when that no longer holds:
# the check fails at its end when its bus started a service it was not given.
start_session_bus() {
  local name="$1" socket="$2" service
  shift 2
  mkdir -p "$tmp/bus/services" "$tmp/bus/decoys/dbus-1/services"
  cp "$(dirname "${BASH_SOURCE[0]}")/../support/session-bus.conf" "$tmp/bus/"
  for service in "$@"; do
    cp "/usr/share/dbus-1/services/$service.service" "$tmp/bus/services/" ||
      { echo "$name: the session service $service is not installed (scripts/setup installs it)"; exit 1; }
  done
  for service in org.freedesktop.portal.Desktop org.freedesktop.Notifications org.kde.StatusNotifierWatcher \
    org.freedesktop.FileManager1 org.a11y.Bus; do
    printf '[D-BUS Service]\nName=%s\nExec=/bin/false\n' "$service" >"$tmp/bus/decoys/dbus-1/services/$service.service"
  done
  chmod -R a+rX "$tmp/bus"
  "${bus_as[@]}" env XDG_DATA_DIRS="$tmp/bus/decoys:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}" \
    dbus-daemon --config-file="$tmp/bus/session-bus.conf" --nofork --address="unix:path=$socket" \
    >"$tmp/bus/log" 2>&1 &
  bus_pid=$!
  echo "$bus_pid" >"$tmp/bus/pid"
  printf '%s\n' "$@" >"$tmp/bus/given"
  poll 10 test -S "$socket" || { echo "$name: the session bus did not start"; cat "$tmp/bus/log"; exit 1; }
  bus_address="unix:path=$socket"
}
bus_as=()

# The services the check's bus started that it was not given (for stop_check). Its log holds
# the lines of the buses its services start too (the accessibility bus): only its own count.
unwanted_activations() {
  [[ -s "$tmp/bus/pid" ]] || return 0
  grep "^dbus-daemon\[$(cat "$tmp/bus/pid")\]" "$tmp/bus/log" | grep -o "Activating service name='[^']*'" |
    cut -d"'" -f2 | grep -vxF -f "$tmp/bus/given" | sort -u | paste -sd' ' || true
}

# Writes the stored defaults (members of "values") the next start of the isolated
# application reads.
store() {
  mkdir -p "$tmp/config/Quellvista"
  printf '{"format":"quellvista-defaults","version":1,"values":{%s}}\n' "$1" >"$tmp/config/Quellvista/defaults.json"
}

# Ends the application with the signal SIG ("TERM", "KILL", ...) and waits for it.
stop_app() {
  kill "-$1" "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}

# Starts the application (isolated, output in $tmp/app.log, process in app_pid) until
# the command "$2..." finds what it shows within 30 s. An X server without clients
# resets itself, and a connection made at that moment is refused: an application that
# exits before showing anything is started again.
start_app() {
  local name="$1" attempt status
  shift
  for attempt in 1 2 3; do
    "${isolated[@]}" "$app" >"$tmp/app.log" 2>&1 &
    app_pid=$!
    status=0
    poll 30 "$@" || status=$?
    ((status == 0)) && return 0
    if kill -0 "$app_pid" 2>/dev/null; then
      echo "$name: no window appeared"
      cat "$tmp/app.log"
      exit 1
    fi
    wait "$app_pid" 2>/dev/null || true
    app_pid=""
    if ((attempt == 3)); then
      echo "$name: the application exited:"
      cat "$tmp/app.log"
      exit 1
    fi
    sleep 0.2
  done
}

# The application's main window; sets window. For poll: gives up (2) once the
# application has ended.
window=""
find_main() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  window="$(xdotool search --onlyvisible --name '^Quellvista$' 2>/dev/null | head -n1)"
  [[ -n "$window" ]]
}

# An X server of its own with a compositing manager (translucent windows show black
# without one), whatever DISPLAY holds. Sets compositor_pid.
start_composited_xvfb() {
  start_xvfb "$1"
  xcompmgr >"$tmp/compositor.log" 2>&1 &
  compositor_pid=$!
  # The compositing manager announces itself with a window of its name.
  poll 10 bash -c 'xwininfo -root -children | grep -q "\"xcompmgr\""' ||
    { echo "$1: the compositing manager did not start"; cat "$tmp/compositor.log"; exit 1; }
}

# Ends the processes named by the given pid variables' values, then the X server, and
# removes $tmp. For an EXIT trap.
stop_all() {
  local pid left mount
  # Whatever the check started, named or not (a service its bus started, a window), as it stands
  # before the named ones go: a process whose parent ended is no longer found under this shell.
  left="$(descendants $$)"
  for pid in "$@"; do
    # A process a check stopped (SIGSTOP) takes SIGTERM only once it goes on.
    if [[ -n "$pid" ]]; then kill "$pid" 2>/dev/null || true; kill -CONT "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; fi
  done
  if [[ -n "${xvfb_pid:-}" ]]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [[ -n "${xorg_pid:-}" ]]; then kill "$xorg_pid" 2>/dev/null || true; wait "$xorg_pid" 2>/dev/null || true; fi
  left="$(still_running $left)"
  if [[ -n "$left" ]]; then
    kill $left 2>/dev/null || true
    kill -CONT $left 2>/dev/null || true
    poll 3 eval '[[ -z "$(still_running $left)" ]]' || kill -KILL $(still_running $left) 2>/dev/null || true
  fi
  # A FUSE folder left mounted in the check's folders (the document portal's "doc" in a runtime
  # folder) whose service has ended: unmounted lazily, so that rm can go through it.
  while read -r _ mount _; do
    [[ "$mount" == "$tmp"/* ]] || continue
    fusermount3 -uz "$mount" 2>/dev/null || fusermount -uz "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
  done </proc/mounts
  rm -rf "$tmp" 2>/dev/null || echo "${check_name:-check}: could not remove all of $tmp"
}

# Those of the given processes that still run.
still_running() {
  local pid state
  for pid in "$@"; do
    state="$(ps -o stat= -p "$pid" 2>/dev/null)" || continue
    [[ "$state" == Z* ]] || echo "$pid"
  done
}

# The processes under a process, one a line, parents first.
descendants() {
  local child
  for child in $(pgrep -P "$1"); do
    echo "$child"
    descendants "$child"
  done
}

# Starts an X11 tray host (trayer) along the top right of the screen, its panel in the
# colour given second (default: dark grey); sets tray_pid.
start_tray() {
  trayer --edge top --align right --widthtype request --height 28 --SetDockType true \
    --transparent true --alpha 0 --tint "${2:-0x303030}" >"$tmp/trayer.log" 2>&1 &
  tray_pid=$!
  poll 10 bash -c 'xwininfo -root -children | grep -q "\"panel\": (\"panel\" \"trayer\")"' ||
    { echo "$1: trayer did not start"; cat "$tmp/trayer.log"; exit 1; }
}

# The application's tray icon: its window embedded in the tray's panel; sets tray_icon.
# For poll: gives up (2) once the application has ended.
tray_icon=""
find_tray_icon() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  # Only below the panel in the tree (indented deeper): the application's own top-level
  # windows may be listed after it.
  tray_icon="$(xwininfo -root -tree | awk '
    /"panel": \("panel" "trayer"\)/ { depth = match($0, /[^ ]/); next }
    depth && match($0, /[^ ]/) <= depth { depth = 0 }
    depth && /"Quellvista": \("quellvista"/ { print $1; exit }')"
  [[ -n "$tray_icon" ]]
}

# The tray icon's place (sets X, Y, WIDTH and HEIGHT, and tray_icon), found afresh each
# time: the tray host may replace the icon's window at any moment. For poll.
tray_icon_geometry() {
  find_tray_icon || return $?
  local shell
  shell="$(xdotool getwindowgeometry --shell "$tray_icon" 2>/dev/null)" || return 1
  eval "$shell"
}

# The comfort veil's panel: a visible panel window that covers the whole screen; sets
# veil. For poll: gives up (2) once the application has ended.
veil=""
find_veil() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  local id
  for id in $(xdotool search --onlyvisible --name '^Quellvista overlay$' 2>/dev/null); do
    if [[ "$(xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)=' | tr '\n' ' ')" == \
      "X=0 Y=0 WIDTH=1920 HEIGHT=1200 " ]]; then
      veil="$id"
      return 0
    fi
  done
  return 1
}

# The top-level window (the window manager's frame, when it has one) that holds a window.
toplevel() {
  local id="$1" parent root
  root="$(xwininfo -root | awk '/Window id:/{print $4}')"
  while true; do
    parent="$(xwininfo -children -id "$id" | awk '/Parent window id:/{print $4}')"
    [[ -z "$parent" || "$((parent))" == "$((root))" ]] && { printf '0x%x\n' "$((id))"; return; }
    id="$parent"
  done
}

# Whether the first window lies above the second on the screen (xwininfo lists the
# topmost child of the root first). For poll: gives up (2) once the application has ended.
stacked_above() {
  kill -0 "$app_pid" 2>/dev/null || return 2
  local order upper lower
  order="$(xwininfo -root -children | grep -oE '^ +0x[0-9a-f]+' | tr -d ' ')"
  upper="$(grep -n -x "$(toplevel "$1")" <<<"$order" | cut -d: -f1)"
  lower="$(grep -n -x "$(toplevel "$2")" <<<"$order" | cut -d: -f1)"
  [[ -n "$upper" && -n "$lower" ]] && ((upper < lower))
}

# Starts headless sway (no input devices, one virtual output, no XWayland) with swaybar as
# the tray's host (StatusNotifier) and a session bus of its own. sway refuses to run as
# root: it runs as the user nobody, and so do the programs run through "${as_nobody[@]}"
# (the bus, sway, the application, test windows), with WAYLAND_DISPLAY, SWAYSOCK and the
# bus in their environment. "start_headless_sway NAME enable" starts XWayland too and puts its
# DISPLAY there. Sets sway_pid and bus_pid (name them in begin_check), and swaysock. With
# "late" third, swaybar (and with it the tray's watcher) waits for start_late_bar.
start_headless_sway() {
  start_nobody_session "$1"
  printf 'xwayland %s\nbar {\n  id bar-0\n%s  tray_output *\n  status_command sleep 1000000\n}\n' "${2:-disable}" \
    "$([[ "${3:-}" == late ]] && echo "  swaybar_command /bin/true" || true)" >"$tmp/sway.conf"
  chmod 644 "$tmp/sway.conf"
  "${as_nobody[@]}" WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$tmp/sway.conf" >"$tmp/sway.log" 2>&1 &
  sway_pid=$!
  sway_up() { [[ -S "$runtime/wayland-1" ]] && compgen -G "$runtime/sway-ipc.*.sock" >/dev/null; }
  poll 20 sway_up || { echo "$1: sway did not start"; cat "$tmp/sway.log"; exit 1; }
  swaysock="$(compgen -G "$runtime/sway-ipc.*.sock" | head -n1)"
  as_nobody+=(WAYLAND_DISPLAY="$runtime/wayland-1" SWAYSOCK="$swaysock" XDG_SESSION_TYPE=wayland)
  if [[ "${2:-}" == enable ]]; then
    # What sway gives the programs it starts, written whole (renamed into place) and marked,
    # so that an empty DISPLAY reads as empty rather than as a line.
    swaymsg -s "$swaysock" exec "echo DISPLAY=\$DISPLAY >$runtime/display.new && mv $runtime/display.new $runtime/display" >/dev/null
    poll 20 test -s "$runtime/display" || { echo "$1: sway ran no command"; cat "$tmp/sway.log"; exit 1; }
    local display
    display="$(sed -n 's/^DISPLAY=//p' "$runtime/display")"
    if [[ -z "$display" ]]; then
      echo "$1: sway started no XWayland (DISPLAY is empty): is xwayland installed? (scripts/setup installs it)"
      cat "$tmp/sway.log"
      exit 1
    fi
    as_nobody+=(DISPLAY="$display")
    # The X server answers there.
    poll 20 "${as_nobody[@]}" xwininfo -root >/dev/null 2>&1 ||
      { echo "$1: XWayland on $display did not answer: is xwayland installed?"; cat "$tmp/sway.log"; exit 1; }
  fi
}

# Starts the swaybar that start_headless_sway NAME MODE late left out; sets bar_pid.
start_late_bar() {
  "${as_nobody[@]}" swaybar -b bar-0 >"$tmp/bar.log" 2>&1 &
  bar_pid=$!
}

# A runtime folder and a session bus of nobody's own: sets runtime, bus_pid and as_nobody,
# the command prefix that runs a program as nobody with that folder and bus. The bus starts on
# demand the services named in the array session_services (org.a11y.Bus, say), and no others.
session_services=()
start_nobody_session() {
  runtime="$tmp/wayland-runtime"
  chmod 755 "$tmp"
  mkdir -p "$runtime" "$tmp/home"
  chown nobody:nogroup "$runtime" "$tmp/home"
  chmod 700 "$runtime"
  as_nobody=(setpriv --reuid=nobody --regid=nogroup --clear-groups env -i PATH=/usr/bin:/bin HOME="$tmp/home"
    XDG_RUNTIME_DIR="$runtime")
  bus_as=("${as_nobody[@]}")
  start_session_bus "$1" "$runtime/bus" "${session_services[@]}"
  as_nobody+=(DBUS_SESSION_BUS_ADDRESS="$bus_address")
}

# Makes the session bus of start_nobody_session start a service on demand: "bus_service NAME
# COMMAND...", the command's words as the bus's service files take them.
bus_service() {
  local name="$1"
  shift
  printf '[D-BUS Service]\nName=%s\nExec=%s\n' "$name" "$*" >"$tmp/bus/services/$name.service"
  chmod 644 "$tmp/bus/services/$name.service"
  echo "$name" >>"$tmp/bus/given"
}

# The application's isolated folders made over to nobody (after make_isolated).
isolate_for_nobody() {
  chown -R nobody:nogroup "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/cache" "$tmp/runtime" "$tmp/sockets"
  isolated=("${as_nobody[@]}" "${isolated[@]:1}")
}

# Whether a window with the app_id or, on XWayland, the title ($1) is shown (and, with a
# second argument, has the focus).
sway_window() {
  swaymsg -s "$swaysock" -t get_tree | python3 -c '
import json, sys
def nodes(n):
    yield n
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        yield from nodes(c)
want, focused = sys.argv[1], len(sys.argv) > 2
sys.exit(0 if any(want in (n.get("app_id"), n.get("name")) and n.get("type") == "con" and n.get("visible") and (n.get("focused") or not focused)
                  for n in nodes(json.load(sys.stdin))) else 1)' "$@"
}

# Takes the hot keys' letters and digit (B, N, R, P, D, 0) out of the keyboard map of the X
# server $1 with xkbcomp, keeping the full map in $2/full.xkb to load back
# ("xkbcomp $2/full.xkb $1"). The words after them run xkbcomp (as the X server's user where
# it lets only that one in: "${as_nobody[@]}"), in a folder that user can write.
strip_hot_keys() {
  local display="$1" dir="$2"
  shift 2
  "$@" xkbcomp -xkb "$display" "$dir/full.xkb" 2>/dev/null || return 1
  python3 - "$dir/full.xkb" "$dir/stripped.xkb" <<'PY' || return 1
import re, sys
text = open(sys.argv[1]).read()
# The six keys give no keysym of their own (VoidSymbol: a map without NoSymbol's gaps loads).
text, count = re.subn(r"(symbols\[Group1\]\s*=\s*|\{\s*)\[\s*(b|n|r|p|d|0)\s*,\s*[A-Za-z]\w*\s*\]",
                      r"\1[ VoidSymbol, VoidSymbol ]", text)
if count != 6:
    sys.exit("the map has not one key for each of the six")
open(sys.argv[2], "w").write(text)
PY
  chmod 644 "$dir/stripped.xkb"
  "$@" xkbcomp "$dir/stripped.xkb" "$display" 2>/dev/null
}
