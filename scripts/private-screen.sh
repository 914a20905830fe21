# Sourced: start_private_screen WxHxD starts an Xvfb screen that only the caller uses and sets
# DISPLAY and PRIVATE_SCREEN_PID; the caller kills that process when it ends. The server picks a
# free display number itself (-displayfd), so runs side by side never race for one, as
# "xvfb-run -a" may (two runs take the same number and one loses its screen mid-test).
start_private_screen() {
  local fdfile display
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$fdfile" >/dev/null 2>&1 &
  PRIVATE_SCREEN_PID=$!
  for _ in $(seq 100); do [ -s "$fdfile" ] && break; sleep 0.1; done
  display=$(head -n1 "$fdfile")
  rm -f "$fdfile"
  if [ -z "$display" ]; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$display"
}
