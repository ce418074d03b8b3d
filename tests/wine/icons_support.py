"""Helpers of the icon end-to-end tests: .ico files read and written, registry rows set up with
`reg add` and taken away again, trace lines cut per tray entry, and pixels read from screenshots.

Standard library only: the screenshots are PNG files that ImageMagick's `import` writes, and only
the rows at the top of the screen (where the tray is) are ever decoded.
"""

import re
import struct
import time
import zlib
from dataclasses import dataclass
from pathlib import Path

# -------------------------------------------------------------------------------------------------
# .ico files


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
        width, height, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", data, 6 + 16 * k)
        if offset != expected_offset:
            raise ValueError(f"image {k} at {offset}, expected {expected_offset}")
        entries.append(IcoEntry(width or 256, height or 256, bits, size, offset))
        expected_offset += size
    if expected_offset != len(data):
        raise ValueError(f"images end at {expected_offset}, the file at {len(data)}")
    return entries


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


# -------------------------------------------------------------------------------------------------
# The registry


class RegistryRows:
    """Registry values set with `reg add` for the length of a test class and deleted again at its
    end: the session's prefix is shared by every test file, so every key added here must be one
    that no one else uses. The commands go through one batch file, which costs one Wine start
    instead of one per value."""

    def __init__(self, session):
        self.session = session
        self.pending = []  # reg add commands not run yet
        self.owned = []  # top-most keys added, deleted in reverse order at the end

    def exists(self, key):
        return self.session.wine("reg", "query", key) == 0

    def add(self, key, value, name=None):
        """Sets the key's default value (or the named value) to a text, at the next apply()."""
        top = _top_key(key)
        if top not in self.owned:
            self.owned.append(top)
        which = "/ve" if name is None else "/v " + _cmd_argument(name)
        self.pending.append(f"reg add {_cmd_argument(key)} {which} /d {_cmd_argument(value)} /f")

    def apply(self):
        commands, self.pending = self.pending, []
        if commands and self._run(commands) != 0:
            raise RuntimeError("reg add failed: see wine-commands.log in the artefacts")

    def delete_all(self):
        self.pending.clear()
        keys, self.owned = self.owned, []
        if keys:
            self._run([f"reg delete {_cmd_argument(key)} /f" for key in reversed(keys)])

    def _run(self, commands):
        script = self.session.drive_c / f"perchlet-registry-{id(self):x}.cmd"
        # Stops at the first failure. (Wine's cmd runs what follows "||" even after a success.)
        lines = ["@echo off"]
        for command in commands:
            lines += [command, "if errorlevel 1 exit /b 1"]
        script.write_bytes("".join(line + "\r\n" for line in lines).encode("cp1252"))
        try:
            return self.session.wine("cmd", "/c", self.session.windows_path(script))
        finally:
            script.unlink(missing_ok=True)


def _cmd_argument(text):
    """One argument of a batch file line as reg.exe reads it back: in double quotes, with the
    quote and backslash rules of the Windows command line, and % doubled for cmd."""
    out = []
    backslashes = 0
    for char in text:
        if char == "\\":
            backslashes += 1
            continue
        if char == '"':
            out.append("\\" * (2 * backslashes + 1) + '"')
        else:
            out.append("\\" * backslashes + char)
        backslashes = 0
    out.append("\\" * (2 * backslashes))
    return '"' + "".join(out).replace("%", "%%") + '"'


def _top_key(key):
    """The key directly below the root for HKCR (an extension, a class or a CLSID entry), or the
    full key elsewhere: what a test adds there is its own from that level down."""
    parts = key.split("\\")
    if parts[0].upper() in ("HKCR", "HKEY_CLASSES_ROOT"):
        if len(parts) > 2 and parts[1].upper() == "CLSID":
            return "\\".join(parts[:3])
        return "\\".join(parts[:2])
    return key


# -------------------------------------------------------------------------------------------------
# Trace lines of one tray entry

ADDING = "Adding new icon to Tray for '"
READ_LINE = "Read batch command line '"


def entry_traces(messages):
    """The trace messages written while each tray entry was added, in entry order: everything
    after an "Adding new icon" line up to the next batch line or entry."""
    entries = []
    for message in messages:
        if message.startswith(ADDING):
            entries.append([])
        elif message.startswith(READ_LINE):
            entries.append(None)  # a batch line ends the entry before it
        elif entries and entries[-1] is not None:
            entries[-1].append(message)
    return [entry for entry in entries if entry is not None]


def box_matches(box, text):
    """Whether a message box shown (a harness Box) is the text; Wine cuts long texts."""
    return box.text == text if not box.truncated else text.startswith(box.text)


# -------------------------------------------------------------------------------------------------
# Screenshots


class Screen:
    """The top rows of a screenshot: pixel colours as (r, g, b)."""

    def __init__(self, path, rows):
        self.path = Path(path)
        self.width, self.height, self.rows = _read_png(self.path, rows)

    def pixel(self, x, y):
        return self.rows[y][x]

    def region(self, x, y, width, height):
        return [row[x:x + width] for row in self.rows[y:y + height]]

    def count(self, rect, colour):
        x, y, width, height = rect
        return sum(row.count(colour) for row in self.region(x, y, width, height))

    def find(self, rect, picture):
        """Where in rect the picture's opaque pixels ((r, g, b) tuples; anything else is not
        compared) show exactly: (x, y), or None."""
        x0, y0, width, height = rect
        size_y, size_x = len(picture), len(picture[0])
        for y in range(y0, y0 + height - size_y + 1):
            for x in range(x0, x0 + width - size_x + 1):
                if all(not isinstance(colour, tuple) or self.rows[y + dy][x + dx] == colour
                       for dy, row in enumerate(picture) for dx, colour in enumerate(row)):
                    return x, y
        return None


