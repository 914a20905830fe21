#!/usr/bin/env bash
# Makes the packages of the Vandrel package build's tests with a built tolvane:
#   make-packages.sh PATH/TO/tolvane
# The keys are the test keys of tests/firmware_package/test_keys.h (made with minisign -G -W);
# packing is reproducible, so running this again gives the same files.
set -euo pipefail
tool=$(realpath "$1")
cd "$(dirname "$0")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cat >"$work/maker.key" <<'KEY'
untrusted comment: minisign encrypted secret key
RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAz2m3I2r2cxWYinUozQ0CC/oCDRyz/VanHalBsnGD00+czbbtyA8Y0T6Yl8EDsEpr9J+DwVw8a14l/4Vmqiym7LwICIhCfKJxAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=
KEY
cat >"$work/other.key" <<'KEY'
untrusted comment: minisign encrypted secret key
RWQAAEIyAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAxbufkcwVeulLkSo59pkxVqDl10iZhWI+OLWmeXFkwiq1DFiakE9AjM1ut21TujjdsUK1MJpr3doX4W9uB+vkDQ6OF1lTwQkbAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=
KEY
cat >maker.pub <<'KEY'
untrusted comment: minisign public key 1573F66A23B769CF
RWTPabcjavZzFT6Yl8EDsEpr9J+DwVw8a14l/4Vmqiym7LwICIhCfKJx
KEY

# An 8 KiB image whose bytes are not the demonstration's own.
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + 3) & 0xFF for i in range(8192)))' \
  >"$work/image.bin"

pack() {  # pack OUTPUT [tolvane pack options]
  local out=$1
  shift
  "$tool" pack "$work/image.bin" --image-version 1.02 --product "Test keypad" -o "$out" "$@" >/dev/null
}
pack signed.tvpkg --vid 5C3B --pid 0326 --key "$work/maker.key"
pack unsigned.tvpkg --vid 5C3B --pid 0326 --unsigned
pack other-key.tvpkg --vid 5C3B --pid 0326 --key "$work/other.key"
pack other-product.tvpkg --vid 5C3B --pid 0327 --key "$work/maker.key"
pack other-boot-loader.tvpkg --vid 5C3B --pid 0326 --bl-pid 0400 --key "$work/maker.key"
pack loads-at-1000.tvpkg --vid 5C3B --pid 0326 --address 1000 --key "$work/maker.key"

# One byte changed where it lies in the zip: of the image, and of the signed manifest.
python3 - <<'PY'
data = bytearray(open("signed.tvpkg", "rb").read())
image = bytearray(data)
image[data.index(b"firmware.bin") + 12 + 100] ^= 0x01
open("firmware-altered.tvpkg", "wb").write(image)
manifest = bytearray(data)
at = data.index(b"Test keypad")
manifest[at] = ord("t")
open("manifest-altered.tvpkg", "wb").write(manifest)
open("cut-short.tvpkg", "wb").write(data[:-5])
PY
