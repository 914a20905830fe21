#!/usr/bin/env bash
# The web-vm stage: the page in Chromium inside Debian's own kernel (scripts/run-in-vm.sh) updates
# the uhid target (tools/uhid-target) through WebHID, the devices granted by the enterprise policy
# WebHidAllowDevicesForUrls; the target's memory must equal the image. Builds the target in
# build/linux and installs the page into dist/web/ first. Prints one "SKIP:" line and
# succeeds where qemu or the kernel cannot be had.
set -uo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh web || exit 1
. scripts/ccache-env.sh "$PWD"
if [ ! -f build/linux/CMakeCache.txt ]; then
  cmake --preset linux >/dev/null || exit 1
fi
cmake --build build/linux -j2 --target tolvane-uhid-target || exit 1
export NODE_PATH=/usr/share/nodejs
if [ ! -f build/web/CMakeCache.txt ]; then
  cmake --preset web >/dev/null || exit 1
fi
{ cmake --build build/web --target tolvane_page && cmake --install build/web >/dev/null; } || exit 1
# Two processors: the single-process browser still runs several threads.
export TOLVANE_VM_STAGE=web-vm TOLVANE_VM_TIMEOUT=${TOLVANE_VM_TIMEOUT:-300}
export TOLVANE_VM_CPUS=${TOLVANE_VM_CPUS:-2}
# TOLVANE_WEB_VM_WAIT: how long the page may take in the guest (default 240 s).
exec bash scripts/run-in-vm.sh tests/web/in-guest.sh build/linux dist/web examples/sample.bin \
  "${TOLVANE_WEB_VM_WAIT:-240}"
