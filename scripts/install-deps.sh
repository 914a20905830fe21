#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine. Safe to run again.
# Usage: scripts/install-deps.sh [native|windows|all]   (default: all)
set -euo pipefail
what="${1:-all}"
native=(build-essential cmake ninja-build clang-format pkg-config libgtest-dev libgmock-dev
        libbenchmark-dev libcli11-dev libudev-dev nlohmann-json3-dev clang libclang-rt-14-dev llvm lld
        dpkg-dev fakeroot lintian file zip unzip ccache
        qemu-system-x86 busybox-static cpio kmod udev chromium imagemagick)
windows=(mingw-w64 g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
         wine64 xvfb xdotool imagemagick x11-utils)
pkgs=()
case "$what" in
  native) pkgs=("${native[@]}") ;;
  windows) pkgs=("${windows[@]}") ;;
  all) pkgs=("${native[@]}" "${windows[@]}") ;;
  *) echo "usage: $0 [native|windows|all]" >&2; exit 64 ;;
esac
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
