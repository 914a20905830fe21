#!/usr/bin/env python3
"""Draws the Vandrel icon and writes it as a Windows icon file.

The picture: a blue rounded square with a white arrow pointing down into a dark chip with pins,
the idea of an image going into a device. Images of 16, 24, 32 and 48 pixels at 4, 8 and 32 bits
per pixel, and a 256-pixel image stored as PNG. Pure Python (standard library only).

Usage: make_icon.py OUTPUT.ico
"""

import struct
import sys
import zlib

BLUE = (32, 96, 200)
BLUE_EDGE = (16, 56, 140)
WHITE = (255, 255, 255)
CHIP = (40, 40, 48)
PIN = (200, 200, 210)


def rounded_square(x, y, r):
    """Inside test of a rounded square over [0.04, 0.96]^2 with corner radius r."""
    lo, hi = 0.04, 0.96
    if x < lo or x > hi or y < lo or y > hi:
        return False
    cx = min(max(x, lo + r), hi - r)
    cy = min(max(y, lo + r), hi - r)
    return (x - cx) ** 2 + (y - cy) ** 2 <= r * r


def colour_at(x, y):
    """RGBA of the picture at the normalised point (x, y), y growing downwards."""
    # Chip with pins along its bottom part.
    if 0.22 <= x <= 0.78 and 0.62 <= y <= 0.84:
        return CHIP + (255,)
    if 0.84 < y <= 0.92 and 0.22 <= x <= 0.78 and int((x - 0.22) / 0.08) % 2 == 0:
        return PIN + (255,)
    # Arrow: shaft and head.
    if 0.42 <= x <= 0.58 and 0.12 <= y <= 0.38:
        return WHITE + (255,)
    if 0.38 <= y <= 0.58 and abs(x - 0.5) <= (0.58 - y) * 1.1:
        return WHITE + (255,)
    if rounded_square(x, y, 0.18):
        if not rounded_square(x, y, 0.16) or not (0.07 < x < 0.93 and 0.07 < y < 0.93):
            return BLUE_EDGE + (255,)
        return BLUE + (255,)
    return (0, 0, 0, 0)


def render(size, samples):
    """Rows of RGBA pixels, top row first, averaged over samples x samples points."""
    rows = []
    for py in range(size):
        row = []
        for px in range(size):
            acc = [0, 0, 0, 0]
            for sy in range(samples):
                for sx in range(samples):
                    c = colour_at((px + (sx + 0.5) / samples) / size,
                                  (py + (sy + 0.5) / samples) / size)
                    a = c[3]
                    acc[0] += c[0] * a
                    acc[1] += c[1] * a
                    acc[2] += c[2] * a
                    acc[3] += a
            n = samples * samples
            alpha = acc[3] / n
            if acc[3] > 0:
                rgb = tuple(int(round(acc[i] / acc[3])) for i in range(3))
            else:
                rgb = (0, 0, 0)
            row.append(rgb + (int(round(alpha)),))
        rows.append(row)
    return rows


VGA16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
         (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
         (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]


def palette256():
    cube = [(r * 51, g * 51, b * 51) for r in range(6) for g in range(6) for b in range(6)]
    greys = [(v, v, v) for v in range(8, 248, 6)][:40]
    return (cube + greys + [(0, 0, 0)] * 256)[:256]


def nearest(palette, rgb):
    return min(range(len(palette)),
               key=lambda i: sum((palette[i][k] - rgb[k]) ** 2 for k in range(3)))


def and_mask(rows, size):
    """1 bit per pixel, rows bottom-up, each padded to 32 bits: 1 = transparent."""
    stride = ((size + 31) // 32) * 4
    data = bytearray()
    for row in reversed(rows):
        line = bytearray(stride)
        for x, px in enumerate(row):
            if px[3] < 128:
                line[x // 8] |= 0x80 >> (x % 8)
        data += line
    return bytes(data)


def bmp_entry(rows, size, bpp):
    header = struct.pack('<IiiHHIIiiII', 40, size, size * 2, 1, bpp, 0, 0, 0, 0,
                         0 if bpp == 32 else (16 if bpp == 4 else 256), 0)
    body = bytearray()
    if bpp == 32:
        for row in reversed(rows):
            for r, g, b, a in row:
                body += bytes((b, g, r, a))
        table = b''
    else:
        palette = VGA16 if bpp == 4 else palette256()
        table = b''.join(bytes((b, g, r, 0)) for r, g, b in palette)
        cache = {}
        stride = ((size * bpp + 31) // 32) * 4
        for row in reversed(rows):
            line = bytearray(stride)
            for x, (r, g, b, a) in enumerate(row):
                key = (r, g, b) if a >= 128 else (0, 0, 0)
                if key not in cache:
                    cache[key] = nearest(palette, key)
                index = cache[key]
                if bpp == 8:
                    line[x] = index
                else:
                    line[x // 2] |= index << (4 if x % 2 == 0 else 0)
            body += line
    return header + table + bytes(body) + and_mask(rows, size)


def png_entry(rows, size):
    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF))
    raw = b''.join(b'\x00' + bytes(c for px in row for c in px) for row in rows)
    return (b'\x89PNG\r\n\x1a\n' +
            chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
            chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b''))


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    entries = []  # (size, colours, bpp, data)
    for size in (16, 24, 32, 48):
        rows = render(size, 4)
        for bpp in (4, 8, 32):
            entries.append((size, 16 if bpp == 4 else 0, bpp, bmp_entry(rows, size, bpp)))
    entries.append((256, 0, 32, png_entry(render(256, 2), 256)))

    out = bytearray(struct.pack('<HHH', 0, 1, len(entries)))
    offset = 6 + 16 * len(entries)
    for size, colours, bpp, data in entries:
        dim = 0 if size == 256 else size
        out += struct.pack('<BBBBHHII', dim, dim, colours, 0, 1, bpp, len(data), offset)
        offset += len(data)
    for entry in entries:
        out += entry[3]
    with open(sys.argv[1], 'wb') as f:
        f.write(out)


if __name__ == '__main__':
    main()
