#!/usr/bin/env bash
# The windows-usb-vm and windows-x86-usb-vm stages: the Windows programs under Wine inside the virtual machine of
# scripts/run-in-vm.sh update the USB virtual target through Wine's HID bus. Builds the x64
# programs in build/windows-x64, the x86 ones in build/windows-x86 (where 32-bit Wine is installed
# and this kernel refuses 32-bit code, so the guest's kernel runs them) and the target in
# build/linux, prepares a Wine prefix on the host
# (a linked copy of the Windows tests' prefix, with winebus's SDL bus turned off: Wine 8 starts its
# hidraw bus only after the SDL bus, which fails without libSDL2), then runs
# tests/kernel/usb-wine-in-guest.sh inside. Prints one "SKIP:" line and succeeds where wine64,
# qemu or the kernel cannot be had.
# Usage: tests/kernel/run-usb-wine-stage.sh [x64|x86 [ONLY]]
# x64 (the windows-usb-vm stage, the default): the x64 tool, the six calls of the x64 DLL and
# Vandrel. x86 (the windows-x86-usb-vm stage): the x86 tool and DLL, under 32-bit Wine. Each takes
# a VM of its own, to keep within its budget. ONLY, a regular expression, picks tests by name.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
arch=${1:-x64}
only=${2:-}
stage_name=windows-usb-vm
[ "$arch" = x86 ] && stage_name=windows-x86-usb-vm
skip() {
  echo "SKIP: $stage_name: $*"
  exit 0
}
case "$arch" in
  x64 | x86) ;;
  *) echo "usage: $0 [x64|x86 [ONLY]]" >&2; exit 64 ;;
esac
[ -x /usr/lib/wine/wine64 ] || skip "wine64 is not installed"

for preset in linux windows-x64; do
  [ -f "build/$preset/CMakeCache.txt" ] || cmake --preset "$preset" >/dev/null || exit 1
done
cmake --build build/linux -j2 --target tolvane-usb-target || exit 1
if [ "$arch" = x64 ]; then
  cmake --build build/windows-x64 -j2 --target tolvane Tolvane kernel_six_calls vandrel \
    vandrel_gui_driver || exit 1
fi
x86=none
. tests/kernel/wine-x86-prefix.sh
if [ "$arch" = x86 ]; then
  [ -x /usr/lib/wine/wine ] || skip "32-bit Wine is not installed (wine32:i386)"
  [ -d "$i386_builtins" ] || skip "32-bit Wine has no builtin libraries at $i386_builtins"
  # Where this kernel runs 32-bit code, the x86 programs' own stages run them on the host.
  bash scripts/wine32-mode.sh probe >/dev/null 2>&1 &&
    skip "this kernel runs 32-bit code itself; the VM is needed only where it does not"
  [ -f build/windows-x86/CMakeCache.txt ] || cmake --preset windows-x86 >/dev/null || exit 1
  cmake --build build/windows-x86 -j2 --target tolvane Tolvane kernel_six_calls || exit 1
  x86=build/windows-x86
fi

start=$SECONDS
template=build/wine-prefix-template
bash cmake/wine-run.sh x64 "$template" --prepare || exit 1
prefix=build/vm/wine-prefix-usb-$arch
stamp="$(cat "$template/.tolvane-ready") usb-winebus-1 $arch"
if [ "$(cat "$prefix/.tolvane-usb-ready" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$prefix"
  mkdir -p build/vm
  cp -al "$template" "$prefix" || exit 1
  # Registry files of its own, not linked with the template's.
  for hive in system.reg user.reg userdef.reg; do
    cp --remove-destination "$template/$hive" "$prefix/$hive" || exit 1
  done
  WINEPREFIX=$PWD/$prefix WINEDEBUG=-all timeout -k 5 120 /usr/lib/wine/wine64 reg add \
    'HKLM\System\CurrentControlSet\Services\winebus' /v "Enable SDL" /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1 || exit 1
  WINEPREFIX=$PWD/$prefix timeout -k 5 60 /usr/lib/wine/wineserver -w
  grep -q '"Enable SDL"=dword:00000000' "$prefix/system.reg" ||
    { echo "the prefix did not take winebus's setting"; exit 1; }
  if [ "$x86" != none ]; then fill_x86_half "$prefix" || exit 1; fi
  echo "$stamp" >"$prefix/.tolvane-usb-ready"
fi
echo "NOTE: $stage_name: Wine prefix ready in $((SECONDS - start)) s"

export TOLVANE_VM_TIMEOUT=${TOLVANE_VM_TIMEOUT:-420} TOLVANE_VM_STAGE=$stage_name
exec bash scripts/run-in-vm.sh tests/kernel/usb-wine-in-guest.sh build/windows-x64 "$prefix" \
  build/linux "$x86" "^${arch}_.*${only}"
