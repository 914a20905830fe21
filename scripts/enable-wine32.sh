#!/usr/bin/env bash
# Makes 32-bit Windows programs runnable under Wine however this machine allows: natively where
# the kernel executes 32-bit code, otherwise through qemu-user (slow; this script is the request
# for it). The choice is scripts/wine32-mode.sh's; see there.
exec bash "$(dirname "$0")/wine32-mode.sh" setup --qemu
