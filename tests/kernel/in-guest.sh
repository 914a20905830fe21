#!/usr/bin/env bash
# The linux-kernel stage's tests, run as root inside the virtual machine of scripts/run-in-vm.sh:
# virtual targets made through /dev/uhid (tools/uhid-target) go through hid-core, hidraw and udev
# as USB devices do, and the built tool, library and tests update them.
# Usage (inside the guest, from the repository): tests/kernel/in-guest.sh [BUILD_DIR [ONLY]]
# ONLY, an extended regular expression, runs just the tests whose names match it.
# Ends with a ctest-style count line, which scripts/test-all.sh adds up.
set -uo pipefail
build=$(realpath "${1:-build/linux}")
guest_only=${2:-}
tolvane=$build/cli/tolvane
target=$build/tools/uhid-target/tolvane-uhid-target
work=$(mktemp -d /tmp/kernel-tests.XXXXXX)
chmod 755 "$work"  # the user of the plugdev test reads the image
image=$work/image.bin
head -c 40000 /dev/urandom >"$image"
chmod 644 "$image"

. "$(dirname "$0")/guest-tests.sh"
. "$(dirname "$0")/lock-tests.sh"
. "$(dirname "$0")/guest-targets.sh"

# Starts a virtual target NAME with the target program's options; its memory goes to NAME.mem.
start_target() {
  local name=$1
  shift
  "$target" --memory-file "$work/$name.mem" "$@" >"$work/$name.log" 2>&1 &
  pids[$name]=$!
}

# Every test ends with no target left running.
after_test() { stop_targets; }

test_uhid_unit_tests_run() {
  "$build/tests/linux/hidraw_test" --gtest_filter='HidrawOnUhid.*' >"$work/gtest.txt" 2>&1 ||
    { cat "$work/gtest.txt"; return 1; }
  ! grep -q SKIPPED "$work/gtest.txt" || { cat "$work/gtest.txt"; return 1; }
}

# The seams' conformance suite on the real kernel: its uhid backend must run, not skip.
test_seam_conformance() {
  "$build/tests/conformance/seam_conformance_test" --gtest_filter='Kernel/*' \
    >"$work/gtest.txt" 2>&1 || { cat "$work/gtest.txt"; return 1; }
  ! grep -q 'SKIPPED.*InterfaceTellsItsIdentity' "$work/gtest.txt" || { cat "$work/gtest.txt"; return 1; }
}

test_update_as_root() {
  start_target one --port 1.4 && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 && received_image one
}

# A system without plugdev and without a rules folder: install-udev-rules makes both, and a user
# it told to join the group then updates the device through udev's rules alone.
test_update_as_plugdev_user() {
  rm -rf /etc/udev/rules.d
  groupdel plugdev >/dev/null 2>&1
  id tester >/dev/null 2>&1 || useradd -M tester || return 1
  start_target one --port 1.4 && wait_for_nodes 1 && udevadm settle || return 1
  as_tester() { setpriv --reuid=tester --regid=tester --init-groups "$@"; }
  as_tester "$tolvane" update "$image" --vid 5C3B --pid 0326 >"$work/refused.txt" 2>&1 &&
    { echo "a user was let in before the rules"; return 1; }
  SUDO_USER=tester expect_status 0 "$tolvane" install-udev-rules || return 1
  grep -q "Created the group plugdev" "$work/out.txt" &&
    grep -q "tester is not in plugdev" "$work/out.txt" || { cat "$work/out.txt"; return 1; }
  usermod -aG plugdev tester
  stat -c '%A %G' /dev/hidraw0 | grep -q '^crw-rw---- plugdev$' ||
    { echo "node after the rules: $(stat -c '%A %G' /dev/hidraw0)"; return 1; }
  expect_status 0 as_tester "$tolvane" update "$image" --vid 5C3B --pid 0326 && received_image one
}

test_two_targets_at_distinct_ports() {
  start_target a --port 1.4 --serial A-0001 && start_target b --port 1.5 --serial B-0002 &&
    wait_for_nodes 2 || return 1
  expect_status 0 "$tolvane" list || return 1
  grep -q "port 1-1.4" "$work/out.txt" && grep -q "port 1-1.5" "$work/out.txt" ||
    { cat "$work/out.txt"; return 1; }
  expect_status 8 "$tolvane" update "$image" --vid 5C3B --pid 0326 || return 1
  expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 --port 1-1.5 || return 1
  expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 --all || return 1
  stop_targets
  cmp -s "$image" "$work/a.mem" && cmp -s "$image" "$work/b.mem" ||
    { echo "not both targets hold the image"; return 1; }
}

# A production line: the station updates four targets plugged in one after another, each once.
test_station_four_staggered_targets() {
  local port
  "$tolvane" station "$image" --vid 5C3B --pid 0326 --count 4 --log "$work/station.log" \
    >"$work/station.txt" 2>&1 &
  local station=$!
  for port in 1.1 1.2 1.3 1.4; do
    sleep 1
    start_target "t$port" --port "$port"
  done
  local waited
  for waited in $(seq 120); do
    kill -0 "$station" 2>/dev/null || break
    sleep 0.5
  done
  if kill -0 "$station" 2>/dev/null; then
    kill -INT "$station"
    echo "the station did not end after 4 devices"
    tail -n 20 "$work/station.txt"
    return 1
  fi
  wait "$station" || { tail -n 20 "$work/station.txt"; return 1; }
  [ "$(wc -l <"$work/station.log")" -eq 4 ] || { cat "$work/station.log"; return 1; }
  stop_targets
  for port in 1.1 1.2 1.3 1.4; do
    cmp -s "$image" "$work/t$port.mem" || { echo "target at $port lacks the image"; return 1; }
  done
}

