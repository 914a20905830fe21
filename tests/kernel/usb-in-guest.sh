#!/usr/bin/env bash
# The linux-usb stage's tests, run as root inside the virtual machine of scripts/run-in-vm.sh:
# virtual targets made real USB devices (tools/usb-target: configfs and FunctionFS on dummy_hcd's
# device controllers) go through usbcore, usbhid, hid-generic, hidraw and udev, and the built tool
# and library update them: ports, serial numbers and release numbers from the USB descriptors,
# usbhid's control transfers with their stalls and their 5 s limit.
# Usage (inside the guest, from the repository): tests/kernel/usb-in-guest.sh [BUILD_DIR [ONLY]]
# ONLY, an extended regular expression, runs just the tests whose names match it.
# Ends with a ctest-style count line, which scripts/test-all.sh adds up.
set -uo pipefail
build=$(realpath "${1:-build/linux}")
guest_only=${2:-}
tolvane=$build/cli/tolvane
target=$build/tools/usb-target/tolvane-usb-target
work=$(mktemp -d /tmp/usb-tests.XXXXXX)
chmod 755 "$work"  # the user of the plugdev test reads the image
image=$work/image.bin
head -c 12000 /dev/urandom >"$image"
chmod 644 "$image"

. "$(dirname "$0")/guest-tests.sh"
. "$(dirname "$0")/guest-targets.sh"
. "$(dirname "$0")/usb-guest-setup.sh"

# Starts a virtual target NAME on controller UDC with the target program's options; its memory
# goes to NAME.mem.
start_target() {
  local name=$1 udc=$2
  shift 2
  "$target" --udc "$udc" --reenumeration-ms 500 --memory-file "$work/$name.mem" "$@" \
    >"$work/$name.log" 2>&1 &
  pids[$name]=$!
}

# Whether the last command's output holds a line matching each pattern.
output_has() {
  local pattern
  for pattern in "$@"; do
    grep -Eq "$pattern" "$work/out.txt" || { echo "no line matches: $pattern"; tail -n 25 "$work/out.txt"; return 1; }
  done
}

# A line for the stage's log, from inside a test (whose own output is kept apart).
note() { echo "NOTE: $*" >/dev/console; }

after_test() { stop_targets; }

test_update_as_root() {
  start_target one dummy_udc.0 && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 && received_image one
}

# The port is the USB device's place, the serial and the release number its descriptors'.
test_list_shows_usb_descriptors() {
  start_target one dummy_udc.1 --serial TV-7781 --bcd 0123 && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" list &&
    output_has '5c3b:0326.*port 2-1.*serial TV-7781.*version 1\.23'
}

# A system without plugdev and without a rules folder: install-udev-rules makes both, and a user
# it told to join the group then updates the device, boot loader included, through the rules alone.
test_update_as_plugdev_user() {
  rm -rf /etc/udev/rules.d
  groupdel plugdev >/dev/null 2>&1
  id tester >/dev/null 2>&1 || useradd -M tester || return 1
  start_target one dummy_udc.0 && wait_for_nodes 1 && udevadm settle || return 1
  as_tester() { setpriv --reuid=tester --regid=tester --init-groups "$@"; }
  as_tester "$tolvane" update "$image" --vid 5C3B --pid 0326 >"$work/refused.txt" 2>&1 &&
    { echo "a user was let in before the rules"; return 1; }
  SUDO_USER=tester expect_status 0 "$tolvane" install-udev-rules || return 1
  usermod -aG plugdev tester
  local node
  node=$(ls /dev/hidraw* | head -n 1)
  stat -c '%A %G' "$node" | grep -q '^crw-rw---- plugdev$' ||
    { echo "node after the rules: $(stat -c '%A %G' "$node")"; return 1; }
  expect_status 0 as_tester "$tolvane" update "$image" --vid 5C3B --pid 0326 && received_image one
}

# Two controllers, two ports: a plain update refuses to choose, --all writes both.
test_two_targets_on_two_controllers() {
  start_target a dummy_udc.0 --serial A-0001 && start_target b dummy_udc.1 --serial B-0002 &&
    wait_for_nodes 2 || return 1
  expect_status 0 "$tolvane" list && output_has 'port 1-1.*serial A-0001' 'port 2-1.*serial B-0002' ||
    return 1
  expect_status 8 "$tolvane" update "$image" --vid 5C3B --pid 0326 || return 1
  expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 --all || return 1
  stop_targets
  cmp -s "$image" "$work/a.mem" && cmp -s "$image" "$work/b.mem" ||
    { echo "not both targets hold the image"; return 1; }
}

test_library_six_calls() {
  start_target one dummy_udc.0 && wait_for_nodes 1 &&
    expect_status 0 "$build/tests/kernel/kernel_six_calls" "$image" && received_image one
}

# The release numbers before and after come from bcdDevice: an application that comes back with
# the image's number passes --image-version, one that comes back with its old number does not.
test_versions_from_bcd_device() {
  start_target one dummy_udc.0 --bcd 0105 --version-after 0200 && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 --image-version 2.00 --json ||
    return 1
  output_has '"version_before": *"1\.05"' '"version_after": *"2\.00"' && received_image one ||
    return 1
  start_target old dummy_udc.0 --bcd 0105 && wait_for_nodes 1 &&
    expect_status 10 "$tolvane" update "$image" --vid 5C3B --pid 0326 --image-version 2.00 &&
    output_has 'version not updated: the application reports 1\.05, the image is 2\.00'
}

