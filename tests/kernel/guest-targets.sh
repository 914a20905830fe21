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

# Stops every target and waits until their nodes are gone.
stop_targets() {
  local name
  for name in "${!pids[@]}"; do kill -TERM "${pids[$name]}" 2>/dev/null; done
  for name in "${!pids[@]}"; do wait "${pids[$name]}" 2>/dev/null; done
  pids=()
  wait_for_nodes 0
}

# Whether target NAME's memory holds exactly the image.
received_image() {
  stop_targets
  cmp -s "$image" "$work/$1.mem" ||
    { echo "target $1 did not receive the image"; tail "$work/$1.log"; return 1; }
}

# Runs a command with its output in out.txt and expects its exit status.
expect_status() {
  local expected=$1
  shift
  "$@" >"$work/out.txt" 2>&1
  local status=$?
  if [ "$status" -ne "$expected" ]; then
    echo "expected exit $expected, got $status: $*"
    tail -n 15 "$work/out.txt"
    return 1
  fi
}