test_library_six_calls() {
  start_target one --port 1.4 && wait_for_nodes 1 &&
    expect_status 0 "$build/tests/kernel/kernel_six_calls" "$image" && received_image one
}

# Each fault of the device ends with the code the simulated device gives for it, and its calls
# still equal the checked-in recording of that scenario (tests/record/fixtures/kernel, made by
# scripts/record-kernel-fixtures.sh with the same target), times and paths aside: a kernel that
# answers otherwise shows up here.
fixtures=tests/record/fixtures/kernel
test_fault() {
  local name=$1 row code options
  row=$(awk -F'|' -v n="$name" '$1 ~ "^" n " *$"' "$fixtures/scenarios.txt")
  IFS='|' read -r _ code _ options _ <<<"$row"
  # shellcheck disable=SC2086 # the options are words
  start_target one --port 1 --serial SIM000001 $options && wait_for_nodes 1 &&
    expect_status $code "$tolvane" --record "$work/$name.jsonl" update "$fixtures/image.bin" \
      --vid 5C3B --pid 0326 || return 1
  same_as_fixture "$name" "$work/$name.jsonl"
}

same_as_fixture() {
  "$build/tests/record/compare_recordings" "$fixtures/$1.jsonl" "$2" && return 0
  echo "if the kernel is right, record the fixtures anew: scripts/record-kernel-fixtures.sh $1"
  return 1
}

# A boot loader that takes the third data report and answers it only after the kernel's 5 s limit:
# the update fails with the time-out (EIO after the wait), and that report went out once; the
# boot loader holds the first two reports and the third, nothing after it.
test_held_report() {
  start_target one --port 1.4 --hold-report 3:8000 && wait_for_nodes 1 &&
    expect_status 7 "$tolvane" -v update "$image" --vid 5C3B --pid 0326 || return 1
  local third sent
  third=$(od -An -tx1 -v -j128 -N64 "$image" | tr -s ' \n' ' ' | sed 's/^ //; s/ $//')
  sent=$(grep -c -- "set feature  -> 00 $third " "$work/out.txt")
  [ "$sent" -eq 1 ] && grep -- "set feature  -> 00 $third " "$work/out.txt" | grep -q 'error 31' ||
    { echo "the held report was sent $sent times"; grep 'set feature' "$work/out.txt" | cut -c1-90; return 1; }
  stop_targets
  [ "$(stat -c %s "$work/one.mem")" -eq 192 ] ||
    { echo "the boot loader took $(stat -c %s "$work/one.mem") bytes, not 192"; return 1; }
}

# Firmware that numbers its reports and acknowledges report 0 without acting: the report with ID 0
# is refused before it leaves the host, as on Windows, and the reset with ID 0x40 follows.
test_numbered_reports() {
  start_target one --port 1.4 --application-pid 0327 --numbered-reports && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" -v update "$image" --vid 5C3B --pid 0327 || return 1
  grep -q 'set feature  -> 00 44 .* error 87' "$work/out.txt" &&
    grep -q 'set feature  -> 40 44 .* ok' "$work/out.txt" ||
    { grep 'set feature  -> \(00\|40\) 44' "$work/out.txt" | cut -c1-60; return 1; }
  received_image one
}

test_composite_device() {
  start_target one --port 1.4 --composite && wait_for_nodes 1 &&
    expect_status 0 "$tolvane" update "$image" --vid 5C3B --pid 0326 && received_image one
}

# The faults' recordings are compared in their tests; root's and the plugdev user's here.
test_recordings_equal_the_fixtures() {
  bash tests/kernel/record-scenarios.sh "$build" "$work/recordings" root plugdev_user || return 1
  same_as_fixture root "$work/recordings/root.jsonl" &&
    same_as_fixture plugdev_user "$work/recordings/plugdev_user.jsonl"
}

stage_start=$SECONDS
run_test uhid_unit_tests_run test_uhid_unit_tests_run
run_test seam_conformance_on_the_kernel test_seam_conformance
run_test update_as_root test_update_as_root
# udev from here on, as on a desktop or a production line PC.
/lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || echo "NOTE: systemd-udevd did not start"
run_test update_as_plugdev_user test_update_as_plugdev_user
run_test two_targets_at_distinct_ports test_two_targets_at_distinct_ports
run_test station_four_staggered_targets test_station_four_staggered_targets
run_test library_six_calls test_library_six_calls
run_test numbered_reports_reset_with_id_40 test_numbered_reports
run_test composite_device test_composite_device
run_test two_updates_on_one_device_one_ends_75 test_two_updates_on_one_device
run_test all_and_station_on_one_device_one_ends_75 test_all_and_station_on_one_device
run_test node_held_with_flock_ends_75 test_node_held_with_flock
run_test fault_stalled_data_report_gives_7 test_fault refused_report
run_test fault_unplugged_mid_download_gives_7 test_fault unplugged
run_test held_report_is_sent_once test_held_report
run_test fault_wrong_checksum_gives_6 test_fault wrong_checksum
run_test fault_never_enters_boot_loader_gives_5 test_fault never_enters
run_test recordings_equal_the_fixtures test_recordings_equal_the_fixtures

echo "kernel tests took $((SECONDS - stage_start)) s"
report_tests
