#!/usr/bin/env bash
# The linux-kernel stage: builds what the guest runs (the tool, the library, the uhid target, the
# tests) in build/linux, then runs tests/kernel/in-guest.sh inside Debian's own kernel with
# scripts/run-in-vm.sh. Prints one "SKIP:" line and succeeds where qemu or the kernel cannot be had.
# Usage: tests/kernel/run-stage.sh [ONLY] (ONLY: a regular expression of the tests to run)
set -uo pipefail
cd "$(dirname "$0")/../.."
if [ ! -f build/linux/CMakeCache.txt ]; then
  cmake --preset linux >/dev/null || exit 1
fi
cmake --build build/linux -j2 --target tolvane Tolvane tolvane-uhid-target kernel_six_calls \
  hidraw_test compare_recordings seam_conformance_test || exit 1
# The stage's tests take about 4 minutes under emulation; the limit leaves room for a busy host.
export TOLVANE_VM_TIMEOUT=${TOLVANE_VM_TIMEOUT:-420}
exec bash scripts/run-in-vm.sh tests/kernel/in-guest.sh build/linux "$@"