def _read_png(path, wanted_rows):
    data = path.read_bytes()
    if data[:8] != b"\x89PNG\r\n\x1a\n":
        raise ValueError(f"{path} is no PNG file")
    at = 8
    idat = bytearray()
    palette = None
    while at < len(data):
        length, kind = struct.unpack_from(">I4s", data, at)
        body = data[at + 8:at + 8 + length]
        at += 12 + length
        if kind == b"IHDR":
            width, height, depth, colour_type, _, _, interlace = struct.unpack(">IIBBBBB", body)
        elif kind == b"PLTE":
            palette = [tuple(body[i:i + 3]) for i in range(0, len(body), 3)]
        elif kind == b"IDAT":
            idat += body
        elif kind == b"IEND":
            break
    if interlace:
        raise ValueError("interlaced PNG files are not read here")
    channels = {0: 1, 2: 3, 3: 1, 4: 2, 6: 4}[colour_type]
    bits_per_pixel = channels * depth
    stride = (width * bits_per_pixel + 7) // 8
    step = max(1, bits_per_pixel // 8)
    raw = zlib.decompress(bytes(idat))
    wanted_rows = min(wanted_rows, height)
    previous = bytearray(stride)
    rows = []
    for y in range(wanted_rows):
        line = raw[y * (stride + 1):(y + 1) * (stride + 1)]
        kind, current = line[0], bytearray(line[1:])
        for i in range(stride):
            left = current[i - step] if i >= step else 0
            up = previous[i]
            if kind == 1:
                current[i] = (current[i] + left) & 0xFF
            elif kind == 2:
                current[i] = (current[i] + up) & 0xFF
            elif kind == 3:
                current[i] = (current[i] + ((left + up) >> 1)) & 0xFF
            elif kind == 4:
                up_left = previous[i - step] if i >= step else 0
                estimate = left + up - up_left
                pa, pb, pc = abs(estimate - left), abs(estimate - up), abs(estimate - up_left)
                nearest = left if pa <= pb and pa <= pc else up if pb <= pc else up_left
                current[i] = (current[i] + nearest) & 0xFF
        rows.append(_pixels(current, width, depth, colour_type, palette))
        previous = current
    return width, height, rows


def _pixels(line, width, depth, colour_type, palette):
    if depth == 16:
        line = line[::2]  # the high byte of each sample
        depth = 8
    if colour_type in (2, 6):
        channels = 3 if colour_type == 2 else 4
        return [tuple(line[x * channels:x * channels + 3]) for x in range(width)]
    samples = []
    per_byte = 8 // depth
    for x in range(width):
        byte = line[x // per_byte]
        shift = 8 - depth * (x % per_byte + 1)
        samples.append((byte >> shift) & ((1 << depth) - 1))
    if colour_type == 3:
        return [palette[s] for s in samples]
    scale = 255 // ((1 << depth) - 1)
    return [(s * scale,) * 3 for s in samples]


def wait_for_screen(session, name, rows, predicate, timeout=5.0):
    """Takes screenshots until one shows what the predicate looks for; the last one taken stays
    in the artefacts folder as <name>.png. Returns that Screen and the predicate's result."""
    deadline = time.monotonic() + timeout
    while True:
        screen = Screen(session.screenshot(name), rows)
        result = predicate(screen)
        if result or time.monotonic() > deadline:
            return screen, result
        time.sleep(0.2)


# -------------------------------------------------------------------------------------------------
# Windows of the desktop


def wait_for_window(session, title, timeout=10.0):
    """The id of a visible window with exactly this title, once there is one; None after the
    timeout."""
    deadline = time.monotonic() + timeout
    while True:
        found = session.x("xdotool", "search", "--onlyvisible", "--name",
                          "^" + re.escape(title) + "$").stdout.split()
        if found or time.monotonic() > deadline:
            return int(found[0]) if found else None
        time.sleep(0.1)


def visible_windows(session):
    return set(session.x("xdotool", "search", "--onlyvisible", "--name", ".*").stdout.split())


def choose_last_menu_item(session, run, icon, chosen, attempts=3):
    """Opens the icon's popup menu with the right button and chooses its last item from the
    keyboard, as a user would, until chosen() says it was; a menu that missed the keys (a tip
    window may show first) is closed with Escape and opened again."""
    for attempt in range(attempts):
        before = visible_windows(session)
        session.click_icon(icon, button=3)
        run.wait_until(lambda: visible_windows(session) - before, 10, "the popup menu")
        # From no selection, Up selects the last item.
        session.x("xdotool", "key", "Up", "Return", check=True)
        deadline = time.monotonic() + 3
        while time.monotonic() < deadline:
            if chosen():
                return
            time.sleep(0.1)
        if attempt + 1 < attempts:
            session.x("xdotool", "key", "Escape")
    raise AssertionError(f"the menu's last item was not chosen in {attempts} attempts")


def press_return_until(session, run, window, predicate, timeout=10.0):
    """Presses Return in a window of the program until the predicate holds; a window still
    waiting after a Return is clicked into first (Wine may not have made it active)."""
    pressed = []

    def answered():
        if predicate():
            return True
        now = time.monotonic()
        if not pressed or now - pressed[-1] >= 1.0:
            if pressed:
                session.x("xdotool", "mousemove", "--window", window, 12, 30, "click", 1)
            session.x("xdotool", "windowfocus", window, "key", "Return")
            pressed.append(now)
        return False
    run.wait_until(answered, timeout, f"window {window} to take Return")
