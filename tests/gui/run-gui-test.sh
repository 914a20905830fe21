#!/usr/bin/env bash
# Runs one GUI scenario of the Vandrel test driver under Wine (ARCH x64 or x86), for ctest:
#   run-gui-test.sh ARCH NAME SHOT-DIR WINE-RUN SHARED-PREFIX GUI-PREFIX DRIVER SCENARIO PROGRAM
# Each scenario has a Wine prefix of its own (GUI-PREFIX: hard links to the build's shared prefix,
# which WINE-RUN copies from the prefix prepared once per source tree) and an Xvfb screen of its
# own, so that scenarios run side by side and ending one's Wine server disturbs no other test. On
# failure the driver asks for a screenshot while the program still shows the failing state; it is
# saved as SHOT-DIR/NAME.png beside the test log. Every step is bounded in time.
set -u
arch=$1 name=$2 shotdir=$3 winerun=$4 shared=$5 prefix=$6 driver=$7 scenario=$8 program=$9
marker="$shotdir/$name.shot-request"

xvfb_pid=
cleanup() {
  # Ends what this test started under its prefix (the program, Wine's desktop), then the screen.
  WINEPREFIX=$prefix timeout 20 /usr/lib/wine/wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid"
  rm -f "$marker"
}
trap cleanup EXIT

# A screen of its own, also where DISPLAY is set: keyboard focus belongs to this scenario alone.
. "$(dirname "$0")/../../scripts/private-screen.sh"
start_private_screen 1024x768x24 2>&1 || exit 1
xvfb_pid=$PRIVATE_SCREEN_PID

# The shared prefix (a copy of the one prepared once per source tree), then this scenario's
# linked copy of it.
bash "$winerun" "$arch" "$shared" --prepare || { echo "no Wine prefix"; exit 1; }
mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if ! cmp -s "$shared/.tolvane-ready" "$prefix/.tolvane-ready"; then
    rm -rf "$prefix"
    # Hard links for the many system files, real copies of what Wine rewrites in place.
    cp -al "$shared" "$prefix"
    for reg in "$prefix"/*.reg; do cp --remove-destination "$shared/$(basename "$reg")" "$reg"; done
    cp --remove-destination "$shared/.tolvane-ready" "$prefix/.tolvane-ready"
  fi
) 9>"$prefix.lock"

mkdir -p "$shotdir"
rm -f "$marker" "$shotdir/$name.png"
winmarker="Z:${marker//\//\\}"

# The build's window probe, which makes sure Wine's desktop is ready before the program starts.
export WINE_WINDOW_PROBE=$(dirname "$shared")/tests/win32/tolvane_first_window_probe.exe
WINE_RUN_TIMEOUT=${WINE_RUN_TIMEOUT:-240} bash "$winerun" "$arch" "$prefix" "$driver" "$scenario" "$program" "$winmarker" &
driver_pid=$!
while kill -0 "$driver_pid" 2>/dev/null; do
  if [ -f "$marker" ]; then
    timeout 20 import -window root "$shotdir/$name.png" && echo "screenshot: $shotdir/$name.png"
    rm -f "$marker"
  fi
  sleep 0.2
done
wait "$driver_pid"
