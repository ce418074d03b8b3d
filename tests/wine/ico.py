""".ico files as the tests write them, and read back as the program writes them."""

import struct
from dataclasses import dataclass


@dataclass
class IcoEntry:
    width: int
    height: int
    bit_count: int
    size: int  # bytes in resource
    offset: int


def ico_entries(data):
    """The directory of an .ico file; raises ValueError where the layout does not hold together:
    images must follow the directory without gaps and end exactly at the end of the file."""
    if len(data) < 6:
        raise ValueError("shorter than an icon directory")
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1 or count == 0:
        raise ValueError(f"not an icon file: reserved {reserved}, type {kind}, count {count}")
    entries = []
    expected_offset = 6 + 16 * count
    for k in range(count):
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data,
                                                                        6 + 16 * k)
        if offset != expected_offset:
            raise ValueError(f"image {k} at {offset}, expected {expected_offset}")
        entries.append(IcoEntry(width or 256, height or 256, bits, size, offset))
        expected_offset += size
    if expected_offset != len(data):
        raise ValueError(f"images end at {expected_offset}, the file at {len(data)}")
    return entries


def valid_ico(data):
    """Whether the bytes are a whole .ico file: header, directory, and images that end exactly
    where the file does, each where its entry says."""
    try:
        ico_entries(data)
    except (ValueError, struct.error):  # struct.error: a directory cut short
        return False
    return True


def solid_ico(rgb, size=16):
    """A 32-bit icon of one opaque colour."""
    return rgba_ico([[[(*rgb, 255)] * size] * size])


def rgba_ico(images):
    """A 32-bit icon of one image per picture (rows of (r, g, b, alpha)); the mask is set where
    alpha is 0."""
    blobs = []
    for rows in images:
        size = len(rows)
        colour = b"".join(bytes((b, g, r, a)) for row in reversed(rows) for r, g, b, a in row)
        stride = ((size + 31) // 32) * 4
        mask = b"".join(
            sum(0x80 >> (x % 8) << 8 * (x // 8) for x, pixel in enumerate(row) if pixel[3] == 0)
            .to_bytes(stride, "little") for row in reversed(rows))
        header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                             len(colour) + len(mask), 0, 0, 0, 0)
        blobs.append(header + colour + mask)
    data = struct.pack("<HHH", 0, 1, len(blobs))
    offset = 6 + 16 * len(blobs)
    for rows, blob in zip(images, blobs):
        data += struct.pack("<BBBBHHII", len(rows), len(rows), 0, 0, 1, 32, len(blob), offset)
        offset += len(blob)
    return data + b"".join(blobs)


@dataclass(frozen=True)
class Half:
    """A half-transparent pixel of a picture: the screen shows it over what lies behind."""
    colour: tuple
    alpha: int

    def over(self, background):
        return tuple((c * self.alpha + b * (255 - self.alpha) + 127) // 255
                     for c, b in zip(self.colour, background))


@dataclass(frozen=True)
class Inverted:
    """A pixel that the mask lets through but whose colour is not black: the screen shows what
    lies behind it, exclusive-or this colour."""
    colour: tuple


def icon_pixels(data, index=0):
    """The pixels of one image of an .ico file as rows of (r, g, b); None where the mask makes
    it transparent, Inverted where it inverts the screen. BMP images of 4, 8 and 32 bits only:
    what the test icons use."""
    entry = ico_entries(data)[index]
    image = data[entry.offset:entry.offset + entry.size]
    header_size, width, double_height, _, bits = struct.unpack_from("<IiiHH", image)
    height = double_height // 2
    palette_count = (1 << bits) if bits <= 8 else 0
    palette = [struct.unpack_from("<BBB", image, header_size + 4 * i)[::-1]
               for i in range(palette_count)]
    colour_stride = ((width * bits + 31) // 32) * 4
    mask_stride = ((width + 31) // 32) * 4
    colour_at = header_size + 4 * palette_count
    mask_at = colour_at + colour_stride * height
    rows = []
    for y in range(height):
        source = height - 1 - y  # rows are stored bottom-up
        colour_row = image[colour_at + source * colour_stride:]
        mask_row = image[mask_at + source * mask_stride:]
        row = []
        for x in range(width):
            if bits == 4:
                byte = colour_row[x // 2]
                colour = palette[(byte >> 4) if x % 2 == 0 else (byte & 0x0F)]
            elif bits == 8:
                colour = palette[colour_row[x]]
            elif bits == 32:
                blue, green, red = colour_row[4 * x:4 * x + 3]
                colour = (red, green, blue)
            else:
                raise ValueError(f"{bits}-bit images are not read here")
            if mask_row[x // 8] & (0x80 >> (x % 8)):
                colour = None if colour == (0, 0, 0) else Inverted(colour)
            row.append(colour)
        rows.append(row)
    return rows


def small_image_index(data):
    """The image a 16 x 16 picture is made from: the first one of that size."""
    for k, entry in enumerate(ico_entries(data)):
        if (entry.width, entry.height) == (16, 16):
            return k
    raise ValueError("no 16 x 16 image")
