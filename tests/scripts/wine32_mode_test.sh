#!/usr/bin/env bash
# The choice of how 32-bit Windows programs run (scripts/wine32-mode.sh), on a stand-in machine:
# a fake binfmt_misc folder whose entries behave as the kernel's do, a probe that succeeds when the
# kernel is "native" or when an enabled i386 handler would emulate it, and privileged commands that
# are logged instead of run.
#   wine32_mode_test.sh SCRIPT
set -u
script=$(realpath "$1")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

# The fake privileged runner: "tee FILE" writes as binfmt_misc does, anything else is logged.
cat >"$work/fake-sudo" <<'EOF'
#!/usr/bin/env bash
[ "${1:-}" = -n ] && shift
if [ "$1" = tee ]; then
  file=$2
  input=$(cat)
  if [ "$(basename "$file")" = register ]; then
    IFS=: read -r _ name _ _ _ _ interpreter flags <<<"$input"
    printf 'enabled\ninterpreter %s\nflags: %s\noffset 0\nmagic 7f454c4601010100000000000000000002000300\n' \
      "$interpreter" "$flags" >"$(dirname "$file")/$name"
  else
    case $input in
      0) sed -i '1s/.*/disabled/' "$file" ;;
      1) sed -i '1s/.*/enabled/' "$file" ;;
      -1) rm -f "$file" ;;
    esac
  fi
  echo "tee $(basename "$file") $input" >>"$STUB_LOG"
  exit 0
fi
echo "$*" >>"$STUB_LOG"
EOF
# The probe: native kernels run it; otherwise only an enabled i386 handler would.
cat >"$work/fake-probe" <<'EOF'
#!/usr/bin/env bash
echo "probe with handlers: $(grep -lx enabled "$WINE32_BINFMT_DIR"/* 2>/dev/null | xargs -r -n1 basename | tr '\n' ' ')" >>"$STUB_LOG"
[ "$STUB_NATIVE" = 1 ] && exit 0
grep -qx enabled "$WINE32_BINFMT_DIR"/* 2>/dev/null && exit 0
exit 1
EOF
cat >"$work/fake-installed" <<'EOF'
#!/usr/bin/env bash
grep -qx "$1" "$STUB_PACKAGES"
EOF
touch "$work/fake-wine"
chmod +x "$work"/fake-*

# A fresh machine: NATIVE (1/0), the packages installed, and binfmt entries to create
# ("ours" = what an earlier run registered, "foreign" = another package's i386 handler).
machine() {
  local native=$1 packages=$2
  shift 2
  rm -rf "$work/binfmt" "$work/log"
  mkdir -p "$work/binfmt"
  touch "$work/binfmt/register" "$work/log"
  printf '%s\n' $packages >"$work/packages"
  export STUB_NATIVE=$native STUB_LOG=$work/log STUB_PACKAGES=$work/packages
  export WINE32_BINFMT_DIR=$work/binfmt WINE32_PROBE=$work/fake-probe
  export WINE32_SUDO=$work/fake-sudo WINE32_INSTALLED=$work/fake-installed WINE32_WINE=$work/fake-wine
  local entry
  for entry in "$@"; do
    case $entry in
      ours) printf 'enabled\ninterpreter /usr/bin/qemu-i386\nflags: F\noffset 0\nmagic 7f454c4601010100000000000000000002000300\n' >"$work/binfmt/qemu-i386" ;;
      foreign) printf 'enabled\ninterpreter /usr/libexec/qemu-binfmt/i386-binfmt-P\nflags: POCF\noffset 0\nmagic 7f454c4601010100000000000000000002000300\n' >"$work/binfmt/qemu-i386" ;;
    esac
  done
}

check() {
  local what=$1 actual=$2 pattern=$3
  if [[ $actual =~ $pattern ]]; then
    echo "ok   $what"
  else
    echo "FAIL $what: got '$actual', expected /$pattern/"
    failures=$((failures + 1))
  fi
}
refuse() {
  local what=$1 actual=$2 pattern=$3
  if [[ $actual =~ $pattern ]]; then
    echo "FAIL $what: '$actual' matches /$pattern/"
    failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}
entry_state() { head -n1 "$work/binfmt/qemu-i386" 2>/dev/null || echo absent; }

# A native kernel with 32-bit Wine installed runs it natively, asked for qemu or not.
machine 1 "wine32:i386"
check "native: decide" "$(bash "$script" decide)" '^native$'
check "native: decide with --qemu" "$(bash "$script" decide --qemu)" '^native$'

# A native kernel without 32-bit Wine: skipped until setup installs it; setup never registers.
machine 1 ""
check "native without wine32: decide" "$(bash "$script" decide)" '^skip: .*wine32:i386 is not installed'
bash "$script" setup --qemu 2>/dev/null
log=$(cat "$work/log")
check "native setup installs wine32:i386" "$log" 'apt-get install .*wine32:i386'
refuse "native setup installs no qemu-user" "$log" 'qemu-user'
refuse "native setup registers nothing" "$log" 'tee register'

# A native kernel on which an earlier run registered qemu-i386: the probe sees through it, and
# setup disables it for good.
machine 1 "wine32:i386" ours
check "our handler is off during the probe" "$(bash "$script" probe >/dev/null; grep 'probe with' "$work/log")" 'probe with handlers: *$'
check "the probe leaves the handler as it was" "$(entry_state)" '^enabled$'
bash "$script" setup 2>/dev/null
check "setup disables our handler" "$(entry_state)" '^disabled$'
check "decide after setup" "$(bash "$script" decide)" '^native$'

# Another package's handler is switched off only for the probe.
machine 1 "wine32:i386" foreign
bash "$script" setup 2>/dev/null
check "a foreign handler stays enabled" "$(entry_state)" '^enabled$'

# A kernel without 32-bit support whose handler of ours would answer the probe: not native.
machine 0 "wine32:i386 qemu-user" ours
check "emulation is not mistaken for native" "$(bash "$script" decide)" '^skip: this kernel does not execute 32-bit x86 code'
check "decide changes nothing" "$(entry_state)" '^enabled$'
check "asked for qemu with it registered" "$(bash "$script" decide --qemu)" '^qemu$'

# Not native and nothing asked for: one line that says why, and no emulator is set up.
machine 0 ""
out=$(bash "$script" decide)
check "not native: one skip line" "$(wc -l <<<"$out") $out" '^1 skip: .*only on request'
bash "$script" setup 2>/dev/null
check "not native: setup fails without --qemu" "$?" '^1$'
refuse "not native: nothing installed or registered" "$(cat "$work/log")" 'apt-get|tee register'

# Not native, asked for qemu: the packages and the registration.
machine 0 ""
bash "$script" setup --qemu 2>/dev/null
log=$(cat "$work/log")
check "qemu setup installs both packages" "$log" 'apt-get install .*qemu-user.*wine32:i386'
check "qemu setup registers with flag F" "$(cat "$work/binfmt/qemu-i386")" 'interpreter /usr/bin/qemu-i386.flags: F'
check "decide --qemu afterwards" "$(bash "$script" decide --qemu)" '^qemu$'
check "decide without --qemu afterwards" "$(bash "$script" decide)" '^skip:'

# A handler that cannot be switched off leaves the answer open instead of guessing.
machine 0 "wine32:i386" ours
chmod a-w "$work/binfmt/qemu-i386"
export WINE32_SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  check "an unswitchable handler: skip with the reason" "$(bash "$script" decide)" '^skip: .*cannot be switched off'
fi

[ "$failures" -eq 0 ] && echo "all passed" || echo "$failures failed"
[ "$failures" -eq 0 ]
