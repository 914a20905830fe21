#!/usr/bin/env bash
# Builds and runs the benchmarks; prints their figures. Not part of the tests.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh native
cmake --preset linux >/dev/null
cmake --build --preset linux --target tolvane_bench
./build/linux/bench/tolvane_bench
