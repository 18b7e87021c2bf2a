#!/usr/bin/env bash
# Long and hostile text in the feedback composer of the running application: typed fast
# and pasted (a million characters; ten thousand combining marks on one letter; mixed
# right-to-left and left-to-right text with NUL and control characters). The comment is
# held to the longest note the store keeps, and the window keeps answering the window
# manager's ping throughout: the longest wait is printed, and one over a second (a
# stall) fails the check.
# Usage: text-fields.sh APP PROBE
set -euo pipefail
app="$1" probe="$2"
for tool in Xvfb xdotool xclip python3; do
  command -v "$tool" >/dev/null || { echo "text-fields: $tool is missing (scripts/setup installs it)"; exit 1; }
done

tmp="$(mktemp -d)"
app_pid="" xvfb_pid="" clip_pid="" ping_pid=""
cleanup() { stop_all "$clip_pid" "$ping_pid" "$app_pid"; }
trap cleanup EXIT
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

start_xvfb text-fields
make_isolated
mkdir -p "$tmp/config/Quellvista"
cat >"$tmp/config/Quellvista/defaults.json" <<'JSON'
{"format":"quellvista-defaults","version":1,"values":{
 "mainWindow.selectedSection":{"t":"string","v":"Support"}}}
JSON
isolated+=(QUELLVISTA_CONTROL_LIST="$tmp/controls")
start_app text-fields find_main

# The centre of the listed control of a kind and name; "length" as the third argument: a
# text field's length instead.
centre() {
  python3 - "$tmp/controls" "$@" <<'PY'
import sys
for l in open(sys.argv[1], encoding='utf-8'):
    r = l.rstrip('\n').split('\t')
    if len(r) >= 4 and r[0] == sys.argv[2] and r[1] == sys.argv[3]:
        x, y, w, h = map(int, r[2].split())
        print(r[3] if len(sys.argv) > 4 else f"{x + w // 2} {y + h // 2}")
        sys.exit(0)
sys.exit(1)
PY
}
listed() { [[ -s "$tmp/controls" ]] && centre "$@" >/dev/null 2>&1; }
poll 15 listed button leaveComment || { echo "text-fields: no Leave comment button listed"; cat "$tmp/controls" 2>/dev/null; exit 1; }
xdotool mousemove $(centre button leaveComment) click 1
poll 10 listed text commentEditor || { echo "text-fields: the composer did not open"; exit 1; }
sleep 0.5
xdotool mousemove $(centre text commentEditor) click 1

paste() {
  [[ -n "$clip_pid" ]] && { kill "$clip_pid" 2>/dev/null; wait "$clip_pid" 2>/dev/null || true; }
  xclip -quiet -selection clipboard -i "$1" >/dev/null 2>&1 &
  clip_pid=$!
  sleep 0.3
  xdotool key ctrl+a ctrl+v
}
python3 -c 'import sys; sys.stdout.write("x" * 1000000)' >"$tmp/million.txt"
python3 -c 'import sys; sys.stdout.write("e" + "\u0301" * 10000)' >"$tmp/marks.txt"
python3 -c 'import sys; sys.stdout.write(("abc \u05e9\u05dc\u05d5\u05dd \u0627\u0644\u0639\u0631\u0628\u064a\u0629 def\x00\x01\x1b\r\n" * 2000))' \
  >"$tmp/mixed.txt"

window="$(xdotool search --onlyvisible --name '^Quellvista$' | head -n1)"
"$probe" ping "$window" 25 >"$tmp/ping.txt" &
ping_pid=$!
sleep 0.5
# Typed as fast as xdotool sends, then pasted over, three times, then typed at the limit.
# (Typed letters of other scripts would measure xdotool: it remaps the keyboard for each.)
xdotool type --delay 0 "$(python3 -c 'print(("word " * 400).strip())')"
for file in million marks mixed million; do
  paste "$tmp/$file.txt"
  sleep 2
done
xdotool type --delay 0 "$(python3 -c 'print("y" * 400)')"
wait "$ping_pid"
ping_pid=""
longest="$(cat "$tmp/ping.txt")"
echo "text-fields: the longest wait for the window's answer to a ping was ${longest} ms"
sleep 1.5 # the listing is written once a second
length="$(centre text commentEditor length)"
[[ "$length" == 10000 ]] || { echo "text-fields: the comment holds $length characters, not the 10000 kept"; exit 1; }
((longest < 1000)) || { echo "text-fields: the window stalled for ${longest} ms"; exit 1; }
kill -0 "$app_pid" || { echo "text-fields: the application ended"; cat "$tmp/app.log"; exit 1; }
if grep -q "QML\|qml:" "$tmp/app.log"; then echo "text-fields: QML warnings:"; grep "QML\|qml:" "$tmp/app.log"; exit 1; fi
echo "text-fields: the comment was held to 10000 characters without a stall"
