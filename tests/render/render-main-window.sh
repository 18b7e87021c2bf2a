#!/usr/bin/env bash
# Renders the main window with each section selected, light and dark, into renders/.
# Usage: tests/render/render-main-window.sh [build folder]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="${1:-$root/build/default}"
out="$root/renders"
mkdir -p "$out"
run() {
  if [[ -z "${DISPLAY:-}" ]]; then xvfb-run -a -s "-screen 0 1920x1200x24" "$@"; else "$@"; fi
}
for section in "Display & Comfort" "Blink Detection" "Break Reminders" "Support" "Settings"; do
  name="$(echo "$section" | tr 'A-Z' 'a-z' | tr -cs 'a-z' '-' | sed 's/-$//')"
  run "$build/tests/render/qv_render" --set "mainWindow.selectedSection=$section" \
      --out "$out/main-window-$name" Quellvista.App/MainWindow
done
