#!/usr/bin/env bash
# Inside the virtual machine (tests/web/vm-stage.sh): serves the page on 127.0.0.1, grants it the
# target's two identities by Chromium's managed policy, starts the uhid target and lets
# `chromium --headless=new --single-process` run the update (the multi-process browser does not
# finish under emulation). The run has ended when the page's title ends with the result's name,
# read through the DevTools HTTP endpoint. Then the target's memory must equal the image.
# Progress goes to the console as it happens: under emulation each step takes tens of seconds.
#   in-guest.sh BUILD_DIR PAGE_DIR IMAGE [SECONDS the page may take, default 240]
set -uo pipefail
build=$(realpath "$1") page=$(realpath "$2") limit=${4:-240}
source "$(dirname "$0")/../kernel/guest-tests.sh"
work=$(mktemp -d /tmp/web-vm.XXXXXX)
# The first 4 KiB of the image: each report crosses the emulated browser, so fewer is faster.
image=$work/image.bin
head -c 4096 "$3" >"$image"
say() { echo "web-vm: $SECONDS s: $*" >/dev/console 2>/dev/null || echo "web-vm: $SECONDS s: $*"; }
port=8765
pids=()
after_test() {
  local pid
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
  for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
  pids=()
}

test_page_updates_the_uhid_target() {
  ip link set lo up 2>/dev/null || ifconfig lo 127.0.0.1 up
  /lib/systemd/systemd-udevd --daemon >/dev/null 2>&1 || echo "NOTE: systemd-udevd did not start"
  # Decimal ids: 0x5C3B = 23611; application 0x0326 = 806, boot loaders 0x030B = 779, 0x0332 = 818.
  mkdir -p /etc/chromium/policies/managed
  cat >/etc/chromium/policies/managed/tolvane-webhid.json <<POLICY
{"WebHidAllowDevicesForUrls": [{"devices": [{"vendor_id": 23611, "product_id": 806},
  {"vendor_id": 23611, "product_id": 779}, {"vendor_id": 23611, "product_id": 818}],
  "urls": ["http://127.0.0.1:$port"]}]}
POLICY
  mkdir "$work/site"
  cp "$page"/* "$image" "$work/site/"
  python3 -m http.server "$port" --bind 127.0.0.1 -d "$work/site" >"$work/http.log" 2>&1 &
  pids+=($!)
  "$build/tools/uhid-target/tolvane-uhid-target" --memory-file "$work/target.mem" \
    >"$work/target.log" 2>&1 &
  local target=$!
  pids+=("$target")
  udevadm settle 2>/dev/null
  say "target and server up; starting chromium"
  chromium --headless=new --single-process --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --disable-extensions --disable-dev-shm-usage --mute-audio --no-default-browser-check \
    --user-data-dir="$work/profile" --remote-debugging-port=9222 \
    "http://127.0.0.1:$port/index.html?image=$(basename "$image")&start" \
    >"$work/chromium.log" 2>&1 &
  pids+=($!)
  local title="" start=$SECONDS last=""
  while [ $((SECONDS - start)) -lt "$limit" ]; do
    title=$(python3 - <<'PY' 2>/dev/null
import json, urllib.request
for page in json.load(urllib.request.urlopen("http://127.0.0.1:9222/json/list", timeout=5)):
    if page.get("type") == "page":
        print(page.get("title", ""))
PY
)
    [ "$title" != "$last" ] && say "title: $title"
    last=$title
    case "$title" in *DFU_*|*SYSTEM_ERROR*) break ;; esac
    sleep 3
  done
  echo "title after $((SECONDS - start)) s: $title"
  kill -TERM "$target" 2>/dev/null
  wait "$target" 2>/dev/null
  case "$title" in
    *DFU_SUCCESS) ;;
    *) tail -n 20 "$work/chromium.log"; tail -n 5 "$work/target.log"; return 1 ;;
  esac
  cmp "$image" "$work/target.mem" || { echo "the target's memory differs from the image"; return 1; }
}

run_test web_page_updates_the_uhid_target test_page_updates_the_uhid_target
report_tests
