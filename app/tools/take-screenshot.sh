#!/usr/bin/env bash
# Takes docs/vandrel.png: the main window of a built Vandrel.exe under wine64, inside Wine's
# virtual desktop so that the caption is drawn, on a private Xvfb screen.
#   app/tools/take-screenshot.sh BUILD-DIR [OUTPUT.png]
set -eu
build=$(realpath "$1")
out=${2:-$(dirname "$0")/../../docs/vandrel.png}
prefix="$build/wine-screenshot-prefix"
shot=$(mktemp --suffix=.png)

Xvfb :97 -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
export DISPLAY=:97 WINEDEBUG=-all WINEPREFIX="$prefix"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() { timeout 20 /usr/lib/wine/wineserver -k || true; kill "$xvfb" 2>/dev/null || true; rm -f "$shot"; }
trap cleanup EXIT

[ -d "$prefix" ] || timeout 1800 /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
timeout 60 /usr/lib/wine/wine64 explorer /desktop=Vandrel,560x460 "$build/app/Vandrel.exe" \
  >/dev/null 2>&1 &
sleep 10
import -window root "$shot"
# The dialog opens at the desktop's top left corner.
convert "$shot" -crop 463x399+0+0 +repage "$out"
echo "wrote $out"
