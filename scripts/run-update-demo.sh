#!/usr/bin/env bash
# The main job: builds the Linux tools and updates the built-in simulated device with the sample
# image, showing the progress and the verified result. Extra arguments go to the tool, e.g.
#   scripts/run-update-demo.sh --sim-fast
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh native
. scripts/ccache-env.sh "$PWD"
# Its own build folder without tests and benchmarks: only what ships, installed to dist/linux-x64.
cmake --preset linux -B build/linux-demo -DTOLVANE_BUILD_TESTS=OFF -DTOLVANE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build/linux-demo --target install >/dev/null
if [ -f dist/web/index.html ]; then
  echo "The page for browsers is in dist/web/: python3 -m http.server -d dist/web 8000, then" \
    "http://localhost:8000/?simulate" >&2
fi
exec dist/linux-x64/tolvane update --simulate "$@" examples/sample.bin
