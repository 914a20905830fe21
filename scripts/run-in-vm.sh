#!/usr/bin/env bash
# Runs SCRIPT inside a virtual machine that boots Debian's own kernel, and exits with its status.
#
# Usage: scripts/run-in-vm.sh SCRIPT [ARGUMENT...]
#
# The guest sees this machine's whole file system read-only (9p) under a tmpfs overlay, so the
# programs just built run inside unchanged and nothing the script writes reaches the host. Its
# kernel has uhid, so virtual HID devices made from user space go through hid-core, hidraw and
# udev as real ones do. The script runs as root in a chroot of that overlay, from the directory
# this command was started in; its output comes back on the serial console.
#
# What it needs: qemu-system-x86_64, busybox (static), cpio, kmod and the kernel package that
# linux-image-amd64 depends on, fetched with apt-get download and unpacked into build/vm (never
# installed). Without any of them it prints one "SKIP:" line and exits 0.
#
# Environment: TOLVANE_VM_TIMEOUT (seconds, default 280), TOLVANE_VM_MEMORY (MiB, default 2048),
# TOLVANE_VM_CPUS (default 1), TOLVANE_VM_STAGE (the stage its "SKIP:" line names, default
# linux-kernel).
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
vmdir="$repo/build/vm"

if [ $# -lt 1 ]; then
  echo "usage: $0 SCRIPT [ARGUMENT...]" >&2
  exit 64
fi
script=$(realpath -e "$1") || { echo "run-in-vm: no such script: $1" >&2; exit 66; }
shift

skip() {
  echo "SKIP: ${TOLVANE_VM_STAGE:-linux-kernel}: $*"
  exit 0
}

qemu=$(command -v qemu-system-x86_64) || skip "qemu-system-x86_64 is not installed"
busybox=""
for candidate in /bin/busybox /usr/bin/busybox; do
  if [ -x "$candidate" ] && file -L "$candidate" | grep -q 'statically linked'; then
    busybox=$candidate
    break
  fi
done
[ -n "$busybox" ] || skip "no statically linked busybox (package busybox-static)"
command -v cpio >/dev/null || skip "cpio is not installed"
command -v depmod >/dev/null || skip "depmod is not installed (package kmod)"
command -v modprobe >/dev/null || skip "modprobe is not installed (package kmod)"

# The kernel: the package linux-image-amd64 names, unpacked once into build/vm/kernel.
mkdir -p "$vmdir"
package=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/^ *Depends: \(linux-image-[^ ]*\)$/\1/p' | head -n 1)
[ -n "$package" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"
version=${package#linux-image-}
kernel_root="$vmdir/kernel/$version"
if [ ! -f "$kernel_root/boot/vmlinuz-$version" ]; then
  rm -rf "$vmdir/download" "$kernel_root"
  mkdir -p "$vmdir/download"
  if ! (cd "$vmdir/download" && apt-get download "$package" >/dev/null 2>&1); then
    skip "apt-get download $package failed (no network or no package list)"
  fi
  mkdir -p "$kernel_root"
  dpkg-deb -x "$vmdir"/download/"$package"_*.deb "$kernel_root" || skip "cannot unpack $package"
  rm -rf "$vmdir/download"
fi
modules="$kernel_root/lib/modules/$version"
[ -f "$modules/modules.dep" ] || depmod -b "$kernel_root" "$version" || skip "depmod failed"

# The initramfs: busybox, the modules the share and the HID stack need, and init.
boot_modules=(virtio_pci 9pnet_virtio 9p overlay uhid hid-generic)
initramfs="$vmdir/initramfs-$version.cpio.gz"
init_source="$repo/scripts/vm-init.sh"
if [ ! -f "$initramfs" ] || [ "$init_source" -nt "$initramfs" ] || [ "$0" -nt "$initramfs" ]; then
  staging="$vmdir/initramfs"
  rm -rf "$staging"
  mkdir -p "$staging"/{bin,dev,proc,sys,host,rw,newroot} "$staging/lib/modules/$version"
  cp "$busybox" "$staging/bin/busybox"
  cp "$init_source" "$staging/init"
  chmod 755 "$staging/init"
  for module in "${boot_modules[@]}"; do
    modprobe -d "$kernel_root" -S "$version" --show-depends "$module" | awk '$1 == "insmod" { print $2 }'
  done | sort -u | while read -r file; do
    relative=${file#"$modules"/}
    mkdir -p "$staging/lib/modules/$version/$(dirname "$relative")"
    cp "$file" "$staging/lib/modules/$version/$relative"
  done
  cp "$modules"/modules.{dep,alias,symbols,builtin,order} "$staging/lib/modules/$version/" 2>/dev/null
  depmod -b "$staging" "$version" 2>/dev/null
  (cd "$staging" && find . | cpio -o -H newc --quiet | gzip -1) >"$initramfs.tmp" && mv "$initramfs.tmp" "$initramfs"
fi

# The guest finds the script, its arguments, the directory and the kernel's modules by the command
# line; arguments travel base64-encoded so spaces and quotes survive.
encoded_args=$(printf '%s\0' "$@" | base64 -w0)
timeout_s=${TOLVANE_VM_TIMEOUT:-280}
log="$vmdir/console.log"
append="console=ttyS0 quiet loglevel=3 panic=-1 tolvane_script=$script tolvane_cwd=$PWD"
append+=" tolvane_modules=$modules tolvane_args=${encoded_args:-none}"

timeout --foreground -k 5 "$timeout_s" "$qemu" \
  -nographic -no-reboot -m "${TOLVANE_VM_MEMORY:-2048}" -smp "${TOLVANE_VM_CPUS:-1}" \
  -kernel "$kernel_root/boot/vmlinuz-$version" -initrd "$initramfs" -append "$append" \
  -virtfs local,path=/,mount_tag=host,security_model=none,readonly=on,multidevs=remap \
  -nic none </dev/null 2>&1 | sed -u 's/\r//g; s/\x1b[[0-9;?]*[a-zA-Z]//g; s/\x1bc//g' | tee "$log" | grep --line-buffered -v -E '^tolvane-vm-(exit|stage)='
qemu_status=${PIPESTATUS[0]}

status=$(sed -n 's/^tolvane-vm-exit=\([0-9]*\)$/\1/p' "$log" | tail -n 1)
if [ -z "$status" ]; then
  if [ "$qemu_status" -eq 124 ]; then
    echo "run-in-vm: the guest did not finish within $timeout_s s (console: $log)" >&2
  else
    echo "run-in-vm: the guest ended without a status (qemu $qemu_status; console: $log)" >&2
  fi
  exit 70
fi
exit "$status"
