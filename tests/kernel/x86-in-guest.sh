#!/usr/bin/env bash
# The windows-x86-vm stage's tests, run as root inside the virtual machine of scripts/run-in-vm.sh,
# whose kernel runs 32-bit code where the build machine's does not: the x86 programs under 32-bit
# Wine, on an Xvfb screen, in a Wine prefix prepared on the host (tests/kernel/run-x86-stage.sh)
# and written only in the guest's overlay.
# Usage (inside the guest, from the repository): tests/kernel/x86-in-guest.sh BUILD_DIR PREFIX
# Prints each test's time, the screenshot of Vandrel.exe's window as base64 between
# "tolvane-vm-file-begin NAME" and "tolvane-vm-file-end" lines, and a ctest-style count line.
set -uo pipefail
build=$(realpath "$1")
WINEPREFIX=$(realpath "$2")
export WINEPREFIX
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# tolvane.exe finds libgcrypt's and libgpg-error's DLLs in the cross toolchain's root.
export WINEPATH=/usr/i686-w64-mingw32/bin
wine=/usr/lib/wine/wine
work=$(mktemp -d /tmp/x86-tests.XXXXXX)

. "$(dirname "$0")/guest-tests.sh"

# Runs a Windows program (bounded in time) and expects its exit status and a pattern in its output.
expect_run() {
  local expected=$1 pattern=$2
  shift 2
  timeout -k 5 120 "$wine" "$@" >"$work/out.txt" 2>&1
  local status=$?
  cat "$work/out.txt"
  [ "$status" -eq "$expected" ] || { echo "expected exit $expected, got $status: $*"; return 1; }
  grep -Eq "$pattern" "$work/out.txt" || { echo "no match for: $pattern"; return 1; }
}

# The end-to-end update of the x86 tool against its embedded simulated device.
test_tool_updates_simulated_device() {
  expect_run 0 "F/W update successfully !" "$build/cli/tolvane.exe" update --simulate --sim-fast \
    examples/sample.bin
}

# The x86 tool verifies a signed package with the libgcrypt it ships with, as the x64 one does.
test_tool_verifies_package() {
  expect_run 0 "signature holds, by trusted key 1573F66A23B769CF" "$build/cli/tolvane.exe" \
    verify tests/app/packages/signed.tvpkg --trust tests/app/packages/maker.pub
}

# The C caller: the six stdcall exports of the x86 Tolvane.dll, called as a C program does.
test_c_caller_six_calls() {
  expect_run 0 "^0 failed" "$build/tests/win32/tolvane_c_caller.exe"
}

# A GUI scenario: the driver checks the x86 Vandrel.exe's window from outside (texts, centred
# placement, status bar panes, focus) and ends it with Exit.
test_vandrel_shipped_window() {
  expect_run 0 "^PASS shipped-window" "$build/tests/gui/vandrel_gui_driver.exe" shipped-window \
    "$build/app/Vandrel.exe"
}

# Then a photograph of the program's window: once a frame shows more than the empty screen's
# single colour, the program is given two seconds to finish painting and the screen is taken again.
test_vandrel_screenshot() {
  "$wine" "$build/app/Vandrel.exe" >/dev/null 2>&1 &
  local program=$! colours=0
  for _ in $(seq 60); do
    import -window root "$work/frame.png" 2>/dev/null &&
      colours=$(identify -format %k "$work/frame.png" 2>/dev/null)
    [ "${colours:-0}" -ge 16 ] && break
    sleep 1
  done
  sleep 2
  import -window root "$work/shot.png" && colours=$(identify -format %k "$work/shot.png")
  kill "$program" 2>/dev/null
  echo "screenshot: ${colours:-0} colours"
  [ "${colours:-0}" -ge 16 ] || { echo "the screen never showed the window"; return 1; }
}

# An X screen for every program (Wine's window station needs one), and one Wine session kept open
# by an idle process, so each program does not start Wine's services anew.
Xvfb :7 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:7
start=$SECONDS
sleep 100000 | "$wine" cmd.exe >/dev/null 2>&1 &
for _ in $(seq 60); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.5; done
# Wine starts the session's desktop process when a program first needs the desktop, and lets that
# program wait 10 s for it at most; a program that waited in vain gets no display driver and makes
# no window for the rest of its life (a dialog fails with 1400: the C caller's DFU_Initialize did
# so when it came first). Under TCG the desktop process can take longer, so it is started here, as
# Wine would start it, and the probe runs, one process per attempt, until a new program makes its
# window.
"$wine" explorer.exe /desktop >/dev/null 2>&1 </dev/null &
probes=0
until timeout -k 5 60 "$wine" "$build/tests/win32/tolvane_first_window_probe.exe" \
  >"$work/probe.txt" 2>&1; do
  probes=$((probes + 1))
  if [ $((SECONDS - start)) -ge 180 ]; then
    echo "NOTE: no window possible after $((SECONDS - start)) s: $(tail -n 1 "$work/probe.txt")"
    break
  fi
  sleep 1
done
echo "NOTE: Wine's session under way in $((SECONDS - start)) s ($probes failed window probes)"

run_test x86_tool_updates_simulated_device test_tool_updates_simulated_device
run_test x86_tool_verifies_package test_tool_verifies_package
run_test x86_c_caller_six_calls test_c_caller_six_calls
run_test x86_vandrel_gui_shipped_window test_vandrel_shipped_window
run_test x86_vandrel_screenshot test_vandrel_screenshot

if [ -f "$work/shot.png" ]; then
  echo "tolvane-vm-file-begin vandrel-x86.png"
  base64 -w 76 "$work/shot.png"
  echo "tolvane-vm-file-end"
fi
timeout 20 /usr/lib/wine/wineserver -k

report_tests
