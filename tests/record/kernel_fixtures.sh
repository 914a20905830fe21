#!/usr/bin/env bash
# One scenario of tests/record/fixtures/kernel/scenarios.txt, outside any virtual machine: its
# recording from the kernel replays to the recorded exit code, and the same update on the simulated
# bus makes the same calls with the same bytes (compare_recordings: times and paths aside).
# Usage: kernel_fixtures.sh TOLVANE COMPARE_RECORDINGS WORK_DIR NAME [FIXTURES]
# (from the repository's root; FIXTURES defaults to tests/record/fixtures/kernel, the uhid ones)
set -uo pipefail
tolvane=$1 compare=$2 work=$3 wanted=$4
fixtures=${5:-tests/record/fixtures/kernel}
image=$fixtures/image.bin
mkdir -p "$work"
row=$(awk -F'|' -v n="$wanted" '$1 ~ "^" n " *$"' "$fixtures/scenarios.txt")
[ -n "$row" ] || { echo "no scenario $wanted"; exit 1; }
IFS='|' read -r name code user target_options sim_options <<<"$row"
name=$(echo $name) code=$(echo $code)  # without the columns' spaces
recording=$fixtures/$name.jsonl
[ -f "$recording" ] || { echo "no recording $recording: run scripts/record-kernel-fixtures.sh"; exit 1; }

"$tolvane" --replay "$recording" update "$image" --vid 5C3B --pid 0326 >"$work/$name.replay.txt" 2>&1
status=$?
if [ "$status" -ne "$code" ]; then
  echo "replay of $recording ended with $status, recorded $code"
  tail -n 5 "$work/$name.replay.txt"
  exit 1
fi

simulated=$work/$name.simulated.jsonl
# shellcheck disable=SC2086 # the options are words
"$tolvane" --record "$simulated" --simulate --sim-fast $sim_options update "$image" \
  --vid 5C3B --pid 0326 >"$work/$name.simulated.txt" 2>&1
status=$?
if [ "$status" -ne "$code" ]; then
  echo "the simulated update ended with $status, the kernel's with $code"
  tail -n 5 "$work/$name.simulated.txt"
  exit 1
fi
# The one field the two may differ in: a uhid device hangs off no USB device, so the kernel has no
# release number (bcdDevice) to give and its attributes say version 0, where the simulated USB
# device says 0x0100. A USB device's recording holds its bcdDevice, which must agree.
ignore=(--ignore ver)
[ "${fixtures%-usb}" != "$fixtures" ] && ignore=()
"$compare" "${ignore[@]}" "$recording" "$simulated" || exit 1
echo "$name: replayed to $code, and the simulated bus makes the kernel's calls"
