# shellcheck shell=bash
# Sourced by the VM scripts that run virtual targets (uhid or USB) and the tool against them. The
# sourcing script defines start_target, which puts each target's process id in pids[NAME], and
# sets work (its folder: NAME.mem, NAME.log, out.txt) and image (the image the updates write).
declare -A pids=()

# Waits (at most 10 s) until exactly COUNT hidraw nodes exist.
wait_for_nodes() {
  local count=$1 tries
  for tries in $(seq 100); do
    [ "$(ls /sys/class/hidraw 2>/dev/null | wc -l)" -eq "$count" ] && return 0
    sleep 0.1
  done
  echo "expected $count hidraw nodes, found: $(ls /sys/class/hidraw | tr '\n' ' ')"
  return 1
}

# Whether process PID has ended (gone, or a child not yet reaped), within TENTHS tenths of a second.
ended_within() {
  local pid=$1 tenths=$2 state
  while :; do
    state=$(cut -d' ' -f3 "/proc/$pid/stat" 2>/dev/null) || return 0
    [ "$state" = Z ] && return 0
    [ "$tenths" -gt 0 ] || return 1
    tenths=$((tenths - 1))
    sleep 0.1
  done
}

# Reaps target NAME (process PID), already sent SIGTERM. One still running 10 s later is killed,
# and the call fails: a target must end on SIGTERM, and a test must not hang on one that does not.
reap_target() {
  local name=$1 pid=$2 status=0
  if ! ended_within "$pid" 100; then
    echo "target $name did not end within 10 s of SIGTERM: killed"
    kill -KILL "$pid" 2>/dev/null
    status=1
  fi
  wait "$pid" 2>/dev/null
  return "$status"
}

# Stops every target and waits until their nodes are gone; fails when one had to be killed.
stop_targets() {
  local name status=0
  for name in "${!pids[@]}"; do kill -TERM "${pids[$name]}" 2>/dev/null; done
  for name in "${!pids[@]}"; do reap_target "$name" "${pids[$name]}" || status=1; done
  pids=()
  wait_for_nodes 0 && return "$status"
}

# Whether target NAME's memory holds exactly the image.
received_image() {
  stop_targets
  cmp -s "$image" "$work/$1.mem" ||
    { echo "target $1 did not receive the image"; tail "$work/$1.log"; return 1; }
}

# Runs a command with its output in out.txt and expects its exit status. A program (not a shell
# function) is ended after command_limit seconds (default 120; the status is then 124), so a test
# fails instead of hanging its stage.
expect_status() {
  local expected=$1
  shift
  if [ "$(type -t "$1")" = file ]; then
    timeout -k 5 "${command_limit:-120}" "$@" >"$work/out.txt" 2>&1
  else
    "$@" >"$work/out.txt" 2>&1
  fi
  local status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "expected exit $expected, got $status: $*"
    tail -n 15 "$work/out.txt"
    return 1
  fi
}
