#!/usr/bin/env bash
# The windows-x86-vm stage: where this machine's kernel refuses 32-bit code, the x86 programs run
# under 32-bit Wine inside the virtual machine of scripts/run-in-vm.sh, whose kernel (Debian's
# own) runs it. Builds the x86 programs it needs in build/windows-x86, prepares a Wine prefix on
# the host (64-bit Wine builds it; the 32-bit half's system files are Wine's own i386 builtins,
# linked in, since 32-bit Wine cannot run here to copy them), then runs
# tests/kernel/x86-in-guest.sh inside. The screenshot of Vandrel.exe's window is saved as
# build/vm/vandrel-x86.png. Prints one "SKIP:" line and succeeds where the kernel runs
# 32-bit code itself (the windows-x86 stage runs the whole x86 suite then), or where 32-bit Wine,
# qemu or the kernel cannot be had.
set -uo pipefail
cd "$(dirname "$0")/../.." || exit 1
repo=$PWD
skip() {
  echo "SKIP: windows-x86-vm: $*"
  exit 0
}

if bash scripts/wine32-mode.sh probe >/dev/null 2>&1; then
  skip "this kernel runs 32-bit code itself, so the windows-x86 stage runs the x86 suite"
fi
[ -x /usr/lib/wine/wine ] || skip "32-bit Wine is not installed (wine32:i386; scripts/install-deps.sh installs it)"
[ -x /usr/lib/wine/wine64 ] || skip "wine64 is not installed"
. tests/kernel/wine-x86-prefix.sh
[ -d "$i386_builtins" ] || skip "32-bit Wine has no builtin libraries at $i386_builtins"

if [ ! -f build/windows-x86/CMakeCache.txt ]; then
  cmake --preset windows-x86 >/dev/null || exit 1
fi
cmake --build build/windows-x86 -j2 --target tolvane Tolvane tolvane_c_caller vandrel vandrel_demo \
  vandrel_gui_driver tolvane_first_window_probe || exit 1

# The prefix: the one prepared once per source tree for the Windows tests (cmake/wine-run.sh),
# hard-linked, with the 32-bit system folder and side-by-side assemblies (the common controls the
# programs' manifests ask for) filled from Wine's i386 builtins, as a 32-bit first start would.
start=$SECONDS
template=build/wine-prefix-template
bash cmake/wine-run.sh x64 "$template" --prepare || exit 1
prefix=build/vm/wine-prefix-x86
stamp="$(cat "$template/.tolvane-ready") x86-builtins-1"
if [ "$(cat "$prefix/.tolvane-x86-ready" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$prefix"
  mkdir -p "$(dirname "$prefix")" || exit 1
  cp -al "$template" "$prefix" || exit 1
  fill_x86_half "$prefix" || exit 1
  echo "$stamp" >"$prefix/.tolvane-x86-ready"
fi
echo "NOTE: windows-x86-vm: Wine prefix ready in $((SECONDS - start)) s"

export TOLVANE_VM_TIMEOUT=${TOLVANE_VM_TIMEOUT:-420} TOLVANE_VM_STAGE=windows-x86-vm
# The screenshot's base64 lines stay out of the log.
bash scripts/run-in-vm.sh tests/kernel/x86-in-guest.sh build/windows-x86 "$prefix" |
  awk '/^tolvane-vm-file-begin /{skip=1} !skip{print} /^tolvane-vm-file-end$/{skip=0}'
status=${PIPESTATUS[0]}
# The screenshot came back over the console as base64.
shot=build/vm/vandrel-x86.png
rm -f "$shot"
sed -n '/^tolvane-vm-file-begin vandrel-x86.png$/,/^tolvane-vm-file-end$/p' \
  build/vm/console.log | sed '1d;$d' | base64 -d >"$shot" 2>/dev/null && [ -s "$shot" ] &&
  echo "screenshot: $repo/$shot"
exit "$status"
