#!/usr/bin/env bash
# A window out of sight paints nothing, under a compositing manager too. Under openbox with
# xcompmgr, on the host: the main window covered by a full-screen window renders no frame
# in 10 s and renders again within 1 s of being uncovered; covered by a translucent one, a
# minimised one still mapped, or one shaped with a hole over it, it goes on rendering; with the screen saver running it
# renders none, and again within 1 s of the screen saver ending. Prints the frames counted.
# Has its own X server. Usage: unseen-frames.sh APP CLICKTARGET
set -euo pipefail
app="$1"
target="$2"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check unseen-frames openbox xcompmgr xmessage xdotool xprop xset -- app_pid cover_pid wm_pid compositor_pid
start_composited_xvfb unseen-frames
openbox >"$tmp/wm.log" 2>&1 &
wm_pid=$!
poll 10 bash -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
  { echo "unseen-frames: openbox did not start"; exit 1; }
make_isolated
# On the host, whose screen saver is followed; every frame the scene graph draws is logged.
isolated+=(QUELLVISTA_MACHINE= QT_LOGGING_RULES="qt.scenegraph.time.renderloop=true")
start_app unseen-frames find_main
frames() { grep -c "Frame rendered" "$tmp/app.log" || true; }
# Frames rendered over the seconds given.
frames_over() {
  local before
  before=$(frames)
  sleep "$1"
  echo $(($(frames) - before))
}
# Polls (0.1 s) for a frame after the count given.
frame_after() { (($(frames) > $1)); }
fail() {
  echo "unseen-frames: $*"
  tail -n 20 "$tmp/app.log"
  exit 1
}
sleep 3
shown=$(frames_over 3)
((shown > 0)) || fail "the shown window rendered no frame in 3 s"

cover() {
  xmessage -geometry 1920x1200+0+0 "covering" >/dev/null 2>&1 &
  cover_pid=$!
  poll 10 bash -c 'xdotool search --onlyvisible --classname xmessage >/dev/null' || fail "the cover did not appear"
}
cover_gone() { ! xdotool search --onlyvisible --classname xmessage >/dev/null 2>&1; }
uncover() {
  kill "$cover_pid"
  wait "$cover_pid" 2>/dev/null || true
  cover_pid=""
}

cover
sleep 1
covered=$(frames_over 10)
count=$(frames)
uncover
# The second counts from the moment the X server has taken the cover away, found within 20 ms.
poll_ms=20 poll 10 cover_gone || fail "the cover stayed after its end"
poll_ms=20 poll 1 frame_after "$count" || fail "no frame within 1 s of being uncovered"

# A translucent window over the whole screen shows the window beneath.
cover
xprop -id "$(xdotool search --onlyvisible --classname xmessage | head -n1)" \
  -f _NET_WM_WINDOW_OPACITY 32c -set _NET_WM_WINDOW_OPACITY 0x80000000
sleep 1
translucent=$(frames_over 3)
uncover

# A window that a window manager keeping its windows mapped marks minimised (hidden).
cover
xprop -id "$(xdotool search --onlyvisible --classname xmessage | head -n1)" \
  -f _NET_WM_STATE 32a -set _NET_WM_STATE _NET_WM_STATE_HIDDEN
sleep 1
hidden=$(frames_over 3)
uncover

# A full-screen window with a hole over the middle of ours.
eval "$(xdotool getwindowgeometry --shell "$window")"
"$target" 0 0 1920 1200 $((X + WIDTH / 2 - 20)) $((Y + HEIGHT / 2 - 20)) 40 40 >/dev/null 2>&1 &
cover_pid=$!
poll 10 bash -c 'xdotool search --onlyvisible --name "^Click target$" >/dev/null' || fail "the shaped cover did not appear"
sleep 1
shaped=$(frames_over 3)
uncover

xset s activate
sleep 1
saver=$(frames_over 10)
count=$(frames)
xdotool mousemove 700 500
poll_ms=20 poll 1 frame_after "$count" || fail "no frame within 1 s of the screen saver's end"

echo "unseen-frames: shown $shown frames in 3 s, covered $covered in 10 s, under a translucent window" \
  "$translucent in 3 s, under a hidden one $hidden in 3 s, under a shaped one $shaped in 3 s, screen saver" \
  "$saver in 10 s"
((covered == 0)) || fail "the covered window rendered $covered frames"
((translucent > 0)) || fail "the window under a translucent one rendered no frame"
((hidden > 0)) || fail "the window under a minimised one kept mapped rendered no frame"
((shaped > 0)) || fail "the window under a shaped one with a hole rendered no frame"
((saver == 0)) || fail "the window rendered $saver frames with the screen saver running"
