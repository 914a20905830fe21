#!/usr/bin/env bash
# Runs a Windows program under Wine for ctest: wine-run.sh x64|x86 PREFIX PROGRAM [ARGS...]
# PREFIX is a Wine prefix of this build folder, created on first use (under a lock, so tests may
# run in parallel). Wine's own messages are silenced. Every run is bounded by WINE_RUN_TIMEOUT
# seconds (default 600), so a test never hangs.
set -u
arch=$1
prefix=$2
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

export WINEPREFIX=$prefix
export WINEDEBUG=-all
# No Mono or Gecko installation dialogs in a fresh prefix.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
limit=${WINE_RUN_TIMEOUT:-600}

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/.tolvane-ready" ]; then
    # The 64-bit loader builds the prefix for both architectures, natively and quickly.
    timeout -k 10 "$limit" /usr/lib/wine/wine64 wineboot --init >/dev/null 2>&1
    timeout -k 10 "$limit" /usr/lib/wine/wineserver -w
    touch "$prefix/.tolvane-ready"
  fi
) 9>"$prefix.lock"

exec timeout -k 10 "$limit" "$wine" "$@"
