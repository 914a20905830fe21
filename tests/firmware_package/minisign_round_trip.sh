#!/usr/bin/env bash
# The maker's workflow with the stock tools: a fresh key from `minisign -G -W`, a package from
# `tolvane pack`, then `tolvane verify --trust` and `minisign -V` on the manifest that `unzip -p`
# takes out of it; a package changed after packing fails both. Skipped where minisign or unzip
# is absent.
#   minisign_round_trip.sh TOLVANE IMAGE
set -uo pipefail
tool=$1 image=$2
for needed in minisign unzip; do
  command -v "$needed" >/dev/null || { echo "SKIP: $needed is not installed"; exit 0; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
expect() {  # expect DESCRIPTION EXIT-STATUS COMMAND...
  local what=$1 wanted=$2
  shift 2
  "$@" >"$work/out.txt" 2>&1
  local status=$?
  if [ "$status" -eq "$wanted" ]; then echo "ok: $what"; else
    echo "FAIL: $what (exit $status, expected $wanted)"; cat "$work/out.txt"; failures=$((failures + 1))
  fi
}

expect "minisign -G -W makes a key" 0 minisign -G -W -p "$work/maker.pub" -s "$work/maker.key"
expect "tolvane pack signs with it" 0 "$tool" pack "$image" --vid 5C3B --pid 0326 \
  --image-version 1.02 --key "$work/maker.key" -o "$work/fw.tvpkg"
expect "tolvane verify --trust accepts the package" 0 "$tool" verify "$work/fw.tvpkg" \
  --trust "$work/maker.pub"
unzip -p "$work/fw.tvpkg" manifest.json >"$work/manifest.json"
unzip -p "$work/fw.tvpkg" manifest.json.minisig >"$work/manifest.json.minisig"
expect "minisign -V accepts the extracted manifest" 0 minisign -V -p "$work/maker.pub" \
  -m "$work/manifest.json"

# One byte of the signed manifest changed in the package: both refuse it.
sed 's/"1\.02"/"1.03"/' "$work/fw.tvpkg" >"$work/changed.tvpkg"
expect "tolvane verify refuses a changed manifest (11)" 11 "$tool" verify "$work/changed.tvpkg" \
  --trust "$work/maker.pub"
# (unzip warns of the entry's stale CRC and gives the bytes all the same.)
unzip -p "$work/changed.tvpkg" manifest.json >"$work/manifest.json" 2>/dev/null
expect "the extracted manifest is the changed one" 0 grep -q '"1.03"' "$work/manifest.json"
expect "minisign -V refuses the changed manifest" 1 minisign -V -p "$work/maker.pub" \
  -m "$work/manifest.json"

echo "minisign round trip: $((7 - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
