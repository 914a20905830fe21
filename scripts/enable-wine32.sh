#!/usr/bin/env bash
# Makes 32-bit Windows programs runnable under Wine on an x86-64 machine whose kernel does not
# execute 32-bit code: installs wine32:i386 and qemu-user, and registers qemu-i386 for i386 ELF
# binaries with binfmt_misc (flag F, so the interpreter is opened at registration time).
# Safe to run again. Exits 0 when 32-bit Wine can start afterwards, 1 otherwise (with one line
# saying why). Slow: the packages are large and every 32-bit process runs under emulation.
set -uo pipefail

say() { echo "enable-wine32: $*"; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386 || { say "cannot add the i386 architecture"; exit 1; }
  $sudo apt-get update -qq || { say "apt-get update failed"; exit 1; }
fi
missing=()
for p in qemu-user wine32:i386; do installed "$p" || missing+=("$p"); done
if [ ${#missing[@]} -gt 0 ]; then
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { say "installing ${missing[*]} failed"; exit 1; }
fi

binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
    { say "binfmt_misc cannot be mounted here"; exit 1; }
fi
if [ ! -e "$binfmt/qemu-i386" ]; then
  # i386 ELF executables and shared objects: e_ident class 1, data 1, version 1; e_machine 3.
  magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::${magic}:${mask}:/usr/bin/qemu-i386:F" | $sudo tee "$binfmt/register" \
    >/dev/null 2>&1 || { say "registering qemu-i386 with binfmt_misc failed"; exit 1; }
fi
if [ -e "$binfmt/qemu-i386" ] && grep -q '^enabled' "$binfmt/qemu-i386"; then
  say "32-bit Wine enabled (qemu-i386 through binfmt_misc)"
  exit 0
fi
say "qemu-i386 is not registered"
exit 1
