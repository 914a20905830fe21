#!/usr/bin/env bash
# How 32-bit Windows programs run on this machine, decided in one place, by measurement.
#
#   wine32-mode.sh probe          exit 0 when this kernel executes i386 code itself, else 1
#   wine32-mode.sh decide [--qemu]
#                                 prints one line and changes nothing:
#                                   native            32-bit Wine runs natively
#                                   qemu              32-bit Wine runs through qemu-i386 (asked for)
#                                   skip: REASON      32-bit Wine does not run here
#   wine32-mode.sh setup [--qemu] makes the decided mode work (needs root or sudo)
#
# The probe assembles a tiny 32-bit ELF with binutils (as --32, ld -m elf_i386) and runs it, with
# no binfmt_misc handler for i386 ELF files in the way (such a handler is switched off for the
# moment of the probe and switched back on). Where the kernel runs it, `setup` installs
# wine32:i386 and never registers qemu-i386; an entry that an earlier version of this script
# registered (interpreter /usr/bin/qemu-i386, flag F) is disabled, because it would emulate every
# 32-bit process of the machine. Where the kernel refuses it, qemu-user is set up only with --qemu,
# and `decide` says why the 32-bit tests are skipped.
#
# For tests, these variables replace what the script touches: WINE32_PROBE (a command that stands
# for running the 32-bit ELF), WINE32_BINFMT_DIR, WINE32_WINE (the 32-bit Wine loader),
# WINE32_INSTALLED (a command that answers whether a package is installed), WINE32_SUDO (the
# prefix of privileged commands; "echo" turns them into printed lines).
set -uo pipefail

