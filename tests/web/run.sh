#!/usr/bin/env bash
# The web stage: builds the page into dist/web/ with emscripten, then under ctest runs the web
# backend's conformance cases and whole updates under node, and opens the page in headless
# Chromium with the simulated device and with the mock WebHID.
set -euo pipefail
cd "$(dirname "$0")/../.."
bash scripts/install-deps.sh web
. scripts/ccache-env.sh "$PWD"
# Debian's emscripten reaches node's modules through NODE_PATH; node 20 needs its fetch off.
export NODE_PATH=/usr/share/nodejs
cmake --workflow --preset web
