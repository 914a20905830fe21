#!/usr/bin/env bash
# Builds the packages people install and writes them to dist/packages/:
#   tolvane_<version>-1_amd64.deb          the command-line tool, its manual page and udev rules
#   libtolvane<major>_<version>-1_amd64.deb the shared library
#   libtolvane-dev_<version>-1_amd64.deb    header, pkg-config file and CMake package
#   tolvane-<version>-windows-x86.zip, tolvane-<version>-windows-x64.zip
# Each release configuration is built in a folder of its own under build/ (package-linux,
# package-windows-x86, package-windows-x64); ccache, where present, makes a second run cheap.
# Usage: scripts/package.sh [linux|windows|all]   (default: all)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
what="${1:-all}"
case "$what" in
  linux | windows | all) ;;
  *) echo "usage: $0 [linux|windows|all]" >&2; exit 64 ;;
esac

deps=all
[ "$what" = linux ] && deps=native
bash scripts/install-deps.sh "$deps"

version=$(sed -n 's/^project(Tolvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "package: no project version in CMakeLists.txt" >&2; exit 1; }
major=${version%%.*}
deb_version="$version-1"
maintainer=${TOLVANE_MAINTAINER:-"The Tolvane developers <tolvane@example.org>"}
out="$root/dist/packages"
# File times and the changelog's date come from the last commit, so that a rebuild of the same
# commit gives the same packages.
SOURCE_DATE_EPOCH=$(git log -1 --format=%ct 2>/dev/null || date +%s)
export SOURCE_DATE_EPOCH
umask 022
# "&" in a value stays itself when fill() substitutes it.
shopt -u patsub_replacement 2>/dev/null || true

. scripts/ccache-env.sh "$root"

mkdir -p "$out"

# Configures and builds one release configuration; the rest of the arguments go to cmake.
build_release() {
  local dir=$1; shift
  cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTOLVANE_BUILD_TESTS=OFF \
    -DTOLVANE_BUILD_BENCHMARKS=OFF "$@"
  cmake --build "$dir" -j "${TOLVANE_PACKAGE_JOBS:-2}"
}

# Replaces @NAME@ in a template with the values given as NAME=value arguments.
fill() {
  local template=$1; shift
  local text
  text=$(<"$template")
  local pair
  for pair in "$@"; do
    text=${text//@${pair%%=*}@/${pair#*=}}
  done
  printf '%s\n' "$text"
}

# The Debian packages: each install component of the build becomes one package tree under
# build/package-linux/debian/<package>, Debian's usual place, where dpkg-shlibdeps looks for it.
package_linux() {
  local build="$root/build/package-linux"
  # Debian's hardening: fortified functions, stack protection, read-only relocations.
  local hardening="-D_FORTIFY_SOURCE=2 -fstack-protector-strong -fstack-clash-protection"
  local relro="-Wl,-z,relro -Wl,-z,now"
  build_release "$build" -DCMAKE_INSTALL_PREFIX=/usr -DTOLVANE_DEBIAN_LAYOUT=ON \
    -DCMAKE_C_FLAGS="$hardening" -DCMAKE_CXX_FLAGS="$hardening" \
    -DCMAKE_EXE_LINKER_FLAGS="$relro" -DCMAKE_SHARED_LINKER_FLAGS="$relro"

  local lib_package="libtolvane$major"
  local work="$build/debian"
  rm -rf "$work"
  mkdir -p "$work"
  printf 'Source: tolvane\n\nPackage: tolvane\nArchitecture: amd64\n\nPackage: %s\nArchitecture: amd64\n\nPackage: libtolvane-dev\nArchitecture: amd64\n' \
    "$lib_package" >"$work/control"

  local -A component=([tolvane]=deb_tool [$lib_package]=deb_runtime [libtolvane-dev]=deb_dev)
  local -A template=([tolvane]=tolvane [$lib_package]=libtolvane [libtolvane-dev]=libtolvane-dev)
  local changelog_date
  changelog_date=$(date -R -d "@$SOURCE_DATE_EPOCH")
  local package tree
  for package in tolvane "$lib_package" libtolvane-dev; do
    tree="$work/$package"
    DESTDIR="$tree" cmake --install "$build" --component "${component[$package]}" --strip
    find "$tree/usr/share/man" -type f -name '*.[1-9]' -exec gzip -9n {} + 2>/dev/null || true
    local doc="$tree/usr/share/doc/$package"
    install -D -m 644 packaging/debian/copyright "$doc/copyright"
    printf 'tolvane (%s) unstable; urgency=medium\n\n  * Release %s.\n\n -- %s  %s\n' \
      "$deb_version" "$version" "$maintainer" "$changelog_date" | gzip -9n >"$doc/changelog.Debian.gz"
    chmod 644 "$doc/changelog.Debian.gz"
    mkdir -p "$tree/DEBIAN"
  done

  # The library package: the shlibs and symbols files tell packages built against it what to
  # depend on; the trigger refreshes the dynamic linker's cache.
  local library
  library=$(find "$work/$lib_package" -name "libtolvane.so.$major" -type l)
  [ -n "$library" ] || { echo "package: libtolvane.so.$major was not installed" >&2; exit 1; }
  chmod 644 "$(readlink -f "$library")"
  printf 'libtolvane %s %s (>= %s)\n' "$major" "$lib_package" "$version" \
    >"$work/$lib_package/DEBIAN/shlibs"
  {
    printf 'libtolvane.so.%s %s #MINVER#\n' "$major" "$lib_package"
    nm -D --defined-only "$library" | awk '$2 ~ /^[TW]$/ {print " " $3 "@Base '"$version"'"}' | sort
  } >"$work/$lib_package/DEBIAN/symbols"
  install -m 644 packaging/debian/libtolvane.triggers "$work/$lib_package/DEBIAN/triggers"
  install -m 755 packaging/debian/tolvane.postinst "$work/tolvane/DEBIAN/postinst"
  install -m 755 packaging/debian/tolvane.postrm "$work/tolvane/DEBIAN/postrm"

  local depends_tool depends_lib
  depends_tool=$(cd "$build" && dpkg-shlibdeps -O -e"debian/tolvane/usr/bin/tolvane" |
    sed -n 's/^shlibs:Depends=//p')
  depends_lib=$(cd "$build" && dpkg-shlibdeps -O -e"${library#"$build"/}" |
    sed -n 's/^shlibs:Depends=//p')
  [ -n "$depends_tool" ] && [ -n "$depends_lib" ] ||
    { echo "package: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

  rm -f "$out"/tolvane_*.deb "$out"/libtolvane*.deb
  local depends size
  for package in tolvane "$lib_package" libtolvane-dev; do
    tree="$work/$package"
    depends=$depends_lib
    [ "$package" = tolvane ] && depends=$depends_tool
    size=$(du -sk --exclude=DEBIAN "$tree" | cut -f1)
    fill "packaging/debian/${template[$package]}.control.in" "DEB_VERSION=$deb_version" \
      "MAINTAINER=$maintainer" "INSTALLED_SIZE=$size" "DEPENDS=$depends" "SOVERSION=$major" \
      >"$tree/DEBIAN/control"
    (cd "$tree" && find . -path ./DEBIAN -prune -o -type f -printf '%P\0' | LC_ALL=C sort -z |
      xargs -0 -r md5sum) >"$tree/DEBIAN/md5sums"
    chmod 644 "$tree/DEBIAN/control" "$tree/DEBIAN/md5sums"
    dpkg-deb --root-owner-group -Zxz --build "$tree" "$out/${package}_${deb_version}_amd64.deb"
  done
}

# One Windows zip: the shipped files of a release build, stripped, in a folder named like the zip.
package_windows() {
  local arch=$1 toolchain=$2
  local build="$root/build/package-windows-$arch"
  build_release "$build" --toolchain "$root/cmake/$toolchain" \
    -DCMAKE_INSTALL_PREFIX="$build/stage"
  rm -rf "$build/stage"
  cmake --install "$build" --strip

  local name="tolvane-$version-windows-$arch"
  local zipdir="$build/zip"
  rm -rf "$zipdir"
  mkdir -p "$zipdir/$name"
  local file
  for file in Tolvane.dll Tolvane.lib tolvane.h Vandrel.exe tolvane.exe; do
    install -m 644 "$build/stage/$file" "$zipdir/$name/$file"
  done
  # tolvane.exe checks package signatures with libgcrypt: its DLLs and their licence go beside it.
  local sysroot=/usr/x86_64-w64-mingw32
  [ "$arch" = x86 ] && sysroot=/usr/i686-w64-mingw32
  for file in libgcrypt-20.dll libgpg-error-0.dll; do
    install -m 644 "$sysroot/bin/$file" "$zipdir/$name/$file"
  done
  sed 's/$/\r/' /usr/share/doc/libgcrypt-mingw-w64-dev/copyright \
    >"$zipdir/$name/LICENSE-libgcrypt.txt"
  sed 's/$/\r/' /usr/share/doc/libgpg-error-mingw-w64-dev/copyright \
    >"$zipdir/$name/LICENSE-libgpg-error.txt"
  # Windows editors expect CRLF line ends in text files.
  sed 's/$/\r/' LICENSE >"$zipdir/$name/LICENSE.txt"
  fill packaging/windows/README.txt.in "VERSION=$version" "ARCH=$arch" | sed 's/$/\r/' \
    >"$zipdir/$name/README.txt"
  find "$zipdir" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
  rm -f "$out/$name.zip"
  (cd "$zipdir" && find "$name" | LC_ALL=C sort | zip -X -q "$out/$name.zip" -@)
}

if [ "$what" != windows ]; then
  package_linux
fi
if [ "$what" != linux ]; then
  package_windows x86 mingw-i686.cmake
  package_windows x64 mingw-x86_64.cmake
fi
echo "packages in dist/packages:"
ls -l "$out"