binfmt=${WINE32_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
wine32=${WINE32_WINE:-/usr/lib/wine/wine}
ours_interpreter=/usr/bin/qemu-i386

say() { echo "wine32-mode: $*" >&2; }

if [ -n "${WINE32_SUDO+set}" ]; then
  sudo=$WINE32_SUDO
elif [ "$(id -u)" -eq 0 ]; then
  sudo=""
else
  sudo="sudo"
fi

installed() {
  if [ -n "${WINE32_INSTALLED:-}" ]; then
    $WINE32_INSTALLED "$1"
  else
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
  fi
}

# Runs the 32-bit ELF (or the stand-in); exit 0 when it ran.
run_probe() {
  if [ -n "${WINE32_PROBE:-}" ]; then
    $WINE32_PROBE
    return
  fi
  command -v as >/dev/null && command -v ld >/dev/null || return 2
  local dir
  dir=$(mktemp -d) || return 2
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' >"$dir/p.s"
  local status=2
  if as --32 -o "$dir/p.o" "$dir/p.s" 2>/dev/null && ld -m elf_i386 -o "$dir/p" "$dir/p.o" 2>/dev/null; then
    "$dir/p" 2>/dev/null
    status=$?
    [ "$status" -eq 0 ] || status=1
  fi
  rm -rf "$dir"
  return "$status"
}

# Enabled binfmt_misc entries that take i386 ELF executables: magic 7f 45 4c 46 01 with
# e_machine 3 (bytes 18 and 19).
i386_handlers() {
  local entry magic
  [ -e "$binfmt/register" ] || [ -n "${WINE32_BINFMT_DIR:-}" ] || return 0
  for entry in "$binfmt"/*; do
    [ -f "$entry" ] || continue
    case $(basename "$entry") in register | status) continue ;; esac
    grep -qx enabled "$entry" 2>/dev/null || continue
    magic=$(sed -n 's/^magic //p' "$entry")
    [[ $magic == 7f454c4601* && ${magic:36:4} == 0300 ]] && echo "$entry"
  done
}

is_ours() {
  grep -qx "interpreter $ours_interpreter" "$1" && grep -qx "flags: F" "$1"
}

# Sets an entry's state: 0 disables, 1 enables.
# Never asks for a password: `decide` runs inside a build's configure step.
set_entry() {
  local run=$sudo
  [ "$run" = sudo ] && run="sudo -n"
  echo "$2" | $run tee "$1" >/dev/null 2>&1
}

# The probe with every i386 handler switched off meanwhile. Exit 0 native, 1 not native,
# 2 unknown (with the reason in $probe_why).
probe_why=""
probe() {
  local handlers=() entry status
  mapfile -t handlers < <(i386_handlers)
  for entry in "${handlers[@]}"; do
    if ! set_entry "$entry" 0; then
      probe_why="the binfmt_misc handler $(basename "$entry") takes 32-bit programs and cannot be switched off for the probe (run scripts/wine32-mode.sh setup as root)"
      return 2
    fi
  done
  run_probe
  status=$?
  for entry in "${handlers[@]}"; do set_entry "$entry" 1; done
  case $status in
    0) return 0 ;;
    1) probe_why="this kernel does not execute 32-bit x86 code (a 32-bit ELF fails to start)"; return 1 ;;
    *) probe_why="binutils (as, ld) cannot build the 32-bit probe"; return 2 ;;
  esac
}

our_entry_enabled() {
  [ -f "$binfmt/qemu-i386" ] && grep -qx enabled "$binfmt/qemu-i386" && is_ours "$binfmt/qemu-i386"
}

decide() {
  local want_qemu=$1
  if probe; then
    if [ -x "$wine32" ] && installed wine32:i386; then
      echo native
    else
      echo "skip: the kernel runs 32-bit code, but wine32:i386 is not installed (scripts/wine32-mode.sh setup installs it)"
    fi
    return
  fi
  if [ "$want_qemu" = 0 ]; then
    echo "skip: $probe_why; 32-bit Wine would run only under qemu-user, minutes per process, so only on request (scripts/wine32-mode.sh setup --qemu, then -DTOLVANE_WINE32_TESTS=ON)"
  elif our_entry_enabled && [ -x "$wine32" ]; then
    echo qemu
  else
    echo "skip: $probe_why, and qemu-i386 is not set up for 32-bit Wine (scripts/wine32-mode.sh setup --qemu)"
  fi
}

install_packages() {
  local missing=() p
  for p in "$@"; do installed "$p" || missing+=("$p"); done
  [ ${#missing[@]} -eq 0 ] && return 0
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures 2>/dev/null | grep -qx i386; then
    $sudo dpkg --add-architecture i386 || { say "cannot add the i386 architecture"; return 1; }
  fi
  $sudo apt-get update -qq || true
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null ||
    { say "installing ${missing[*]} failed"; return 1; }
}

register_qemu() {
  if [ ! -e "$binfmt/register" ]; then
    $sudo mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null ||
      { say "binfmt_misc cannot be mounted here"; return 1; }
  fi
  if [ -f "$binfmt/qemu-i386" ]; then
    set_entry "$binfmt/qemu-i386" 1 || { say "enabling qemu-i386 failed"; return 1; }
    return 0
  fi
  # i386 ELF executables and shared objects: e_ident class 1, data 1, version 1; e_machine 3.
  local magic='\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
  local mask='\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
  echo ":qemu-i386:M::${magic}:${mask}:${ours_interpreter}:F" | $sudo tee "$binfmt/register" \
    >/dev/null 2>&1 || { say "registering qemu-i386 with binfmt_misc failed"; return 1; }
}

setup() {
  local want_qemu=$1
  # An entry of ours stays off from here on unless qemu is asked for on a kernel that needs it.
  if our_entry_enabled; then
    set_entry "$binfmt/qemu-i386" 0 && say "disabled the qemu-i386 binfmt_misc entry registered earlier"
  fi
  probe
  local status=$?
  if [ "$status" -eq 0 ]; then
    install_packages wine32:i386 || return 1
    say "native: this kernel runs 32-bit code; 32-bit Wine runs without emulation"
    return 0
  fi
  if [ "$want_qemu" = 0 ]; then
    say "32-bit Wine not set up: $probe_why (setup --qemu runs it under qemu-user, slowly)"
    return 1
  fi
  if [ "$status" -eq 2 ]; then
    say "32-bit Wine not set up: $probe_why"
    return 1
  fi
  install_packages qemu-user wine32:i386 || return 1
  register_qemu || return 1
  say "qemu: 32-bit Wine runs through qemu-i386 (every 32-bit process is emulated)"
}

want_qemu=0
[ "${2:-}" = "--qemu" ] && want_qemu=1
case "${1:-}" in
  probe)
    probe
    status=$?
    [ "$status" -eq 0 ] && echo native || echo "not native: $probe_why"
    exit $((status == 0 ? 0 : 1))
    ;;
  decide) decide "$want_qemu" ;;
  setup) setup "$want_qemu" ;;
  *)
    echo "usage: wine32-mode.sh probe | decide [--qemu] | setup [--qemu]" >&2
    exit 64
    ;;
esac
