#!/usr/bin/env bash
# Records the updates of tests/record/fixtures/kernel/scenarios.txt against the uhid virtual target
# (tools/uhid-target) at the simulated bus's first port and with its serial, one NAME.jsonl each in
# OUT_DIR. Runs as root inside the virtual machine of scripts/run-in-vm.sh, from the repository's
# root; the plugdev scenario's user gets the device
# through udev's rules alone. Fails when an update ends with another code than its scenario's.
# Usage: tests/kernel/record-scenarios.sh BUILD_DIR OUT_DIR [--usb] [NAME...]
# With --usb the scenarios of tests/record/fixtures/kernel-usb are recorded against the USB virtual
# target (tools/usb-target) on dummy_hcd's first controller, whose port is the same 1-1.
# With OUT_DIR "-" the recordings go to standard output instead, as a gzipped tar in base64 between
# the lines "tolvane-recordings-begin" and "tolvane-recordings-end" (the guest's files do not reach
# the host; its console does).
set -uo pipefail
build=$(realpath "$1")
out=$2
shift 2
print=false
if [ "$out" = - ]; then
  print=true
  out=$(mktemp -d /tmp/recordings.XXXXXX)
fi
fixtures=tests/record/fixtures/kernel
target=("$build/tools/uhid-target/tolvane-uhid-target" --port 1 --serial SIM000001)
if [ "${1:-}" = --usb ]; then
  shift
  fixtures=tests/record/fixtures/kernel-usb
  target=("$build/tools/usb-target/tolvane-usb-target" --udc dummy_udc.0 --serial SIM000001)
  . "$(dirname "$0")/usb-guest-setup.sh"
  usb_setup || exit 1
fi
only=("$@")
tolvane=$build/cli/tolvane
mkdir -p "$out"
chmod 755 "$out"
[ -f "$fixtures/scenarios.txt" ] || { echo "run from the repository's root"; exit 64; }

# udev from here on, as on a desktop: its rules give the plugdev user the device.
pgrep -x systemd-udevd >/dev/null || /lib/systemd/systemd-udevd --daemon >/dev/null 2>&1
id tester >/dev/null 2>&1 || useradd -M tester || exit 1
"$tolvane" install-udev-rules >/dev/null 2>&1 || { echo "install-udev-rules failed"; exit 1; }
usermod -aG plugdev tester || exit 1

. "$(dirname "$0")/guest-targets.sh"

failed=0
while IFS='|' read -r name code user target_options sim_options; do
  name=$(echo $name) code=$(echo $code) user=$(echo $user)  # without the columns' spaces
  case "$name" in '' | '#'*) continue ;; esac
  if [ ${#only[@]} -gt 0 ] && [[ ! " ${only[*]} " == *" $name "* ]]; then continue; fi
  # shellcheck disable=SC2086 # the options are words
  "${target[@]}" $target_options >"$out/$name.target.log" 2>&1 &
  pid=$!
  wait_for_nodes 1 && udevadm settle 2>/dev/null
  recording=$out/$name.jsonl
  rm -f "$recording"
  as_user=()
  [ "$user" = root ] || as_user=(setpriv --reuid="$user" --regid="$user" --init-groups)
  # The recording is written by the user who runs the update.
  [ "$user" = root ] || { touch "$recording" && chown "$user" "$recording" && chmod 644 "$recording"; }
  "${as_user[@]}" "$tolvane" --record "$recording" update "$fixtures/image.bin" \
    --vid 5C3B --pid 0326 >"$out/$name.out" 2>&1
  status=$?
  kill -TERM "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  wait_for_nodes 0
  if [ "$status" -ne "$code" ]; then
    echo "FAIL: $name: ended with $status, not $code"
    tail -n 10 "$out/$name.out"
    failed=$((failed + 1))
  else
    echo "recorded: $name ($(grep -c . "$recording") lines, exit $status)"
  fi
done <"$fixtures/scenarios.txt"
if $print; then
  echo "tolvane-recordings-begin"
  tar -C "$out" -czf - --owner=0 --group=0 $(cd "$out" && ls ./*.jsonl) | base64 -w 76
  echo "tolvane-recordings-end"
fi
[ "$failed" -eq 0 ]
