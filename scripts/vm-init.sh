#!/bin/busybox sh
# /init of the virtual machine scripts/run-in-vm.sh boots: loads the modules for the host share and
# the HID stack, lays a tmpfs overlay over the host's read-only file system, and runs the script
# named on the kernel command line in a chroot of it. Its status goes to the serial console as
# "tolvane-vm-exit=N", then the guest powers off.
/bin/busybox --install -s /bin
export PATH=/bin
mount -t proc proc /proc
mount -t sysfs sysfs /sys
mount -t devtmpfs devtmpfs /dev

arg() { sed -n "s/.*\<$1=\([^ ]*\).*/\1/p" /proc/cmdline; }
finish() {
  echo "tolvane-vm-exit=$1"
  sync
  echo o >/proc/sysrq-trigger
  sleep 30
}

for module in virtio_pci 9pnet_virtio 9p overlay uhid hid-generic; do
  modprobe "$module" || { echo "vm-init: cannot load $module"; finish 70; }
done
# cache=loose lets Wine map programs from the share; the host's files do not change meanwhile.
mount -t 9p -o trans=virtio,version=9p2000.L,ro,cache=loose,msize=262144 host /host ||
  { echo "vm-init: cannot mount the host's files"; finish 70; }
mount -t tmpfs -o mode=755 tmpfs /rw
mkdir -p /rw/upper /rw/work
mount -t overlay overlay -o lowerdir=/host,upperdir=/rw/upper,workdir=/rw/work /newroot ||
  { echo "vm-init: cannot make the overlay"; finish 70; }

root=/newroot
mount -t proc proc $root/proc
mount -t sysfs sysfs $root/sys
mount -t devtmpfs devtmpfs $root/dev
mkdir -p $root/dev/pts $root/dev/shm
mount -t devpts devpts $root/dev/pts
mount -t tmpfs tmpfs $root/dev/shm
mount -t tmpfs -o mode=755 tmpfs $root/run
# The guest kernel's modules where kmod and udev look for them.
modules=$(arg tolvane_modules)
version=$(uname -r)
mkdir -p $root/lib/modules/$version
mount --bind $root$modules $root/lib/modules/$version

script=$(arg tolvane_script)
cwd=$(arg tolvane_cwd)
args=$(arg tolvane_args)
[ "$args" = none ] && args=""
echo "$args" | base64 -d >$root/run/tolvane-vm-args 2>/dev/null

# switch_root rather than chroot: udevadm ignores requests from inside a chroot. The new root's
# shell runs the script (its arguments NUL-separated in a file), reports its status and powers
# the guest off, since init must never end.
exec switch_root $root /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  HOME=/root TERM=dumb LANG=C.UTF-8 TOLVANE_IN_VM=1 /bin/bash -c '
    (cd "$1" && mapfile -d "" args </run/tolvane-vm-args && exec /bin/bash "$2" "${args[@]}") \
      </dev/console >/dev/console 2>&1
    echo "tolvane-vm-exit=$?" >/dev/console
    sync
    echo o >/proc/sysrq-trigger
    sleep 30 2>/dev/null' vm "$cwd" "$script"
