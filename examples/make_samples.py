#!/usr/bin/env python3
"""Writes the sample images: sample.bin (16 KiB) and sample.hex (the same bytes as Intel HEX).

The bytes come from a fixed linear congruential sequence, so running this again gives the same
files. The HEX file uses an extended linear address record and 32-byte data records.
"""
import pathlib

SIZE = 16 * 1024
HERE = pathlib.Path(__file__).resolve().parent


def sample_bytes():
    state = 0x2545F491
    out = bytearray()
    for _ in range(SIZE):
        state = (state * 1103515245 + 12345) & 0xFFFFFFFF
        out.append((state >> 16) & 0xFF)
    return bytes(out)


def record(address, kind, data):
    body = bytes([len(data), (address >> 8) & 0xFF, address & 0xFF, kind]) + data
    checksum = (-sum(body)) & 0xFF
    return ":" + (body + bytes([checksum])).hex().upper() + "\n"


def intel_hex(data):
    lines = [record(0, 0x04, bytes([0x00, 0x00]))]
    for offset in range(0, len(data), 32):
        lines.append(record(offset, 0x00, data[offset:offset + 32]))
    lines.append(record(0, 0x01, b""))
    return "".join(lines)


def main():
    data = sample_bytes()
    (HERE / "sample.bin").write_bytes(data)
    (HERE / "sample.hex").write_text(intel_hex(data), newline="\n")


if __name__ == "__main__":
    main()
