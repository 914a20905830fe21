#!/usr/bin/env bash
# Builds the packages with scripts/package.sh and checks what a user gets from them: unpacks the
# Debian packages into a scratch folder, builds and runs a C caller against the library there
# through pkg-config and through find_package(Tolvane), checks the release hygiene of every
# shipped binary, the zips' listings, and runs lintian.
# Usage: tests/package/run.sh [--no-build]   (--no-build checks what dist/packages holds)
set -uo pipefail
cd "$(dirname "$0")/../.."
repo=$PWD
here="$repo/tests/package"

if [ "${1:-}" != "--no-build" ]; then
  bash scripts/package.sh all || { echo "FAIL: scripts/package.sh"; exit 1; }
fi

version=$(sed -n 's/^project(Tolvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
major=${version%%.*}
deb_version="$version-1"
packages="$repo/dist/packages"
debs=("$packages/tolvane_${deb_version}_amd64.deb" "$packages/libtolvane${major}_${deb_version}_amd64.deb"
      "$packages/libtolvane-dev_${deb_version}_amd64.deb")
multiarch=x86_64-linux-gnu

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
root="$scratch/root"
mkdir -p "$root"

failures=0
checks=0
pass() { checks=$((checks + 1)); echo "ok: $*"; }
fail() { checks=$((checks + 1)); failures=$((failures + 1)); echo "FAIL: $*"; }
# check DESCRIPTION COMMAND...: passes when the command succeeds.
check() {
  local what=$1; shift
  if "$@"; then pass "$what"; else fail "$what"; fi
}

# ---- The Debian packages: what they hold ----
for deb in "${debs[@]}"; do
  if [ -f "$deb" ]; then
    dpkg-deb -x "$deb" "$root"
  else
    fail "missing $(basename "$deb")"
  fi
done

lib="$root/usr/lib/$multiarch"
for path in usr/bin/tolvane "usr/lib/$multiarch/libtolvane.so.$major" "usr/lib/$multiarch/libtolvane.so" \
  usr/include/tolvane.h "usr/lib/$multiarch/pkgconfig/tolvane.pc" \
  "usr/lib/$multiarch/cmake/Tolvane/TolvaneConfig.cmake" \
  "usr/lib/$multiarch/cmake/Tolvane/TolvaneConfigVersion.cmake" \
  usr/lib/udev/rules.d/70-tolvane-hidraw.rules usr/share/man/man1/tolvane.1.gz \
  usr/share/doc/tolvane/copyright; do
  check "package holds /$path" test -e "$root/$path"
done
check "udev rules are the project's" cmp -s "$root/usr/lib/udev/rules.d/70-tolvane-hidraw.rules" \
  platform/linux/udev/70-tolvane-hidraw.rules
check "copyright file is machine-readable and MIT" grep -q '^License: Expat' \
  "$root/usr/share/doc/tolvane/copyright"
check "manual page renders without warnings" bash -c \
  "[ -z \"\$(MANWIDTH=80 man --warnings -E UTF-8 -l '$root/usr/share/man/man1/tolvane.1.gz' 2>&1 >/dev/null)\" ]"

# ---- Release hygiene of the Linux binaries ----
tool="$root/usr/bin/tolvane"
check "tolvane is stripped" bash -c "file -L '$tool' | grep -q ', stripped'"
size=$(stat -c %s "$tool" 2>/dev/null || echo 0)
check "tolvane is at most 3 MiB ($size bytes)" test "$size" -gt 0 -a "$size" -le $((3 * 1024 * 1024))
check "libtolvane is stripped" bash -c "file -L '$lib/libtolvane.so.$major' | grep -q ', stripped'"
soname=$(readelf -d "$lib/libtolvane.so.$major" 2>/dev/null | sed -n 's/.*Library soname: \[\(.*\)\]/\1/p')
check "library soname is libtolvane.so.$major (is '$soname')" test "$soname" = "libtolvane.so.$major"
check "development link leads to the library" test "$(readlink -f "$lib/libtolvane.so")" = \
  "$(readlink -f "$lib/libtolvane.so.$major")"
exports=$(nm -D --defined-only "$lib/libtolvane.so.$major" | awk '$2 ~ /^[TW]$/ {print $3}' | sort | tr '\n' ' ')
check "library exports the six functions and nothing else" test "$exports" = \
  "DFU_Deinitialize DFU_Download DFU_GetPercentage DFU_Initialize DFU_ResetToAP DFU_ResetToISP "
for deb in "${debs[@]:0:2}"; do
  check "$(basename "$deb") depends on libudev" bash -c \
    "dpkg-deb -f '$deb' Depends | grep -q 'libudev1 (>= '"
done
# tolvane checks package signatures with the system's libgcrypt.
check "$(basename "${debs[0]}") depends on libgcrypt" bash -c \
  "dpkg-deb -f '${debs[0]}' Depends | grep -q 'libgcrypt20 (>= '"
check "dev package depends on exactly its library" test \
  "$(dpkg-deb -f "${debs[2]}" Depends)" = "libtolvane$major (= $deb_version)"
if "$tool" --help 2>/dev/null | grep -q -- '--version'; then
  check "tolvane --version prints $version" bash -c "'$tool' --version | grep -qxF 'tolvane $version'"
else
  echo "SKIP: this tolvane has no --version yet"
fi
check "packaged tolvane updates the virtual target" "$tool" update --simulate --sim-fast -q \
  examples/sample.bin

# ---- Installing reloads udev where udev is, and never fails where it is not ----
control="$scratch/control"
dpkg-deb -e "${debs[0]}" "$control"
mkdir -p "$scratch/nothing" "$scratch/failing" "$scratch/recording"
check "postinst succeeds without udevadm" env PATH="$scratch/nothing" /bin/sh "$control/postinst" configure
printf '#!/bin/sh\nexit 1\n' >"$scratch/failing/udevadm"
printf '#!/bin/sh\necho "$*" >>"%s/udevadm-calls"\n' "$scratch" >"$scratch/recording/udevadm"
chmod +x "$scratch/failing/udevadm" "$scratch/recording/udevadm"
check "postinst succeeds when udevd does not answer" env PATH="$scratch/failing:/usr/bin:/bin" \
  /bin/sh "$control/postinst" configure
env PATH="$scratch/recording:/usr/bin:/bin" /bin/sh "$control/postinst" configure
check "postinst reloads the udev rules" grep -qx 'control --reload-rules' "$scratch/udevadm-calls"

# ---- A C caller linked through pkg-config ----
pc() { PKG_CONFIG_PATH="" PKG_CONFIG_LIBDIR="$lib/pkgconfig" pkg-config --define-variable=prefix="$root/usr" "$@"; }
check "pkg-config knows tolvane $version" test "$(pc --modversion tolvane 2>&1)" = "$version"
# shellcheck disable=SC2046  # the flags are separate words
if cc -std=c11 -Wall -Wextra -Werror -o "$scratch/caller-pc" "$here/caller.c" $(pc --cflags --libs tolvane); then
  pass "caller builds with pkg-config"
  check "caller built with pkg-config records libtolvane.so.$major" bash -c \
    "readelf -d '$scratch/caller-pc' | grep -qF '[libtolvane.so.$major]'"
  check "caller built with pkg-config runs" env LD_LIBRARY_PATH="$lib" "$scratch/caller-pc"
else
  fail "caller builds with pkg-config"
fi

# ---- A C caller linked through find_package(Tolvane) ----
cmake_caller() {
  cmake -S "$here/find-package" -B "$1" -G Ninja -DCMAKE_PREFIX_PATH="$root/usr" \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF "${@:2}"
}
if cmake_caller "$scratch/cmake-caller" >"$scratch/cmake.log" 2>&1 &&
  cmake --build "$scratch/cmake-caller" >>"$scratch/cmake.log" 2>&1; then
  pass "caller builds with find_package(Tolvane)"
  check "find_package found the unpacked package" grep -qF "from $root/usr/lib/$multiarch/cmake/Tolvane" \
    "$scratch/cmake.log"
  check "caller built with find_package runs" env LD_LIBRARY_PATH="$lib" "$scratch/cmake-caller/caller"
else
  fail "caller builds with find_package(Tolvane)"
  cat "$scratch/cmake.log"
fi
cmake_caller "$scratch/cmake-next" -DTOLVANE_WANTED_VERSION=$((major + 1)) >"$scratch/cmake-next.log" 2>&1
check "find_package(Tolvane $((major + 1))) refuses version $version" grep -q \
  'compatible with requested version' "$scratch/cmake-next.log"

# ---- apt can install the packages together ----
check "apt resolves the packages' dependencies" bash -c \
  "apt-get install -s ${debs[*]} >'$scratch/apt.log' 2>&1 || { cat '$scratch/apt.log'; false; }"

# ---- lintian: no error ----
if lintian --fail-on error "${debs[@]}" >"$scratch/lintian.log" 2>&1; then
  pass "lintian reports no error"
else
  fail "lintian reports errors"
fi
sed 's/^/   lintian: /' "$scratch/lintian.log"

# ---- The Windows zips ----
check_zip() {
  local arch=$1 format=$2 objdump=$3
  local name="tolvane-$version-windows-$arch"
  local zip="$packages/$name.zip"
  if [ ! -f "$zip" ]; then
    fail "missing $name.zip"
    return
  fi
  local listing expected
  listing=$(unzip -Z1 "$zip" | LC_ALL=C sort | tr '\n' ' ')
  expected=$(printf "$name/%s\n" "" LICENSE.txt README.txt Tolvane.dll Tolvane.lib Vandrel.exe \
    tolvane.exe tolvane.h libgcrypt-20.dll libgpg-error-0.dll LICENSE-libgcrypt.txt \
    LICENSE-libgpg-error.txt | LC_ALL=C sort | tr '\n' ' ')
  check "$name.zip holds exactly the shipped files (holds: $listing)" test "$listing" = "$expected"
  local unpacked="$scratch/$arch"
  unzip -q "$zip" -d "$unpacked"
  local binary
  for binary in Tolvane.dll Vandrel.exe tolvane.exe; do
    check "$arch $binary is $format" bash -c "file '$unpacked/$name/$binary' | grep -qF '$format'"
    check "$arch $binary is stripped" bash -c \
      "$objdump -h '$unpacked/$name/$binary' | grep -q ' .text' && ! $objdump -h '$unpacked/$name/$binary' | grep -q '.debug_' && \
       $objdump -t '$unpacked/$name/$binary' | grep -q 'no symbols'"
  done
  for binary in Tolvane.dll Vandrel.exe; do
    check "$arch $binary carries version $version" bash -c \
      "strings -el '$unpacked/$name/$binary' | grep -qxF '$version'"
  done
  check "$arch zip carries libgcrypt's licence" grep -q "LGPL" "$unpacked/$name/LICENSE-libgcrypt.txt"
  check "$arch read-me names the version" grep -qF "Tolvane $version" "$unpacked/$name/README.txt"
}
check_zip x86 "PE32 executable" i686-w64-mingw32-objdump
check_zip x64 "PE32+ executable" x86_64-w64-mingw32-objdump

echo "package checks: $((checks - failures)) passed, $failures failed"
[ "$failures" -eq 0 ]
