#!/usr/bin/env bash
# Takes docs/vandrel.png: the main window of a built Vandrel.exe under Wine, inside Wine's virtual
# desktop so that the caption is drawn, on a private Xvfb screen. ARCH x64 (wine64, default) or
# x86 (32-bit Wine, where it runs).
#   app/tools/take-screenshot.sh BUILD-DIR [OUTPUT.png] [ARCH]
set -eu
build=$(realpath "$1")
out=${2:-$(dirname "$0")/../../docs/vandrel.png}
arch=${3:-x64}
wine=/usr/lib/wine/wine64
[ "$arch" = x86 ] && wine=/usr/lib/wine/wine
prefix="$build/wine-screenshot-prefix"
shot=$(mktemp --suffix=.png)

# A display number of its own: other screens may run beside this one.
. "$(dirname "$0")/../../scripts/private-screen.sh"
start_private_screen 800x600x24
xvfb=$PRIVATE_SCREEN_PID
export WINEDEBUG=-all WINEPREFIX="$prefix"
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
  timeout 20 /usr/lib/wine/wineserver -k || true
  kill "$xvfb" 2>/dev/null && wait "$xvfb" 2>/dev/null || true
  rm -f "$shot"
}
trap cleanup EXIT

[ -d "$prefix" ] || timeout 1800 /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
timeout 60 "$wine" explorer /desktop=Vandrel,560x460 "$build/app/Vandrel.exe" >/dev/null 2>&1 &
sleep 10
import -window root "$shot"
# The desktop at the top left of the screen; the dialog opens centred in it.
convert "$shot" -crop 560x460+0+0 +repage "$out"
echo "wrote $out"
