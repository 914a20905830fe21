#!/usr/bin/env bash
# Every test: installs what it needs, then runs the workflow of every preset (Linux, Linux with
# sanitizers, Windows x64 under wine64, Windows x86 under 32-bit Wine where it can run, and inside
# a virtual machine where this kernel refuses 32-bit code) and a short fuzzing run. Ends with one line,
# "tests: N passed, M failed, K skipped", K counting the stages that ran nothing (each named with its
# reason on the lines before); a failing stage names its failing test cases.
set -uo pipefail
cd "$(dirname "$0")/.."
logdir=build/test-logs
mkdir -p "$logdir"

bash scripts/install-deps.sh all || { echo "installing dependencies failed"; exit 1; }
bash scripts/wine32-mode.sh setup || true  # 32-bit Wine: natively where the kernel allows
# Rebuilds of unchanged sources come from the compiler cache, also in a clone in another folder.
# This run's own lookups are logged apart, for the hit rate at the end.
. scripts/ccache-env.sh "$PWD"
export CCACHE_STATSLOG=$PWD/$logdir/ccache-stats.log
rm -f "$CCACHE_STATSLOG"

passed=0
failed=0
broken=()
skipped=()  # "stage: reason" of each stage that ran nothing
partly=()   # "stage: reason" of each part a stage that did run left out

# The failing test cases a stage's log names: GoogleTest's, ctest's and the VM scripts' own lines.
failing_cases() {
  {
    sed -n 's/^\[  FAILED  \] \([A-Za-z_][A-Za-z0-9_./]*\).*/\1/p' "$1"
    sed -n '/^The following tests FAILED:/,/^Errors while running/s/^[[:space:]]*[0-9]* - \(.*\)$/\1/p' "$1"
    sed -n 's/^FAIL: \(.*\)$/\1/p' "$1"
  } | sort -u | head -n 40
}

# Runs one stage, keeps its log, adds up what ctest counted.
stage() {
  local name=$1; shift
  local log="$logdir/$name.log"
  local start=$SECONDS
  echo "== $name"
  if "$@" >"$log" 2>&1; then status=ok; else status=FAILED; broken+=("$name"); fi
  local counts
  counts=$(grep -E '^[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  if [ -n "$counts" ]; then
    local f t
    f=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\1/' <<<"$counts")
    t=$(sed -E 's/.* ([0-9]+) tests? failed out of ([0-9]+).*/\2/' <<<"$counts")
    passed=$((passed + t - f))
    failed=$((failed + f))
  elif [ "$status" = ok ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
  fi
  local skip_lines
  skip_lines=$(grep -E '^SKIP:' "$log" | sed -E 's/^SKIP: *//')
  if [ -n "$skip_lines" ]; then
    local line
    while IFS= read -r line; do
      # A stage that counted no test and passed only to say why it could not run has skipped.
      if [ -z "$counts" ] && [ "$status" = ok ]; then skipped+=("$name: $line"); else partly+=("$name: $line"); fi
    done <<<"$skip_lines"
    [ -z "$counts" ] && [ "$status" = ok ] && passed=$((passed - 1))
  fi
  grep -E '^(SKIP|NOTE):' "$log" | sed 's/^/   /'
  echo "   $status in $((SECONDS - start)) s${counts:+: $counts} (log: $log)"
  if [ "$status" != ok ]; then
    local cases
    cases=$(failing_cases "$log")
    [ -z "$cases" ] || { echo "   failing cases:"; sed 's/^/     /' <<<"$cases"; }
    tail -n 40 "$log" | sed 's/^/   | /'
  fi
}

stage format bash scripts/check-format.sh
stage linux cmake --workflow --preset linux
stage linux-asan cmake --workflow --preset linux-asan
stage windows-x64 cmake --workflow --preset windows-x64
stage windows-x86 cmake --workflow --preset windows-x86
stage package bash tests/package/run.sh
stage web bash tests/web/run.sh
stage linux-kernel bash tests/kernel/run-stage.sh
stage web-vm bash tests/web/vm-stage.sh
stage linux-usb bash tests/kernel/run-usb-stage.sh
stage windows-x86-vm bash tests/kernel/run-x86-stage.sh
stage windows-usb-vm bash tests/kernel/run-usb-wine-stage.sh x64
stage windows-x86-usb-vm bash tests/kernel/run-usb-wine-stage.sh x86
[ -x scripts/run-fuzz.sh ] && stage fuzz bash scripts/run-fuzz.sh

# The compiler cache over this run: hits of all cacheable compilations.
if command -v ccache >/dev/null && [ -s "$CCACHE_STATSLOG" ]; then
  ccache --show-log-stats >"$logdir/ccache-stats.txt" 2>&1
  hits=$(sed -n 's/^ *Hits: *\([0-9]*\) \/ *\([0-9]*\).*/\1 \2/p' "$logdir/ccache-stats.txt" | head -n 1)
  [ -n "$hits" ] && echo "compiler cache: ${hits% *} of ${hits#* } compilations hit ($((100 * ${hits% *} / (${hits#* } > 0 ? ${hits#* } : 1))) %; misses in $logdir/ccache-misses.txt)"
  # Each entry of the log starts with "# SOURCE"; an entry with "cache_miss" was compiled.
  awk '/^# /{source=$2} /^cache_miss$/{print source}' "$CCACHE_STATSLOG" >"$logdir/ccache-misses.txt"
fi
[ ${#broken[@]} -eq 0 ] || echo "failed stages: ${broken[*]}"
for s in "${partly[@]}"; do echo "left out within a stage: $s"; done
for s in "${skipped[@]}"; do echo "skipped stage: $s"; done
echo "all stages: $SECONDS s"
echo "tests: $passed passed, $failed failed, ${#skipped[@]} skipped"
[ ${#broken[@]} -eq 0 ] && [ "$failed" -eq 0 ]
