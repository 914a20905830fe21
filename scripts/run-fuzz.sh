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
cmake --build "$build" -j2 --target intel_hex_fuzzer report_descriptor_fuzz package_reader_fuzzer
# New inputs go to a scratch directory of each target; the committed corpora are only read.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Runs one fuzz target over its checked-in corpus.
fuzz() {
  local name=$1 program=$2 corpus=$3 max_len=$4
  mkdir -p "$scratch/$name"
  "$program" -runs="$runs" -max_len="$max_len" "$scratch/$name" "$corpus"
  echo "NOTE: $name: $runs runs over $corpus, no failure"
}

# Intel HEX files come from users; report descriptors come from devices.
fuzz intel_hex_fuzzer "$build/cli/fuzz/intel_hex_fuzzer" cli/fuzz/corpus 4096
# Packages come from shares and downloads.
fuzz package_reader_fuzzer "$build/cli/fuzz/package_reader_fuzzer" cli/fuzz/package_corpus 65536
fuzz report_descriptor_fuzz "$build/platform/linux/report_descriptor_fuzz" \
  platform/linux/fuzz/report_descriptor_corpus 4096
