#!/usr/bin/env bash
# Installs the build into a temporary prefix with a space in its name and checks the result:
#  - the desktop entry passes desktop-file-validate, the metainfo appstreamcli validate, and
#    the icon is there as SVG and at every PNG size;
#  - --version prints the project's version, --help names the options and variables, an
#    unknown option prints the help on standard error and exits 2;
#  - the build folder's copy, then the installed copy, started on an X server's own screen:
#    each shows its main window, whose class is the desktop entry's StartupWMClass, and the
#    autostart entry then starts the installed program, by name as PATH finds it;
#  - a run with --machine simulated under a fresh home writes no autostart entry.
# Leaves icons.png in OUT: the installed icon at 16, 32, 48 and 256 px on light and dark.
# Usage: install.sh BUILD_DIR VERSION [OUT]
set -euo pipefail
build="$1" version="$2" out="${3:-.}"
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
begin_check install Xvfb xdotool xprop desktop-file-validate appstreamcli -- app_pid
fail() {
  echo "install: $1"
  cat "$tmp/app.log" 2>/dev/null || true
  exit 1
}

prefix="$tmp/pre fix"
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" 2>&1 || { cat "$tmp/install.log"; fail "the install failed"; }
id=com.tebrix.Quellvista
entry="$prefix/share/applications/$id.desktop"
desktop-file-validate "$entry" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo is not valid"
icons="$prefix/share/icons/hicolor"
[[ -s "$icons/scalable/apps/$id.svg" ]] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  [[ "$(identify -format '%wx%h' "$icons/${size}x${size}/apps/$id.png")" == "${size}x${size}" ]] ||
    fail "no ${size}x${size} icon"
done
mkdir -p "$out"
for background in '#f4f4f4' '#1e1e1e'; do
  tiles=()
  for size in 16 32 48 256; do
    tiles+=("(" -size 272x272 "xc:$background" "$icons/${size}x${size}/apps/$id.png" -gravity center -composite ")")
  done
  convert "${tiles[@]}" +append "$tmp/row-${background#\#}.png"
done
convert "$tmp/row-f4f4f4.png" "$tmp/row-1e1e1e.png" -append "$out/icons.png"
grep -qxF "Exec=\"$prefix/bin/quellvista\"" "$entry" || fail "the entry does not start the installed program: $(grep Exec= "$entry")"
installed="$prefix/bin/quellvista"

[[ "$("$installed" --version)" == "Quellvista $version" ]] || fail "--version says $("$installed" --version)"
"$installed" --help >"$tmp/help" 2>&1 || fail "--help failed"
for word in --machine --version --help QUELLVISTA_MACHINE QUELLVISTA_CONTROL_LIST QT_QUICK_BACKEND Super+Shift+B; do
  grep -q -- "$word" "$tmp/help" || fail "--help does not name $word"
done
status=0
"$installed" --no-such-option >"$tmp/out" 2>"$tmp/err" || status=$?
((status == 2)) && [[ ! -s "$tmp/out" ]] && grep -q -- "--machine" "$tmp/err" ||
  fail "an unknown option gave exit status $status and no help on standard error"
echo "install: entry, metainfo and icons valid; --version, --help and an unknown option answer"

start_xvfb install
make_isolated
isolated+=(QUELLVISTA_MACHINE= PATH="$prefix/bin:$PATH")
autostart="$tmp/config/autostart/quellvista.desktop"
wm_class="$(sed -n 's/^StartupWMClass=//p' "$entry")"
# Starts a copy on the X server's own screen until its main window shows, then ends it.
run_on_host() {
  app="$1"
  start_app install find_main
  xprop -id "$window" WM_CLASS | grep -q "\"$wm_class\"\$" ||
    fail "$app: the window's class is $(xprop -id "$window" WM_CLASS), not $wm_class"
  kill "$app_pid"
  wait "$app_pid" 2>/dev/null || true
  app_pid=""
}
run_on_host "$build/src/quellvista"
grep -qxF "Exec=\"$build/src/quellvista\"" "$autostart" || fail "after the build copy: $(grep Exec= "$autostart")"
run_on_host "$installed"
grep -qxF 'Exec="quellvista"' "$autostart" || fail "after the installed copy: $(grep Exec= "$autostart")"
echo "install: both copies show a window of class $wm_class; the login item starts the installed one"

# The simulated machine's login item is its own: nothing under the real autostart folder.
rm -rf "$tmp/home" "$tmp/config"
make_isolated
isolated+=(QUELLVISTA_MACHINE= PATH="$prefix/bin:$PATH")
printf '#!/bin/sh\nexec "%s" --machine simulated\n' "$installed" >"$tmp/simulated"
chmod +x "$tmp/simulated"
run_on_host "$tmp/simulated"
[[ ! -e "$tmp/config/autostart" && ! -e "$tmp/home/.config/autostart" ]] ||
  fail "the simulated machine wrote $(ls -R "$tmp/config/autostart" "$tmp/home/.config/autostart" 2>&1)"
echo "install: on the simulated machine no autostart entry is written"
