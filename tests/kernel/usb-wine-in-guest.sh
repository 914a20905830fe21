#!/usr/bin/env bash
# The windows-usb-vm stage's tests, run as root inside the virtual machine of scripts/run-in-vm.sh:
# the x64 Windows programs under Wine update the USB virtual target (tools/usb-target on
# dummy_hcd), which Wine's HID bus (winebus) shows them through hidraw and udev as it shows a real
# USB HID device: named with &MI_00 after the product id, without a port.
# Usage (inside the guest, from the repository):
#   tests/kernel/usb-wine-in-guest.sh WINDOWS_BUILD_DIR PREFIX LINUX_BUILD_DIR [X86_BUILD_DIR|none [ONLY]]
# ONLY, an extended regular expression, runs just the tests whose names match it.
# With an x86 build folder the x86 tool and Tolvane.dll run too, under 32-bit Wine.
# The prefix (prepared on the host by tests/kernel/run-usb-wine-stage.sh, with winebus's SDL bus
# off so that its hidraw bus starts) is written only in the guest's overlay. Prints each test's
# time and a ctest-style count line.
set -uo pipefail
windows=$(realpath "$1")
WINEPREFIX=$(realpath "$2")
linux=$(realpath "$3")
x86=${4:-none}
[ "$x86" = none ] || x86=$(realpath "$x86")
guest_only=${5:-}
export WINEPREFIX
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine64=/usr/lib/wine/wine64
target=$linux/tools/usb-target/tolvane-usb-target
work=$(mktemp -d /tmp/usb-wine-tests.XXXXXX)
head -c 12000 /dev/urandom >"$work/image.bin"

. "$(dirname "$0")/guest-tests.sh"
. "$(dirname "$0")/guest-targets.sh"
. "$(dirname "$0")/usb-guest-setup.sh"
target_pid=

start_target() {
  "$target" --udc dummy_udc.0 --memory-file "$work/target.mem" "$@" >"$work/target.log" 2>&1 &
  target_pid=$!
  wait_for_nodes 1
}

# Stops the target; one still running 10 s after SIGTERM is killed, its gadget removed, and the
# call fails.
stop_target() {
  [ -n "$target_pid" ] || return 0
  local status=0
  kill -TERM "$target_pid" 2>/dev/null
  reap_target usb "$target_pid" || status=1
  target_pid=
  [ -z "$(usb_leftovers)" ] || { echo "left behind: $(usb_leftovers)"; usb_remove_leftovers; status=1; }
  wait_for_nodes 0 && return "$status"
}

received_image() {
  stop_target
  cmp -s "$work/image.bin" "$work/target.mem" ||
    { echo "the target did not receive the image"; tail -n 5 "$work/target.log"; return 1; }
}

# Runs a Windows program from the work folder (bounded in time); expects its exit status and a
# pattern in its output.
# The program's architecture picks the Wine loader: x86 ones under 32-bit Wine.
expect_run() {
  local expected=$1 pattern=$2 wine=$wine64 dlls=/usr/x86_64-w64-mingw32/bin
  shift 2
  [[ "$1" == "$x86"/* ]] && wine=/usr/lib/wine/wine dlls=/usr/i686-w64-mingw32/bin
  local start=$SECONDS
  # tolvane.exe finds libgcrypt's and libgpg-error's DLLs in the cross toolchain's root.
  (cd "$work" && WINEPATH=$dlls timeout -k 5 180 "$wine" "$@") >"$work/out.txt" 2>&1
  local status=$?
  cat "$work/out.txt"
  echo "NOTE: ${1##*/} took $((SECONDS - start)) s" >/dev/console
  [ "$status" -eq "$expected" ] || { echo "expected exit $expected, got $status: $*"; return 1; }
  grep -Eiq "$pattern" "$work/out.txt" || { echo "no match for: $pattern"; return 1; }
}

after_test() { stop_target; }

test_x64_tool_lists_the_usb_device() {
  start_target --serial WINE-0001 && sleep 4 &&
    expect_run 0 'HID#VID_5C3B&PID_0326&MI_00#' "$windows/cli/tolvane.exe" list
}

# The tool of the build folder BUILD updates the target: the boot loader's arrival and removal,
# named with &MI_00, are seen.
tool_updates() {
  start_target && sleep 4 || return 1
  expect_run 0 "F/W update successfully !" "$1/cli/tolvane.exe" -v --record update.jsonl update \
    image.bin --vid 5C3B --pid 0326
  local status=$?
  # The notifications the engine heard and the tool's last words, for the stage's log.
  grep -E '"op":"(register|notice|signal|wait)"' "$work/update.jsonl" | cut -c1-160 >/dev/console
  grep -v 'feature  [<-]' "$work/out.txt" | tail -n 4 | cut -c1-120 >/dev/console
  [ "$status" -eq 0 ] && received_image
}

# The six calls of the build folder BUILD's Tolvane.dll update the target.
dll_six_calls() {
  start_target && sleep 4 &&
    expect_run 0 "DFU_ResetToAP: 0x00000000" "$1/tests/win32/kernel_six_calls.exe" image.bin &&
    received_image
}

# The shipped Vandrel.exe updates the target with the image inside it: the GUI driver confirms the
# update and expects the success box.
vandrel_updates() {
  start_target && sleep 4 &&
    expect_run 0 "^PASS device-update" "$1/tests/gui/vandrel_gui_driver.exe" device-update \
      "$1/app/Vandrel.exe" || return 1
  stop_target
  cmp -s app/firmware/shipped-image.bin "$work/target.mem" ||
    { echo "the target did not receive Vandrel's image"; tail -n 5 "$work/target.log"; return 1; }
}

usb_setup || { echo "0% tests passed, 1 tests failed out of 1"; exit 1; }
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || echo "NOTE: systemd-udevd did not start"
# An X screen for Wine's window station, and one Wine session kept open by an idle process, so
# each program does not start Wine's services anew.
Xvfb :7 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
export DISPLAY=:7
start=$SECONDS
sleep 100000 | "$wine64" cmd.exe >/dev/null 2>&1 &
for _ in $(seq 60); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.5; done
echo "NOTE: Wine's session under way in $((SECONDS - start)) s"
# The 32-bit half's first program loads its libraries while the session's services answer it;
# one program run first keeps that out of the updates' waits.
if [ "$x86" != none ]; then
  start=$SECONDS
  timeout -k 5 120 /usr/lib/wine/wine cmd.exe /c exit >/dev/null 2>&1
  echo "NOTE: 32-bit Wine's first program ended in $((SECONDS - start)) s"
fi

run_test x64_tool_updates_the_usb_device tool_updates "$windows"
run_test x64_dll_six_calls_update_the_usb_device dll_six_calls "$windows"
run_test x64_vandrel_updates_the_usb_device vandrel_updates "$windows"
if [ "$x86" != none ]; then
  run_test x86_tool_updates_the_usb_device tool_updates "$x86"
  run_test x86_dll_six_calls_update_the_usb_device dll_six_calls "$x86"
fi

timeout 20 /usr/lib/wine/wineserver -k
report_tests
