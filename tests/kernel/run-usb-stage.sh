#!/usr/bin/env bash
# The linux-usb stage: builds what the guest runs (the tool, the library, the USB target) in
# build/linux, then runs tests/kernel/usb-in-guest.sh inside Debian's own kernel with
# scripts/run-in-vm.sh, where the target is a real USB device on dummy_hcd. Prints one "SKIP:"
# line and succeeds where qemu or the kernel cannot be had.
# Usage: tests/kernel/run-usb-stage.sh [ONLY] (ONLY: a regular expression of the tests to run)
set -uo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/linux/CMakeCache.txt ]; then
  cmake --preset linux >/dev/null || exit 1
fi
cmake --build build/linux -j2 --target tolvane Tolvane tolvane-usb-target kernel_six_calls \
  compare_recordings || exit 1
# About 3 minutes under emulation; the limit leaves room for a busy host.
export TOLVANE_VM_TIMEOUT=${TOLVANE_VM_TIMEOUT:-420}
TOLVANE_VM_STAGE=linux-usb exec bash scripts/run-in-vm.sh tests/kernel/usb-in-guest.sh build/linux "$@"
