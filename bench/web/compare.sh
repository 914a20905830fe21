#!/usr/bin/env bash
# The browser build's figures: the engine's cost per data report in wasm (under node) against the
# native build's, their ratio, and the page's code size gzipped (the program's wasm and JavaScript
# and the page's script), which must stay under 150 KB. Prints figures; passes or fails nothing.
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/ccache-env.sh "$PWD"
export NODE_PATH=/usr/share/nodejs
[ -f build/linux/CMakeCache.txt ] || cmake --preset linux >/dev/null
[ -f build/web/CMakeCache.txt ] || cmake --preset web >/dev/null
cmake --build build/linux --target tolvane_report_cost >/dev/null
cmake --build build/web --target tolvane_report_cost_web tolvane_page >/dev/null
native=$(./build/linux/bench/tolvane_report_cost)
wasm=$(node --no-experimental-fetch build/web/bench/web/tolvane_report_cost_web.js)
echo "$native"
echo "$wasm"
n=$(sed -nE 's/.*\(native\): ([0-9.]+) ns/\1/p' <<<"$native")
w=$(sed -nE 's/.*\(wasm\): ([0-9.]+) ns/\1/p' <<<"$wasm")
awk -v n="$n" -v w="$w" 'BEGIN { printf "wasm/native cost ratio per data report: %.1f\n", w / n }'
gz() { gzip -9c "$1" | wc -c; }
wasm_gz=$(gz build/web/web/tolvane.wasm)
js_gz=$(( $(gz build/web/web/tolvane.js) + $(gz web/page.js) ))
total=$((wasm_gz + js_gz))
echo "page code gzipped: wasm $wasm_gz bytes, JavaScript $js_gz bytes, together $total bytes" \
  "($((total / 1024)) KiB; limit 150 KB: $([ "$total" -lt 150000 ] && echo within || echo OVER))"
