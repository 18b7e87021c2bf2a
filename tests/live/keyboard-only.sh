#!/usr/bin/env bash
# Drives the real application with the keyboard alone (xdotool key), light and dark, under
# its own X server: Tab walks Display & Comfort and every stop shows its focus ring (new
# pixels in the ring's colours in the screenshot, where the control is: the accent, or the
# primary text colour round a control filled with a colour near the accent's); Space and Return work
# the master switch, the hardware header and a profile tile; the tile's menu opens with
# Shift+F10 and its rename sheet takes typing and closes with Esc; the arrow, Page and
# Home/End keys move a slider by steps of its shown value; the tour opens and closes with
# Esc (keys pressed while it animates in); the feedback composer takes typing in its
# comment at once, saves, and closes with Esc. Tab held for five seconds leaves the
# application alive.
# Usage: keyboard-only.sh APP [OUT_FOLDER]   (screenshots; default: ./keyboard-shots)
set -euo pipefail
app="$1" out="${2:-keyboard-shots}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check keyboard-only Xvfb xdotool import convert python3 -- app_pid
mkdir -p "$out"
out="$(cd "$out" && pwd)"
start_xvfb keyboard-only

fail() {
  echo "keyboard-only ($appearance): $*"
  if [[ -n "${window:-}" ]]; then import -window "$window" "$out/failed-$appearance.png" 2>/dev/null || true; fi
  exit 1
}
# Screenshots in an uncompressed format, quick to write and read; kept ones as PNG.
shot() { import -window "$window" "ppm:$tmp/$1.ppm"; }
keep() { convert "$tmp/$1.ppm" "$out/$1-$appearance.png"; }
press() { kill -0 "$app_pid" 2>/dev/null || fail "the application exited"; xdotool key --delay 60 "$@"; sleep 0.3; }

