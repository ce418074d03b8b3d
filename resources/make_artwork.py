#!/usr/bin/env python3
"""Draws Perchlet's artwork from the pixel sources below and writes it next to this script.

    default.ico   16x16, 8-bit icon with mask: page with a question mark (fallback tray icon)
    cross.bmp     16x16, 24-bit: red X on grey RGB(128,128,128), the key colour when the
                  cross is laid over a tray icon
    question.bmp  33x32, 24-bit: question balloon of the exit dialog; its surroundings are
                  magenta RGB(255,0,255), the key colour the dialog draws it with
    perchlet.ico  16x16 and 32x32, 8-bit icons with masks: the program's own icon

Standard library only and no timestamps, so every run writes byte-identical files.
Usage: python3 resources/make_artwork.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))

CROSS_KEY = (128, 128, 128)    # must match the key used when laying the cross over an icon
BALLOON_KEY = (255, 0, 255)    # must match the key used when drawing the balloon

OUTLINE = (32, 32, 40)
WHITE = (255, 255, 255)
BLUE = (0, 72, 216)


def grid(rows, palette):
    """ASCII art to a list of pixel rows; '.' is transparent (None)."""
    assert len({len(r) for r in rows}) == 1, "ragged pixel source"
    return [[None if c == '.' else palette[c] for c in r] for r in rows]


# --- File writers ----------------------------------------------------------------------

def bmp24(pixels):
    h, w = len(pixels), len(pixels[0])
    stride = (w * 3 + 3) & ~3
    body = b''.join(
        b''.join(bytes((b, g, r)) for r, g, b in row).ljust(stride, b'\0')
        for row in reversed(pixels))
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(body), 3780, 3780, 0, 0)
    head = struct.pack('<2sIHHI', b'BM', 14 + len(info) + len(body), 0, 0, 14 + len(info))
    return head + info + body


def ico_image8(pixels):
    """One 8-bit BMP-in-ICO image; transparent pixels are black in the colour plane and
    set in the AND mask, which is what the shell expects for masked icons."""
    h, w = len(pixels), len(pixels[0])
    palette = [(0, 0, 0)]
    for row in pixels:
        for p in row:
            if p is not None and p not in palette:
                palette.append(p)
    assert len(palette) <= 256
    xor_stride = (w + 3) & ~3
    and_stride = ((w + 31) // 32) * 4
    xor = b''
    mask = b''
    for row in reversed(pixels):
        xor += bytes(0 if p is None else palette.index(p) for p in row).ljust(xor_stride, b'\0')
        bits = 0
        for p in row:
            bits = (bits << 1) | (p is None)
        nbits = and_stride * 8
        mask += (bits << (nbits - w)).to_bytes(and_stride, 'big')
    pal = b''.join(bytes((b, g, r, 0)) for r, g, b in palette).ljust(256 * 4, b'\0')
    info = struct.pack('<IiiHHIIiiII', 40, w, 2 * h, 1, 8, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + pal + xor + mask


def ico(images):
    out = struct.pack('<HHH', 0, 1, len(images))
    blobs = [ico_image8(p) for p in images]
    offset = 6 + 16 * len(images)
    for p, blob in zip(images, blobs):
        w, h = len(p[0]), len(p)
        out += struct.pack('<BBBBHHII', w % 256, h % 256, 0, 0, 1, 8, len(blob), offset)
        offset += len(blob)
    return out + b''.join(blobs)


# --- Default icon: a dog-eared page with a question mark -------------------------------

DEFAULT = grid([
    '..KKKKKKKKK.....',
    '..KWWWWWWWKK....',
    '..KWWWWWWWKGK...',
    '..KWWWWWWWKGGK..',
    '..KWWWBBBBKKKK..',
    '..KWWBBWWBBWWK..',
    '..KWWBBWWBBWWK..',
    '..KWWWWWBBWWWK..',
    '..KWWWWBBWWWWK..',
    '..KWWWWBBWWWWK..',
    '..KWWWWWWWWWWK..',
    '..KWWWWBBWWWWK..',
    '..KWWWWBBWWWWK..',
    '..KWWWWWWWWWWK..',
    '..KWWWWWWWWWWK..',
    '..KKKKKKKKKKKK..',
], {'K': OUTLINE, 'W': WHITE, 'G': (192, 192, 192), 'B': BLUE})


# --- Cross: red X corner to corner on the key grey -------------------------------------

def draw_cross():
    red, edge = (223, 0, 41), (150, 0, 28)
    rows = []
    for y in range(16):
        row = []
        for x in range(16):
            # Three pixels wide, with a darker rim under each bar so the cross
            # still stands out on red or orange icons.
            d1, d2 = x - y, x + y - 15
            if abs(d1) <= 1 or abs(d2) <= 1:
                row.append(red)
            elif d1 == -2 or d2 == 2:
                row.append(edge)
            else:
                row.append(CROSS_KEY)
        rows.append(row)
    return rows


# --- Question balloon: white top, blue bottom, question mark in the opposite colour ----

QMARK = [
    '...XXXXX...',
    '.XXXXXXXXX.',
    'XXXX...XXXX',
    'XXX.....XXX',
    '........XXX',
    '.......XXXX',
    '.....XXXXX.',
    '....XXXX...',
    '....XXX....',
    '....XXX....',
    '...........',
    '....XXX....',
    '....XXX....',
    '....XXX....',
]


TAIL = {20: (9, 18), 21: (9, 17), 22: (9, 16), 23: (8, 15), 24: (8, 14), 25: (7, 13),
        26: (7, 12), 27: (6, 11), 28: (5, 10), 29: (4, 8), 30: (3, 6)}


def draw_balloon():
    w, h = 33, 32
    cx, cy, rx, ry = 16.0, 11.5, 16.3, 11.9

    def inside(x, y):
        if ((x - cx) / rx) ** 2 + ((y - cy) / ry) ** 2 <= 1.0:
            return True
        # Tail: spans of columns per row, running from under the lower left to a point.
        if y in TAIL:
            return TAIL[y][0] <= x <= TAIL[y][1]
        return False

    shape = [[inside(x, y) for x in range(w)] for y in range(h)]
    split = 12
    qx, qy = (w - len(QMARK[0])) // 2, 4
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            if not shape[y][x]:
                row.append(BALLOON_KEY)
                continue
            edge = any(not (0 <= x + dx < w and 0 <= y + dy < h and shape[y + dy][x + dx])
                       for dx, dy in ((1, 0), (-1, 0), (0, 1), (0, -1)))
            top = y < split
            mark = (0 <= y - qy < len(QMARK) and 0 <= x - qx < len(QMARK[0])
                    and QMARK[y - qy][x - qx] == 'X')
            if edge:
                row.append(OUTLINE)
            elif mark:
                row.append(BLUE if top else WHITE)
            else:
                row.append(WHITE if top else BLUE)
        rows.append(row)
    return rows


# --- Program icon: a small bird perched on a twig ---------------------------------------

BIRD_PALETTE = {
    'K': OUTLINE, 'U': (52, 112, 214), 'D': (28, 66, 150), 'O': (244, 134, 44),
    'Y': (252, 196, 32), 'E': (0, 0, 0), 'W': WHITE, 'T': (128, 80, 40), 't': (84, 50, 22),
}

BIRD16 = grid([
    '................',
    '................',
    '.......KKKK.....',
    '......KUUUUK....',
    '.....KUUUWEKK...',
    '.....KUUUUUKYY..',
    '....KUUUUUOK....',
    '...KDDDUUOOOK...',
    '..KDDDDDOOOOK...',
    '.KDDDDDOOOOK....',
    'KDDKKDDOOOK.....',
    'KKK..KKKKK......',
    '......K.K.......',
    'TTTTTTTTTTTTTTTT',
    'tttttttttttttttt',
    '................',
], BIRD_PALETTE)

BIRD32 = grid([
    '................................',
    '................................',
    '................................',
    '................................',
    '..............KKKKKK............',
    '............KKUUUUUUKK..........',
    '...........KUUUUUUUUUUK.........',
    '..........KUUUUUUUUUUUUK........',
    '..........KUUUUUUUUUWEUK........',
    '.........KUUUUUUUUUUEEUUK.......',
    '.........KUUUUUUUUUUUUUUKKK.....',
    '.........KUUUUUUUUUUUUUUYYYKK...',
    '.........KUUUUUUUUUUUUUUYYYYYK..',
    '........KUUUUUUUUUUUUUUOKKKKK...',
    '.......KUUUUUUUUUUUUUUOOK.......',
    '......KDDDDUUUUUUUUUUOOOOK......',
    '.....KDDDDDDDUUUUUUUOOOOOK......',
    '....KDDDDDDDDDUUUUOOOOOOOK......',
    '...KDDDDDDDDDDDUUOOOOOOOOK......',
    '..KDDDDDDDDDDDDOOOOOOOOOK.......',
    '.KDDDDDDDDDDDDDOOOOOOOOOK.......',
    'KDDDDKDDDDDDDDOOOOOOOOOK........',
    'KDDDK.KKDDDDDDOOOOOOOKK.........',
    'KDDK....KKKKKKKKKKKKK...........',
    'KKK...........K....K............',
    '.............KKK..KKK...........',
    'TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT',
    'TTTTTTTTTTTTTTTTTTTTTTTTTTTTTTTT',
    'tttttttttttttttttttttttttttttttt',
    '................................',
    '................................',
    '................................',
], BIRD_PALETTE)


def write(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


def main():
    write('default.ico', ico([DEFAULT]))
    write('cross.bmp', bmp24(draw_cross()))
    write('question.bmp', bmp24(draw_balloon()))
    write('perchlet.ico', ico([BIRD16, BIRD32]))


if __name__ == '__main__':
    main()
