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

# Runs a test, stops its targets, and fails it when it left the guest otherwise than it found it:
# a target that did not end on SIGTERM, a gadget still in configfs, FunctionFS still mounted or a
# hidraw node still there (each is removed, so that the next test starts clean).
leaves_guest_clean() {
  "$@"
  local status=$? leftovers
  stop_targets || status=1
  leftovers=$(usb_leftovers)
  if [ -n "$leftovers" ]; then
    echo "left behind: $leftovers"
    usb_remove_leftovers
    wait_for_nodes 0
    status=1
  fi
  return "$status"
}

# run_test for this stage: the test must leave the guest clean.
usb_test() {
  local name=$1
  shift
  run_test "$name" leaves_guest_clean "$@"
}

# Image bytes [OFFSET, OFFSET+COUNT) as the tool's -v log shows a report's bytes.
image_hex() {
  od -An -tx1 -v -j"$1" -N"$2" "$image" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//'
}

# How many of the tool's -v lines in FILE sent the K-th data report (64 image bytes each).
data_report_sent() {
  grep -c -- "set feature  -> 00 $(image_hex $((($2 - 1) * 64)) 64) " "$1"
}

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
  as_tester() { timeout -k 5 120 setpriv --reuid=tester --regid=tester --init-groups "$@"; }
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
  grep -- "set feature  -> 00 $(image_hex 256 64) " "$work/out.txt" | grep -q ' ok' ||
    { echo "the fifth data report did not succeed"; grep 'set feature' "$work/out.txt" | cut -c1-90 | tail; return 1; }
  note "unplugged: $(grep -E 'set feature|get feature' "$work/out.txt" | tail -n 3 | cut -c1-40 | tr '\n' ' ')"
}

# The 10th data report held by the device past usbhid's 5 s: the host gives up (ETIMEDOUT), and the
# engine does not send that report again, since the device may have taken it (data reports carry
# no number), nor any later one: the update fails with the time-out, and the device holds the nine
# reports before it. Over FunctionFS the device holds the whole request (its data stage), so it
# never takes the report the host gave up on.
test_data_report_held_past_5s() {
  start_target one dummy_udc.0 --late-report data:6000:10 && wait_for_nodes 1 || return 1
  expect_status 7 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 || return 1
  output_has 'set feature.*error 1460' 'system error 1460: .*timeout.*errno 110' || return 1
  local sent
  sent=$(data_report_sent "$work/out.txt" 10)
  [ "$sent" -eq 1 ] || { echo "the 10th data report was sent $sent times"; return 1; }
  [ "$(data_report_sent "$work/out.txt" 11)" -eq 0 ] || { echo "a report after it was sent"; return 1; }
  note "held 6 s: $(grep -v '\] #' "$work/out.txt" | tail -n 2 | tr '\n' ' ')"
  stop_targets
  grep -c 'answering SET report 00 (data) 6000 ms late' "$work/one.log" | grep -qx 1 ||
    { echo "the target did not hold exactly one data report"; cat "$work/one.log"; return 1; }
  head -c 576 "$image" >"$work/nine-reports.bin"
  cmp -s "$work/nine-reports.bin" "$work/one.mem" ||
    { echo "the target holds $(stat -c %s "$work/one.mem") bytes, not the nine reports' 576"; return 1; }
}

# Held 3 s, within usbhid's limit: the report goes through late and the update succeeds.
test_data_report_held_3s() {
  start_target one dummy_udc.0 --late-report data:3000:10 && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 || return 1
  [ "$(data_report_sent "$work/out.txt" 10)" -eq 1 ] || { echo "the 10th data report went more than once"; return 1; }
  grep -q 'answering SET report 00 (data) 3000 ms late' "$work/one.log" ||
    { cat "$work/one.log"; return 1; }
  received_image one
}

# Waits (at most 20 s) until target NAME's log has a line matching PATTERN.
wait_for_log() {
  local _
  for _ in $(seq 200); do
    grep -q "$2" "$work/$1.log" && return 0
    sleep 0.1
  done
  echo "no line \"$2\" in $1's log within 20 s"
  return 1
}

# Whether the -v log in FILE shows no report that reached a device.
sent_nothing() {
  local sent='\(set feature\|write output\) -> .* ok'
  ! grep -q "$sent" "$1" || { echo "$1 shows reports sent:"; grep "$sent" "$1" | cut -c1-70; return 1; }
}

# The port's lock outlasts the re-enumeration. While a first update runs, a download started once
# the application has left (it waits for the boot loader, which takes 3 s to come here) and an
# update started while the boot loader holds the 20th data report for 3 s (within usbhid's limit)
# both end 75 having sent nothing; the lock file is held meanwhile, and the first update writes
# the whole image. (An update started in the gap finds neither identity and ends 1, sending
# nothing: the reset to the boot loader looks once.)
test_port_lock_across_reenumeration() {
  local lock=/run/lock/tolvane-port-1-1.lock first waiting status
  start_target one dummy_udc.0 --reenumeration-ms 3000 --late-report data:3000:20 &&
    wait_for_nodes 1 || return 1
  timeout -k 5 90 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 >"$work/first.txt" 2>&1 &
  first=$!
  wait_for_nodes 0 || { kill "$first"; return 1; }
  timeout -k 5 90 "$tolvane" -v download "$image" >"$work/waiting.txt" 2>&1 &
  waiting=$!
  wait_for_log one 'answering SET report 00 (data)' || { kill "$first" "$waiting"; return 1; }
  flock -n "$lock" true && { echo "$lock is not held during the first update"; return 1; }
  expect_status 75 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 || return 1
  sent_nothing "$work/out.txt" || return 1
  output_has 'being updated by another tolvane process: nothing was sent' || return 1
  wait "$waiting"
  status=$?
  [ "$status" -eq 75 ] || { echo "the waiting download ended $status, not 75"; tail -n 5 "$work/waiting.txt"; return 1; }
  sent_nothing "$work/waiting.txt" || return 1
  wait "$first"
  status=$?
  [ "$status" -eq 0 ] || { echo "the first update ended $status"; tail -n 5 "$work/first.txt"; return 1; }
  received_image one
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
# As on an installed system, where the tool keeps its port locks.
mkdir -p /run/lock
echo "NOTE: USB gadget modules ready in $((SECONDS - stage_start)) s"
usb_test usb_update_as_root test_update_as_root
usb_test usb_list_shows_port_serial_and_bcd test_list_shows_usb_descriptors
usb_test usb_library_six_calls test_library_six_calls
usb_test usb_numbered_reports_reset_with_id_40 test_numbered_reports
usb_test usb_stalled_reset_falls_back_to_output test_stalled_reset_falls_back
usb_test usb_late_checksum_answer test_late_checksum_answer
usb_test usb_unplugged_mid_download_fifth_report_succeeds test_unplugged_mid_download
usb_test usb_data_report_held_past_5s_fails_sent_once test_data_report_held_past_5s
usb_test usb_data_report_held_3s_succeeds test_data_report_held_3s
usb_test usb_port_lock_holds_across_reenumeration test_port_lock_across_reenumeration
# udev from here on, as on a desktop or a production line PC.
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || echo "NOTE: systemd-udevd did not start"
usb_test usb_update_as_plugdev_user test_update_as_plugdev_user
usb_test usb_two_targets_on_two_controllers test_two_targets_on_two_controllers
usb_test usb_versions_from_bcd_device test_versions_from_bcd_device
usb_test usb_application_never_back test_application_never_back
usb_test usb_recording_equals_the_fixture test_recording_equals_the_fixture

echo "usb tests took $((SECONDS - stage_start)) s"
report_tests
