# shellcheck shell=bash
# Sourced by in-guest.sh: the lock between tool processes on real hidraw nodes. A tool process
# holds an exclusive flock on the node of each device it writes, so a second process (or a script
# holding the node with flock(1)) gets no report and ends 75, and the device ends with one image.

# A small image keeps these tests short: the lock is taken before the first report.
lock_image=$work/lock-image.bin
head -c 2048 "$image" >"$lock_image"

# The node of the one hidraw device there is.
only_node() { echo "/dev/$(ls /sys/class/hidraw)"; }

# Whether the -v log in FILE shows no report that reached a device.
sent_nothing() {
  local sent='\(set feature\|write output\) -> .* ok'
  ! grep -q "$sent" "$1" || { echo "$1 shows reports sent:"; grep "$sent" "$1" | cut -c1-70; return 1; }
}

# Two tool processes (COMMAND words, then the other's) started at once on one device: one updates
# it, the other ends 75 having sent nothing, and the device holds the image.
two_processes_one_device() {
  local first=$1 second=$2 a b status_a status_b
  start_target one --port 1.4 && wait_for_nodes 1 && udevadm settle || return 1
  # shellcheck disable=SC2086 # the commands are words
  timeout 90 "$tolvane" -v $first >"$work/a.txt" 2>&1 &
  a=$!
  # shellcheck disable=SC2086
  timeout 90 "$tolvane" -v $second >"$work/b.txt" 2>&1 &
  b=$!
  wait "$a"
  status_a=$?
  wait "$b"
  status_b=$?
  echo "exit codes: $status_a and $status_b"
  if [ "$status_a" -eq 0 ] && [ "$status_b" -eq 75 ]; then
    sent_nothing "$work/b.txt" || return 1
  elif [ "$status_a" -eq 75 ] && [ "$status_b" -eq 0 ]; then
    sent_nothing "$work/a.txt" || return 1
  else
    tail -n 5 "$work/a.txt" "$work/b.txt"
    return 1
  fi
  stop_targets
  cmp -s "$lock_image" "$work/one.mem" || { echo "the target does not hold the image"; return 1; }
}

test_two_updates_on_one_device() {
  local update="update $lock_image --vid 5C3B --pid 0326"
  two_processes_one_device "$update" "$update"
}

test_all_and_station_on_one_device() {
  two_processes_one_device "update $lock_image --vid 5C3B --pid 0326 --all" \
    "station $lock_image --vid 5C3B --pid 0326 --count 1"
}

# A script that holds the node with flock(1): update, --all and the station each end 75 without
# a report sent, and the device receives nothing.
test_node_held_with_flock() {
  local node words
  start_target one --port 1.4 && wait_for_nodes 1 && udevadm settle || return 1
  node=$(only_node)
  for words in "update" "update --all" "station --count 1"; do
    # shellcheck disable=SC2086 # the words are the command's
    expect_status 75 timeout 60 flock -o "$node" \
      "$tolvane" -v $words "$lock_image" --vid 5C3B --pid 0326 || return 1
    sent_nothing "$work/out.txt" || return 1
  done
  stop_targets
  [ ! -s "$work/one.mem" ] || { echo "the held device was written"; return 1; }
}
