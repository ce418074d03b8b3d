#!/usr/bin/env python3
"""Writes the icon files and raw resources that the test modules are built from.

Every byte is computed from fixed patterns, so each build writes the same files. The .ico files
keep the layout an extraction produces (entries in order, images packed right after the
directory), so a group copied back out of a module must equal its source file byte for byte.

Usage: make_icons.py OUTPUT_FOLDER
"""
import os
import struct
import sys


def row_bytes(width, bits):
    return ((width * bits + 31) // 32) * 4


def image(width, height, bits, seed):
    """A BMP-style icon image: header, palette, colour rows, mask rows."""
    palette = b""
    if bits <= 8:
        colours = 1 << bits
        palette = b"".join(
            struct.pack("<BBBB", (i * 37 + seed) & 0xFF, (i * 91 + seed * 3) & 0xFF,
                        (i * 53 + seed * 7) & 0xFF, 0)
            for i in range(colours))
    colour_rows = bytearray()
    for y in range(height):
        row = bytearray(row_bytes(width, bits))
        for x in range(width):
            value = (x + y * 3 + seed) & ((1 << bits) - 1 if bits < 32 else 0xFF)
            if bits == 4:
                row[x // 2] |= value << (4 if x % 2 == 0 else 0)
            elif bits == 8:
                row[x] = value
            elif bits == 32:
                row[x * 4:x * 4 + 4] = bytes(((x * 16 + seed) & 0xFF, (y * 16) & 0xFF,
                                              (seed * 40) & 0xFF, 0xFF))
        colour_rows += row
    mask_rows = bytearray()
    for y in range(height):
        row = bytearray(row_bytes(width, 1))
        for x in range(width):
            if (x + y + seed) % 5 == 0:  # a few transparent pixels
                row[x // 8] |= 0x80 >> (x % 8)
        mask_rows += row
    header = struct.pack("<IiiHHIIiiII", 40, width, height * 2, 1, bits, 0,
                         len(colour_rows) + len(mask_rows), 0, 0, 0, 0)
    return header + palette + bytes(colour_rows) + bytes(mask_rows)


def ico(images):
    """An .ico file of (width, height, bits, bytes) images."""
    count = len(images)
    out = struct.pack("<HHH", 0, 1, count)
    offset = 6 + 16 * count
    for width, height, bits, data in images:
        colours = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHII", width % 256, height % 256, colours, 0, 1, bits,
                           len(data), offset)
        offset += len(data)
    return out + b"".join(data for _, _, _, data in images)


def group(entries, count=None):
    """A raw RT_GROUP_ICON resource of (width, height, bits, bytes in resource, id) entries."""
    out = struct.pack("<HHH", 0, 1, len(entries) if count is None else count)
    for width, height, bits, size, image_id in entries:
        colours = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHIH", width, height, colours, 0, 1, bits, size, image_id)
    return out


def with_images(*specs):
    return [(w, h, b, image(w, h, b, seed)) for w, h, b, seed in specs]


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    files = {
        # 744, 296 and 1128 bytes: 32 x 32 and 16 x 16 at 16 colours, 16 x 16 at 32 bits.
        "sizes.ico": ico(with_images((32, 32, 4, 1), (16, 16, 4, 2), (16, 16, 32, 3))),
        "red.ico": ico(with_images((16, 16, 4, 4))),
        "green.ico": ico(with_images((16, 16, 8, 5))),
        "blue.ico": ico(with_images((16, 16, 32, 6), (32, 32, 32, 7))),
    }
    small = image(16, 16, 4, 8)
    files.update({
        "image40000.bin": small,
        "group_id40000.bin": group([(16, 16, 4, len(small), 40000)]),
        "group_short.bin": group([(16, 16, 4, len(small), 40000)], count=3),
        "group_overclaim.bin": group([(16, 16, 4, len(small) + 1000, 40000)]),
        "group_missing.bin": group([(16, 16, 4, len(small), 40000), (16, 16, 4, 10, 40001)]),
        "group_empty.bin": group([], count=0),
        # What extracting group_id40000 gives.
        "id40000.ico": ico([(16, 16, 4, small)]),
    })
    for name, data in files.items():
        path = os.path.join(folder, name)
        try:
            with open(path, "rb") as existing:
                if existing.read() == data:
                    continue  # unchanged: the modules need not be built again
        except FileNotFoundError:
            pass
        with open(path, "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
