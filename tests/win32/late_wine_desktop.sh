#!/usr/bin/env bash
# Shows, under 64-bit Wine on this machine, why a C caller's first DFU_Initialize can answer 1400
# in a slow virtual machine, and that waiting for a window probe first avoids it. Run by hand:
#
#   bash tests/win32/late_wine_desktop.sh build/windows-x64
#
# (targets tolvane_c_caller and tolvane_first_window_probe built). Each case starts a Wine session
# of its own whose desktop process (explorer.exe /desktop) is held stopped for 15 s from its
# start, as a machine too slow to start it in Wine's 10 s would leave it:
#   1. the C caller is the session's first program with a window: its DFU_Initialize answers 1400;
#   2. the probe fails, and a second try in the same process 10 s later fails as well;
#   3. the probe runs, one process per attempt, until it makes its window (once the desktop
#      process runs again): the session is not spoilt, and the C caller then passes.
# Exits 0 when all three hold. Takes about a minute.
set -uo pipefail
build=$(realpath "${1:?usage: late_wine_desktop.sh BUILD_DIR}")
here=$(cd "$(dirname "$0")/../.." && pwd)
caller=$build/tests/win32/tolvane_c_caller.exe
probe=$build/tests/win32/tolvane_first_window_probe.exe
for program in "$caller" "$probe"; do
  [ -f "$program" ] || { echo "not built: $program"; exit 2; }
done
wine=/usr/lib/wine/wine64
work=$(mktemp -d /tmp/late-desktop.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export WINEPATH=/usr/x86_64-w64-mingw32/bin
. "$here/scripts/private-screen.sh"
start_private_screen 1024x768x24 || exit 1
screen=$PRIVATE_SCREEN_PID
holder=
cleanup() {
  [ -n "$holder" ] && kill "$holder" 2>/dev/null
  WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null
  kill "$screen" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0

# A session of its own for each case, from the build's prepared prefix.
bash "$here/cmake/wine-run.sh" x64 "$build/wine-prefix" --prepare || exit 1
new_session() {
  WINEPREFIX=$work/prefix /usr/lib/wine/wineserver -k 2>/dev/null
  rm -rf "$work/prefix"
  cp -a "$build/wine-prefix" "$work/prefix"
  export WINEPREFIX=$work/prefix
}

# Stops this session's desktop process as soon as it exists, for 15 s (in the background).
hold_desktop() {
  (
    for _ in $(seq 3000); do
      for pid in $(pgrep -f 'explorer.exe /desktop'); do
        if tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX"; then
          kill -STOP "$pid" && sleep 15
          kill -CONT "$pid"
          exit 0
        fi
      done
      sleep 0.01
    done
  ) &
  holder=$!
}

# expect WHAT PATTERN [COUNT]: the output has COUNT lines (default: at least one) matching PATTERN.
expect() {
  local found
  found=$(grep -Ec "$2" "$work/out.txt")
  if { [ -z "${3:-}" ] && [ "$found" -gt 0 ]; } || [ "$found" = "${3:-}" ]; then
    echo "ok: $1"
  else
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
  sed 's/^/  | /' "$work/out.txt"
}

new_session
hold_desktop
"$wine" "$caller" >"$work/out.txt" 2>&1
expect "first program with a window, desktop late: DFU_Initialize answers 1400" \
  "FAILED: DFU_Initialize\(\) answered 0x00000578"
wait "$holder"

new_session
hold_desktop
"$wine" "$probe" 10000 >"$work/out.txt" 2>&1
expect "desktop late: no window, and none in the same process 10 s later" \
  "^first window: failed" 2
wait "$holder"

new_session
hold_desktop
probes=0
until "$wine" "$probe" >>"$work/probes.txt" 2>&1; do
  probes=$((probes + 1))
  [ "$probes" -lt 60 ] || break
  sleep 1
done
"$wine" "$caller" >"$work/out.txt" 2>&1
echo "($probes failed probes before the first window)"
expect "after the probe made its window: the C caller passes" "^0 failed"
wait "$holder"

echo "$failures failed"
[ "$failures" -eq 0 ]