# The image is in, the boot loader left, and no application ever comes back.
test_application_never_back() {
  start_target one dummy_udc.0 --never-returns && wait_for_nodes 1 &&
    expect_status 14 "$tolvane" update "$image" --vid 5C3B --pid 0326 || return 1
  output_has 'the image was accepted, but the application did not come back within 30 s' &&
    received_image one
}

# Firmware that numbers its reports: the reset with ID 0 is refused before it leaves the host, as
# on Windows, and the one with ID 0x40 goes out on the wire and is taken.
test_numbered_reports() {
  start_target one dummy_udc.0 --application-pid 0327 --numbered-reports && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" -v update "$image" --vid 5C3B --pid 0327 || return 1
  output_has 'set feature  -> 00 44 .* error 87' 'set feature  -> 40 44 .* ok' && received_image one
}

# The feature reset stalled on the wire: ID 0 refused at the host, 0x40 stalled by the device
# (EPIPE), the output report 0x0C taken.
test_stalled_reset_falls_back() {
  start_target one dummy_udc.0 --application-pid 0327 --numbered-reports \
    --stall-report reset-feature && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" -v update "$image" --vid 5C3B --pid 0327 || return 1
  output_has 'set feature  -> 00 44 .* error 87' 'set feature  -> 40 44 .* error 31' \
    'write output -> 0c 44 .* ok' || return 1
  grep -q 'stalled SET report 40 (reset-feature)' "$work/one.log" ||
    { cat "$work/one.log"; return 1; }
  received_image one
}

# The checksum answered 6 s late: usbhid gives up after 5 s (ETIMEDOUT), which reaches the engine
# as the time-out 1460 and the tool's message with the kernel's errno.
test_late_checksum_answer() {
  start_target one dummy_udc.0 --late-report checksum-answer:6000 && wait_for_nodes 1 || return 1
  expect_status 7 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 || return 1
  note "late checksum: $(grep -v '\] #' "$work/out.txt" | tail -n 3 | tr '\n' ' ')"
  grep -q 'answering GET report 00 (checksum-answer) 6000 ms late' "$work/one.log" ||
    { cat "$work/one.log"; return 1; }
  output_has 'get feature.*error 1460' 'system error 1460: .*timeout.*errno 110'
}

# The device leaves at its fifth data report. Over USB that report's data is acknowledged before
# the device acts on it, so it succeeds on the wire (uhid fails it with EIO); the update fails
# with 7 at a later call, once the removal is seen.
test_unplugged_mid_download() {
  start_target one dummy_udc.0 --unplug-at 5 && wait_for_nodes 1 &&
    expect_status 7 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 || return 1
  local fifth
  fifth=$(od -An -tx1 -v -j256 -N64 "$image" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
  grep -- "set feature  -> 00 $fifth " "$work/out.txt" | grep -q ' ok' ||
    { echo "the fifth data report did not succeed"; grep 'set feature' "$work/out.txt" | cut -c1-90 | tail; return 1; }
  note "unplugged: $(grep -E 'set feature|get feature' "$work/out.txt" | tail -n 3 | cut -c1-40 | tr '\n' ' ')"
}

# A fault's update recorded over USB equals its checked-in recording
# (tests/record/fixtures/kernel-usb, made by scripts/record-kernel-fixtures.sh --usb): a kernel
# that answers otherwise shows up here, and the Linux stage holds the simulated bus to the same.
test_recording_equals_the_fixture() {
  local fixtures=tests/record/fixtures/kernel-usb
  bash tests/kernel/record-scenarios.sh "$build" "$work/recordings" --usb wrong_checksum || return 1
  "$build/tests/record/compare_recordings" "$fixtures/wrong_checksum.jsonl" \
    "$work/recordings/wrong_checksum.jsonl" && return 0
  echo "if the kernel is right, record anew: scripts/record-kernel-fixtures.sh --usb wrong_checksum"
  return 1
}

stage_start=$SECONDS
usb_setup || { echo "0% tests passed, 1 tests failed out of 1"; exit 1; }
echo "NOTE: USB gadget modules ready in $((SECONDS - stage_start)) s"
run_test usb_update_as_root test_update_as_root
run_test usb_list_shows_port_serial_and_bcd test_list_shows_usb_descriptors
run_test usb_library_six_calls test_library_six_calls
run_test usb_numbered_reports_reset_with_id_40 test_numbered_reports
run_test usb_stalled_reset_falls_back_to_output test_stalled_reset_falls_back
run_test usb_late_checksum_answer test_late_checksum_answer
run_test usb_unplugged_mid_download_fifth_report_succeeds test_unplugged_mid_download
# udev from here on, as on a desktop or a production line PC.
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || echo "NOTE: systemd-udevd did not start"
run_test usb_update_as_plugdev_user test_update_as_plugdev_user
run_test usb_two_targets_on_two_controllers test_two_targets_on_two_controllers
run_test usb_versions_from_bcd_device test_versions_from_bcd_device
run_test usb_application_never_back test_application_never_back
run_test usb_recording_equals_the_fixture test_recording_equals_the_fixture

echo "usb tests took $((SECONDS - stage_start)) s"
report_tests
