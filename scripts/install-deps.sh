#!/usr/bin/env bash
# Installs what the project needs on a fresh Debian 12 machine. Safe to run again.
# Usage: scripts/install-deps.sh [native|windows|web|all]   (default: all)
set -euo pipefail
what="${1:-all}"
native=(build-essential cmake ninja-build clang-format pkg-config libgtest-dev libgmock-dev
        libbenchmark-dev libcli11-dev libudev-dev nlohmann-json3-dev clang libclang-rt-14-dev llvm lld
        dpkg-dev fakeroot lintian file zip unzip ccache libgcrypt20-dev minisign
        qemu-system-x86 busybox-static cpio kmod udev chromium imagemagick)
windows=(mingw-w64 libgcrypt-mingw-w64-dev libgpg-error-mingw-w64-dev g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
         wine64 wine32:i386 xvfb xdotool imagemagick x11-utils)
# The browser build: emscripten, node for its tests, Chromium for the page's.
web=(emscripten nodejs chromium imagemagick python3)
pkgs=()
case "$what" in
  native) pkgs=("${native[@]}") ;;
  windows) pkgs=("${windows[@]}") ;;
  web) pkgs=("${web[@]}") ;;
  all) pkgs=("${native[@]}" "${windows[@]}" "${web[@]}") ;;
  *) echo "usage: $0 [native|windows|web|all]" >&2; exit 64 ;;
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
# 32-bit Wine comes from the i386 architecture, added first. Where it cannot be installed (say, a
# mirror whose i386 lists lag behind), everything else still is: the x86 stages say why they skip.
wine32=0
rest=()
for p in "${missing[@]}"; do
  if [ "$p" = wine32:i386 ]; then wine32=1; else rest+=("$p"); fi
done
if [ "$wine32" = 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
fi
$sudo apt-get update -qq || true
if [ ${#rest[@]} -gt 0 ]; then
  $sudo apt-get install -y -qq --no-install-recommends "${rest[@]}" >/dev/null
fi
if [ "$wine32" = 1 ] &&
  ! $sudo apt-get install -y -qq --no-install-recommends wine32:i386 >/dev/null; then
  echo "NOTE: install-deps: wine32:i386 could not be installed; the x86 programs will not run" >&2
fi
