#!/usr/bin/env bash
# Opens the page in headless Chromium over a local HTTP server and lets it update, then checks the
# result line, the title and what the target holds; with a fourth argument also takes a screenshot
# there and checks that it shows something.
#   page_test.sh simulate|mock-hid[&mock-ask=MS] BUILT_PAGE_DIR SOURCE_DIR [SCREENSHOT.png]
# simulate: the page's own simulated device. mock-hid: the WebHID backend over a stand-in for
# navigator.hid with a target behind it (tests/web/mock_hid.js, mock_target.js); with mock-ask the
# boot loader needs "Allow the boot loader", pressed MS after it shows (past the engine's 30 s
# wait, the page runs again and the engine goes straight to the download).
set -euo pipefail
mode=$1 built=$2 src=$3 shot=${4:-}
work=$(mktemp -d)
server=""
cleanup() {
  if [ -n "$server" ]; then
    kill "$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
mkdir "$work/site"
cp "$built/tolvane.js" "$built/tolvane.wasm" "$src/web/index.html" "$src/web/page.js" \
  "$src/web/page.css" "$src/tests/web/mock_hid.js" "$src/tests/web/mock_target.js" \
  "$src/examples/sample.bin" "$work/site/"

python3 -m http.server 0 --bind 127.0.0.1 -d "$work/site" >"$work/http.log" 2>&1 &
server=$!
port=""
for _ in $(seq 1 100); do
  port=$(sed -nE 's/.*port ([0-9]+).*/\1/p' "$work/http.log" | head -n 1)
  [ -n "$port" ] && break
  sleep 0.1
done
[ -n "$port" ] || { echo "FAIL: the HTTP server did not start"; cat "$work/http.log"; exit 1; }
url="http://127.0.0.1:$port/index.html?$mode&image=sample.bin&start"

# Virtual time: the page's timers run as fast as the page can go, up to the budget.
browse() {
  timeout 180 chromium --headless=new --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --user-data-dir="$work/profile-$1" --virtual-time-budget=120000 "${@:2}" "$url" \
    2>>"$work/chromium.log"
}

passed=0 failed=0
check() {
  if grep -qE "$2" "$work/dom.html"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: $1"
  fi
}
browse dom --dump-dom >"$work/dom.html" || true
check "result line" '<p id="result"[^>]*>F/W update successfully !</p>'
check "title ends with the result's name" '<title>[^<]*DFU_SUCCESS</title>'
if [[ "$mode" == simulate* ]]; then
  check "memory equals the image" "The simulated device's memory equals the image"
else
  check "memory equals the image" "The mock target's memory equals the image"
fi
# EXPECT_RUNS: how many times the page must have run the update (2: once more after a grant).
if [ -n "${EXPECT_RUNS:-}" ]; then
  check "the update ran $EXPECT_RUNS times" "data-runs=\"$EXPECT_RUNS\""
fi
if [ "$failed" -ne 0 ]; then
  grep -E 'id="(result|step|detail|image-info|support)"' "$work/dom.html" || true
  tail -n 20 "$work/chromium.log"
fi

if [ -n "$shot" ]; then
  browse shot --window-size=900,760 --screenshot="$shot" >/dev/null || true
  colours=$(identify -format '%k' "$shot" 2>/dev/null || echo 0)
  if [ "${colours:-0}" -gt 8 ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL: the screenshot $shot shows nothing ($colours colours)"
  fi
fi
echo "page ($mode): $passed passed, $failed failed"
[ "$failed" -eq 0 ]
