#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest: wine-run.sh x64|x86 PREFIX PROGRAM [ARGS...]
#
# PREFIX is a Wine prefix of the build folder. Building a prefix takes seconds to minutes, so it is
# built once per source tree, in build/wine-prefix-template, and each build folder's prefix starts
# as a fresh copy of it. A template built before 32-bit Wine was installed lacks its 32-bit half
# and is built again. Both steps take a lock, so tests may run in parallel; each run then works in a
# linked copy of PREFIX of its own, removed when it ends. Without an X display the program runs on
# an Xvfb screen of its own (scripts/private-screen.sh). "wine-run.sh ARCH PREFIX --prepare" only
# prepares the prefix. Wine's messages are silenced. Every run is bounded by WINE_RUN_TIMEOUT
# seconds (default 600), so a test never hangs. Whether 32-bit Wine runs here at all is
# scripts/wine32-mode.sh's decision, made when the build is configured.
set -u
arch=$1
prefix=$(realpath -m "$2")
shift 2

case "$arch" in
  x64) wine=/usr/lib/wine/wine64 ;;
  x86) wine=/usr/lib/wine/wine ;;
  *) echo "wine-run.sh: unknown architecture '$arch'" >&2; exit 2 ;;
esac
if [ ! -x "$wine" ]; then
  echo "wine-run.sh: $wine is not installed" >&2
  exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
template=${WINE_PREFIX_TEMPLATE:-$here/../build/wine-prefix-template}
limit=${WINE_RUN_TIMEOUT:-600}
export WINEDEBUG=-all
# libgcrypt and libgpg-error are DLLs of the cross toolchain's root; the programs find them there.
case "$arch" in
  x64) export WINEPATH="/usr/x86_64-w64-mingw32/bin${WINEPATH:+;$WINEPATH}" ;;
  x86) export WINEPATH="/usr/i686-w64-mingw32/bin${WINEPATH:+;$WINEPATH}" ;;
esac
# No Mono or Gecko installation dialogs, no menu entries.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# What the template holds: its 64-bit half always, its 32-bit half when 32-bit Wine is installed.
halves=win64
[ -x /usr/lib/wine/wine ] && halves="win64 win32"

mkdir -p "$(dirname "$template")" "$(dirname "$prefix")"
(
  flock 9
  if [ "$(cat "$template/.tolvane-ready" 2>/dev/null)" != "$halves" ]; then
    rm -rf "$template"
    if ! WINEPREFIX=$template timeout -k 10 1800 /usr/lib/wine/wine64 wineboot --init \
        >/dev/null 2>&1; then
      echo "wine-run.sh: building the Wine prefix $template failed" >&2
      exit 1
    fi
    WINEPREFIX=$template timeout -k 10 60 /usr/lib/wine/wineserver -w
    echo "$halves" >"$template/.tolvane-ready"
  fi
) 9>"$template.lock" || exit 1
(
  flock 9
  if ! cmp -s "$template/.tolvane-ready" "$prefix/.tolvane-ready"; then
    rm -rf "$prefix"
    cp -a --reflink=auto "$template" "$prefix"
  fi
) 9>"$prefix.lock"

# "--prepare": only make sure the prefix exists (a test of its own, with a longer time limit).
if [ "${1:-}" = "--prepare" ]; then
  exit 0
fi

# Each run gets a Wine prefix of its own: hard links to PREFIX's many system files, real copies of
# the registry, which Wine rewrites. Runs side by side then share no Wine server, so one run's
# server shutting down (or its screen going) cannot take another run's windows with it.
run=$(mktemp -d "$prefix.run.XXXXXX") || exit 1
screen=
cleanup() {
  [ -n "$screen" ] && kill "$screen" 2>/dev/null && wait "$screen"
  rm -rf "$run"
}
trap cleanup EXIT
cp -al "$prefix/." "$run/" || exit 1
for reg in "$run"/*.reg; do cp --remove-destination "$prefix/$(basename "$reg")" "$reg"; done
export WINEPREFIX=$run
if [ -z "${DISPLAY:-}" ]; then
  . "$here/../scripts/private-screen.sh"
  start_private_screen 1024x768x24 || exit 1
  screen=$PRIVATE_SCREEN_PID
fi
# Wine starts the session's desktop process when a program first needs the desktop and lets that
# program wait 10 s for it at most; a program that waited in vain makes no window for the rest of
# its life (a dialog fails with 1400). On a busy machine the desktop can be that late, so a window
# probe comes first, one process per attempt, until a new program can make a window. (The desktop
# is not started by hand: one started so outlives the run and holds up the server's end.) Runs
# without the probe (a build that has none) go on as before.
probe=${WINE_WINDOW_PROBE:-$(dirname "$prefix")/tests/win32/tolvane_first_window_probe.exe}
if [ -f "$probe" ]; then
  for _ in 1 2 3 4 5 6; do
    timeout -k 5 60 "$wine" "$probe" >/dev/null 2>&1 && break
    sleep 1
  done
fi
timeout -k 10 "$limit" "$wine" "$@"
status=$?
# Let this run's server end before its display and its prefix go.
timeout -k 5 60 /usr/lib/wine/wineserver -w || /usr/lib/wine/wineserver -k
exit $status
