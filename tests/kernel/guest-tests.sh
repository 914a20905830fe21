# shellcheck shell=bash
# Sourced by the scripts that run tests inside the virtual machine. run_test NAME COMMAND... runs
# one test with its output kept apart, prints PASS or FAIL with its time (and a failing test's last
# lines), then calls after_test when the sourcing script defines one (to stop what a test left
# running). report_tests prints the ctest-style count line that scripts/test-all.sh adds up, and
# answers whether every test passed. A script that sets guest_only to an extended regular
# expression runs only the tests whose names match it (one case by hand, say).
passed=0
failed=0
failures=()
guest_test_log=$(mktemp /tmp/guest-test.XXXXXX)

run_test() {
  local name=$1 start=$SECONDS
  shift
  [ -z "${guest_only:-}" ] || [[ $name =~ $guest_only ]] || return 0
  if "$@" >"$guest_test_log" 2>&1; then
    passed=$((passed + 1))
    echo "PASS: $name ($((SECONDS - start)) s)"
  else
    failed=$((failed + 1))
    failures+=("$name")
    echo "FAIL: $name ($((SECONDS - start)) s)"
    sed 's/^/  | /' "$guest_test_log" | tail -n 30
  fi
  if declare -F after_test >/dev/null; then after_test >/dev/null 2>&1; fi
}

report_tests() {
  local total=$((passed + failed))
  [ ${#failures[@]} -eq 0 ] || echo "failed: ${failures[*]}"
  echo "$((total == 0 ? 0 : passed * 100 / total))% tests passed, $failed tests failed out of $total"
  [ "$failed" -eq 0 ]
}
