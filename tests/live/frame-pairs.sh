#!/usr/bin/env bash
# The real main window draws one frame for each visible change: with the window open and
# idle on Display & Comfort (the backdrop, the sidebar's logo and the profile slider's tint
# animate there), no two frames of ten seconds come closer than 8 ms. A repaint that asked
# for a second frame of its own came about 5 ms after the first.
# With the pointer resting over the window, the painted animations' frames also skip the
# hover Qt sends through the whole window at the start of a frame that has a dirty item:
# none of our painted items is ever marked dirty (they hand their pictures to their nodes
# from the polish). The frames that still carry a hover come from QML's own changes, the
# slider's tint among them; how many depends on the machine's load, so they are only
# counted. Prints the frames counted.
# Has its own X server. Usage: frame-pairs.sh APP
set -euo pipefail
app="$1"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check frame-pairs xdotool -- app_pid
start_xvfb frame-pairs
make_isolated
# Every frame the scene graph draws is logged with the process's clock, and so is every
# hover sent at a frame's start and every item whose node a frame updates.
isolated+=(QT_LOGGING_RULES="qt.scenegraph.time.renderloop=true
qt.quick.hover.trace=true
qt.quick.dirty=true" QT_MESSAGE_PATTERN="%{time process} %{message}")
start_app frame-pairs find_main
eval "$(xdotool getwindowgeometry --shell "$window")"
xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2))
sleep 3
start_line=$(wc -l <"$tmp/app.log")
sleep 10
# The items that paint in layers (those painted through QPainter on every change, a number
# that ticks among them, are left out: their changes are real).
layered="SurfaceItem|AppBackdropItem|LogoMarkItem|BreathingMarkItem|BrandLayerItem"
layered+="|AmorphousLogoShapeItem|SparklineItem|ProgressRingItem|BreakBackdropItem|ShapeSurfaceItem"
tail -n +"$((start_line + 1))" "$tmp/app.log" | awk -v layered="$layered" '
  / Frame rendered / { t = $1 + 0; if (n > 0 && t - last < 0.008) { close_pairs++; printf "frames %.3f s and %.3f s\n", last, t }
                       last = t; n++ }
  /delivering frame-sync hover/ { hovers++ }
  $0 ~ "QSGNode: qv::(" layered "|[A-Za-z]+::RingLayer)\\(.* [A-Za-z|]*Content" { dirty++; if (!seen[$3]++) print "marked dirty: " $3 }
  END { printf "frame-pairs: %d frames in 10 s, %d closer than 8 ms, %d with a hover, %d painted items marked dirty\n",
               n, close_pairs + 0, hovers + 0, dirty + 0
        if (n == 0 || close_pairs > 0 || dirty > 0) exit 1 }'
