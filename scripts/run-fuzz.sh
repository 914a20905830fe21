#!/usr/bin/env bash
# Builds the fuzz targets with clang (libFuzzer with AddressSanitizer and UndefinedBehaviorSanitizer)
# in build/fuzz and runs each briefly over its seed corpus. FUZZ_RUNS sets the number of runs.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh native
. scripts/ccache-env.sh "$PWD"
build=build/fuzz
runs="${FUZZ_RUNS:-200000}"
CC=clang CXX=clang++ cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DTOLVANE_FUZZ=ON -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build "$build" -j2 --target intel_hex_fuzzer
# New inputs go to a scratch directory; the committed corpus is only read.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$build/cli/fuzz/intel_hex_fuzzer" -runs="$runs" -max_len=4096 "$scratch" cli/fuzz/corpus
echo "NOTE: intel_hex_fuzzer: $runs runs over cli/fuzz/corpus, no failure"
