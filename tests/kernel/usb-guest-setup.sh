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
