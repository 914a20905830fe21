# shellcheck shell=bash
# Sourced by the scripts that make USB targets inside the virtual machine. usb_setup loads what a
# user-space USB device needs (dummy_hcd with two controllers, so two ports; libcomposite and
# FunctionFS; usbhid on the host side) and mounts configfs.
usb_setup() {
  modprobe dummy_hcd num=2 && modprobe libcomposite && modprobe usb_f_fs && modprobe usbhid ||
    { echo "cannot load the USB gadget modules"; return 1; }
  mountpoint -q /sys/kernel/config || mount -t configfs configfs /sys/kernel/config ||
    { echo "cannot mount configfs"; return 1; }
  [ -e /sys/class/udc/dummy_udc.0 ] && [ -e /sys/class/udc/dummy_udc.1 ] ||
    { echo "dummy_hcd made no controllers: $(ls /sys/class/udc)"; return 1; }
}

# What a target left behind (a gadget in configfs, a FunctionFS mount), one line each; nothing when
# the guest is as usb_setup left it.
usb_leftovers() {
  local gadget
  for gadget in /sys/kernel/config/usb_gadget/*/; do
    [ -d "$gadget" ] && echo "gadget $(basename "$gadget") (UDC: $(cat "$gadget/UDC" 2>/dev/null))"
  done
  awk '$3 == "functionfs" { print "FunctionFS mount " $2 }' /proc/mounts
}

# Removes what a target killed on the way left: unbinds each gadget, unmounts FunctionFS and takes
# the gadget's folders down, innermost first.
usb_remove_leftovers() {
  local gadget dir
  for gadget in /sys/kernel/config/usb_gadget/*/; do
    [ -d "$gadget" ] && echo >"$gadget/UDC" 2>/dev/null
  done
  awk '$3 == "functionfs" { print $2 }' /proc/mounts | while read -r dir; do
    umount "$dir" && rmdir "$dir"
  done
  for gadget in /sys/kernel/config/usb_gadget/*/; do
    [ -d "$gadget" ] || continue
    rm -f "$gadget"/configs/*/ffs.*
    for dir in "$gadget"/configs/*/strings/* "$gadget"/configs/* "$gadget"/functions/* \
      "$gadget"/strings/* "$gadget"; do
      [ -d "$dir" ] && rmdir "$dir"
    done
  done
}
