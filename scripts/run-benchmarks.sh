#!/usr/bin/env bash
# Builds and runs the benchmarks and prints their figures. Not part of the tests.
#   scripts/run-benchmarks.sh           engine cost per report, link overhead, checksum throughput,
#                                       update --all over 1 to 32 devices, station start latency
#   scripts/run-benchmarks.sh --gui     also the Vandrel interface thread's processor time during a
#                                       demonstration run (windows-x64 build under wine64 and Xvfb)
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux --target tolvane_bench tolvane_station_bench tolvane_report_bench >/dev/null
./build/linux/bench/tolvane_bench
./build/linux/bench/tolvane_station_bench examples/sample.bin
./build/linux/bench/tolvane_report_bench examples/sample.bin
# The browser build beside the native one, and the page's code size.
bash scripts/install-deps.sh web && bash bench/web/compare.sh

if [ "${1:-}" = "--gui" ]; then
  bash scripts/install-deps.sh windows
  cmake --preset windows-x64 >/dev/null
  cmake --build --preset windows-x64 >/dev/null
  echo "Vandrel demonstration runs (two in a row):"
  ctest --test-dir build/windows-x64 -R 'vandrel_gui_demo-runs' -V 2>&1 |
    grep -E 'interface thread processor time' | sed -E 's/^[0-9]+: //'
fi
