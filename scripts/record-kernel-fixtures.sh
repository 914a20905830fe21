#!/usr/bin/env bash
# Records the updates of tests/record/fixtures/kernel/scenarios.txt against the uhid virtual target
# in Debian's own kernel (scripts/run-in-vm.sh) and checks them in as the fixtures the Linux stage
# replays and holds the simulated bus to: tests/record/fixtures/kernel/NAME.jsonl.
#
# Usage: scripts/record-kernel-fixtures.sh [--usb] [NAME...]     (all scenarios by default)
# With --usb: the scenarios of tests/record/fixtures/kernel-usb, against the USB virtual target
# (tools/usb-target on dummy_hcd), through usbcore and usbhid.
# Run it by hand after changing a scenario, the engine's calls or the uhid target; review the
# differences with git diff before committing them.
set -uo pipefail
cd "$(dirname "$0")/.."
fixtures=tests/record/fixtures/kernel
target=tolvane-uhid-target
if [ "${1:-}" = --usb ]; then
  fixtures=tests/record/fixtures/kernel-usb
  target=tolvane-usb-target
fi
if [ ! -f build/linux/CMakeCache.txt ]; then
  cmake --preset linux >/dev/null || exit 1
fi
cmake --build build/linux -j2 --target tolvane "$target" || exit 1
console=$(mktemp)
trap 'rm -f "$console"' EXIT
TOLVANE_VM_TIMEOUT=${TOLVANE_VM_TIMEOUT:-400} \
  bash scripts/run-in-vm.sh tests/kernel/record-scenarios.sh build/linux - "$@" >"$console"
status=$?
sed '/^tolvane-recordings-begin$/,/^tolvane-recordings-end$/d' "$console"
grep -q '^SKIP:' "$console" && { echo "no virtual machine here: nothing recorded"; exit 1; }
# Only whole lines of base64 between the markers: a kernel message on the console is left out.
sed -n '/^tolvane-recordings-begin$/,/^tolvane-recordings-end$/p' "$console" |
  grep -E '^[A-Za-z0-9+/=]+$' | base64 -d | tar -C "$fixtures" -xzf - ||
  { echo "the virtual machine sent back no recordings"; exit 1; }
echo "recordings written to $fixtures (exit $status of the recording run)"
exit "$status"
