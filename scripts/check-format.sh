#!/usr/bin/env bash
# Fails when a tracked C or C++ file differs from what clang-format makes of it (.clang-format),
# and names each such file. Usage: scripts/check-format.sh
set -euo pipefail
cd "$(dirname "$0")/.."
# A missing clang-format is installed, never a reason to pass unchecked.
command -v clang-format >/dev/null || bash scripts/install-deps.sh native >/dev/null
command -v clang-format >/dev/null || { echo "clang-format could not be installed"; exit 1; }
mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
# One process for every file; each difference is reported as "FILE:LINE:COL: error: ...".
if ! report=$(clang-format --dry-run --Werror "${files[@]}" 2>&1); then
  echo "not formatted (run: clang-format -i FILE):"
  grep -oE '^[^:]+:[0-9]+' <<<"$report" | cut -d: -f1 | sort -u | sed 's/^/  /'
  exit 1
fi
echo "NOTE: format: ${#files[@]} files as clang-format makes them"