# What turned into a ring colour between two screenshots: one line "AREA X Y" per connected
# piece of at least 80 pixels (a ring is one; specks from animated surfaces are not), X Y
# the top-left corner of its box, largest first.
# With a third argument X Y W H, only that part of the screenshots is looked at.
new_accent() {
  local crop=() dx=0 dy=0
  if (($# == 6)); then
    crop=(-crop "$5x$6+$3+$4" +repage)
    dx=$3 dy=$4
  fi
  convert "$tmp/$2.ppm" "${crop[@]}" -fuzz 7% -transparent "#$accent" -transparent "#$ring" -alpha extract -negate \
    \( "$tmp/$1.ppm" "${crop[@]}" -fuzz 7% -transparent "#$accent" -transparent "#$ring" -alpha extract \) \
    -compose multiply -composite -define connected-components:verbose=true -connected-components 8 null: |
    awk -v dx="$dx" -v dy="$dy" '/gray\(255\)|srgb\(255,255,255\)|white/ && $4 + 0 >= 80 {
           split($2, g, "+"); print $4 + 0, g[2] + dx, g[3] + dy }' | sort -rn
}
# The keys given (none: nothing pressed), then a screenshot in which a ring has appeared;
# `pieces` holds what turned into a ring colour.
step=0 pieces=""
ring_after() {
  local before="s$step"
  step=$((step + 1))
  if [[ -n "$1" ]]; then press $1; else sleep 0.35; fi
  shot "s$step"
  pieces="$(new_accent "$before" "s$step" "${@:2}")"
  # Where a ring must appear, a busy machine may draw it a little later: look again for 3 s.
  local tries=0
  while (($# == 1)) && [[ -z "$pieces" ]] && ((++tries <= 10)); do
    sleep 0.3
    shot "s$step"
    pieces="$(new_accent "$before" "s$step")"
  done
  [[ -z "${QV_TRACE:-}" ]] || echo "step $step after \"$1\": $(tr '\n' ';' <<<"$pieces")" >&2
  (($# > 1)) || [[ -n "$pieces" ]] || fail "no focus ring after \"$1\" (step $step)"
}
# Whether one of the pieces starts within the rectangle X0 Y0 X1 Y1 (window coordinates).
piece_within() {
  awk -v x0="$1" -v y0="$2" -v x1="$3" -v y1="$4" \
    '$2 >= x0 && $2 <= x1 && $3 >= y0 && $3 <= y1 { found = 1 } END { exit !found }' <<<"$pieces"
}
# Tab until a ring starts within the rectangle.
tab_to() {
  local i
  for i in $(seq 1 40); do
    # Only round the place looked for: a ring starting there fits in this.
    ring_after Tab $(($1 > 6 ? $1 - 6 : 0)) $(($2 > 6 ? $2 - 6 : 0)) $(($3 - $1 + 300)) $(($4 - $2 + 120))
    piece_within "$@" && return 0
  done
  fail "Tab did not reach the control within $*"
}
# The focus is on the control within the rectangle, ring shown: Shift+Tab leaves it and
# Tab comes back to it (a ring that only moved a little, as from a sheet's button to the
# control under it, would not show as new pixels).
focus_back_within() {
  press shift+Tab
  step=$((step + 1)); shot "s$step"
  ring_within Tab "$@"
}
# The ring after the keys lies within the rectangle.
ring_within() {
  ring_after "$1"
  piece_within "${@:2}" || fail "no ring within ${*:2} after \"$1\" (step $step): $(tr '\n' ';' <<<"$pieces")"
}

stored() { # KEY: the stored value, as JSON (data as the text it holds)
  python3 -c 'import base64, json, sys
v = json.load(open(sys.argv[1]))["values"].get(sys.argv[2])
print("" if not v else base64.b64decode(v["v"]).decode() if v["t"] == "data" else json.dumps(v["v"]))' \
    "$tmp/config/Quellvista/defaults.json" "$1" 2>/dev/null || true
}
stored_has() { [[ "$(stored "$1")" == *"$2"* ]]; }
stored_is() { [[ "$(stored "$1")" == "$2" ]]; }
slider_field() { # NAME FIELD: a field of the slider's line in the control list
  awk -F'\t' -v name="$1" -v f="$2" '$2 == name { print $f }' "$tmp/controls" 2>/dev/null
}
slider_value() { local v; v="$(slider_field "$1" 4)"; echo "${v%% *}"; }
slider_is() { [[ "$(slider_value "$1")" == "$2" ]]; }
# Tab to the slider of the name: the ring round its place (the control list's, in screen
# coordinates, less the window's place).
tab_to_slider() {
  local rect x y wx wy
  poll 5 bash -c "[[ -s '$tmp/controls' ]]" || fail "no control list"
  rect="$(slider_field "$1" 3)"
  read -r x y _ _ <<<"$rect"
  read -r wx wy <<<"$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^[XY]=//p' | tr '\n' ' ')"
  tab_to $((x - wx - 10)) $((y - wy - 10)) $((x - wx + 4)) $((y - wy + 4))
}
in_file() { grep -q "$2" "$1" 2>/dev/null; }

for appearance in light dark; do
  [[ "$appearance" == light ]] && accent=7A6854 ring=1A1A1A || accent=C6AE8A ring=F5F5F7
  rm -rf "$tmp/home" "$tmp/config" "$tmp/data" "$tmp/controls"
  make_isolated
  isolated+=(QUELLVISTA_CONTROL_LIST="$tmp/controls")
  mkdir -p "$tmp/config/Quellvista"
  printf '{"format":"quellvista-defaults","version":1,"values":{"appAppearanceMode":{"t":"string","v":"%s"}}}\n' \
    "$appearance" >"$tmp/config/Quellvista/defaults.json"
  start_app keyboard-only find_main
  xdotool windowfocus --sync "$window"
  sleep 1.5
  width="$(xdotool getwindowgeometry --shell "$window" | sed -n 's/^WIDTH=//p')"
  step=0
  shot s0

  # The first sidebar row, then on to the master switch at the header's right (the rows
  # and the gear on the way); Space switches comfort tuning on (Focus).
  ring_within Tab 0 80 60 140
  tab_to $((width - 200)) 0 "$width" 80
  keep "s$step"
  press space
  poll 5 stored_is activePreset '"Focus"' || fail "Space on the master switch did not apply Focus"
  step=$((step + 1)); shot "s$step"

  # The third profile tile (Low Stimulus): Return applies it.
  tab_to 640 180 720 240
  keep "s$step"
  press Return
  poll 5 stored_is activePreset '"Low Stimulus"' || fail "Return on a profile tile did not apply it: $(stored activePreset)"
  step=$((step + 1)); shot "s$step"
  # Its menu opens with Shift+F10 on "Rename"; the arrows walk the entries.
  ring_after shift+F10
  keep "s$step"
  ring_after Down
  ring_after Up
  # Return opens the rename sheet on its name field; Esc closes it unchanged and the ring
  # is on the tile again.
  press Return ctrl+a
  xdotool type --delay 40 "Quiet"
  sleep 0.4
  step=$((step + 1)); shot "s$step"
  keep "s$step"
  ring_within Escape 640 180 720 240
  stored_has renamedComfortPresets Quiet && fail "Esc renamed the profile"
  # Again, and Return saves the typed name.
  press shift+F10 Return ctrl+a
  xdotool type --delay 40 "Quiet"
  press Return
  poll 5 stored_has renamedComfortPresets Quiet || fail "the rename sheet did not save the typed name"
  step=$((step + 1)); shot "s$step"

  # "New profile": Return saves the current settings as a profile.
  tab_to 280 250 340 300
  press Return
  poll 5 stored_has savedComfortProfiles '"id"' || fail "Return on \"New profile\" saved no profile"
  step=$((step + 1)); shot "s$step"

  # Software Brightness: End, Left, Page Down, Home and End.
  tab_to_slider "Software Brightness"
  keep "s$step"
  press End
  poll 5 slider_is "Software Brightness" 1 || fail "End moved brightness to $(slider_value 'Software Brightness')"
  press Left
  poll 5 slider_is "Software Brightness" 0.99 || fail "Left moved brightness to $(slider_value 'Software Brightness')"
  press Next
  poll 5 slider_is "Software Brightness" 0.89 || fail "Page Down moved brightness to $(slider_value 'Software Brightness')"
  press Home
  poll 5 slider_is "Software Brightness" 0.1 || fail "Home moved brightness to $(slider_value 'Software Brightness')"
  press End
  poll 5 slider_is "Software Brightness" 1 || fail "End moved brightness to $(slider_value 'Software Brightness')"
  # Black lift moves by one per cent of its shown value (0.004), not a quarter of its range.
  step=$((step + 1)); shot "s$step"
  tab_to_slider "Black Lift"
  press Home Right
  poll 5 slider_is "Black Lift" 0.004 || fail "Right moved black lift to $(slider_value 'Black Lift')"
  step=$((step + 1)); shot "s$step"
  # On down to red mode, the page scrolling along.
  for _ in 1 2 3 4 5 6; do ring_after Tab; done
  keep "s$step"

  # The guide button (Tab goes round): Return opens the tour and keys come at once while
  # its pop-up fades in; Esc closes it and the ring is on the guide button again.
  tab_to $((width - 80)) 0 "$width" 80
  xdotool key --delay 20 Return Tab Tab shift+Tab
  sleep 0.6
  step=$((step + 1)); shot "s$step"
  keep "s$step"
  press Escape
  poll 5 stored_is displayComfortGuideCompleted true || fail "Esc did not close the tour"
  focus_back_within $((width - 80)) 0 "$width" 80

  # The hardware header: Return expands it; its protection switches come next.
  ring_within Tab 260 50 420 130
  press Return
  step=$((step + 1)); shot "s$step"
  for _ in 1 2 3 4 5 6; do ring_after Tab; done
  keep "s$step"

  # Support (its sidebar row, Tab going round), then "Leave comment": Return opens the
  # composer on its comment; Shift+Tab goes back to the contact field, Tab on over the
  # comment to Cancel and Save.
  tab_to 0 190 60 240
  press Return
  poll 5 stored_is mainWindow.selectedSection '"Support"' || fail "Return on the Support row did not open Support"
  step=$((step + 1)); shot "s$step"
  tab_to 600 150 800 260
  press Return
  xdotool type --delay 30 "Too bright at night"
  press shift+Tab
  xdotool type --delay 30 "me@example.org"
  press Tab Tab Tab
  step=$((step + 1)); shot "s$step"
  keep "s$step"
  press Return
  feedback="$tmp/data/Quellvista/feedback.json"
  poll 5 in_file "$feedback" "Too bright at night" || fail "the composer did not save the typed comment"
  in_file "$feedback" "me@example.org" || fail "the contact field did not take the typed text"
  # Opened again, Esc closes it unsaved and the ring is back on "Leave comment".
  press Return
  step=$((step + 1)); shot "s$step"
  press Escape
  focus_back_within 600 150 800 260
  [[ "$(grep -c '"comment"' "$feedback")" == 1 ]] || fail "Esc saved a note"

  # Tab held down for five seconds; then Tab still shows the ring.
  xdotool key --delay 25 --repeat 200 Tab
  sleep 0.5
  kill -0 "$app_pid" 2>/dev/null || fail "the application exited while Tab was held"
  step=$((step + 1)); shot "s$step"
  ring_after Tab

  kill "$app_pid" 2>/dev/null; wait "$app_pid" 2>/dev/null || true
  app_pid=""
done
echo "keyboard-only: ok"
