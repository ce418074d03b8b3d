"""Pictures of the screen: screenshots read as RGB pixels, and what the tray's icons show in them
(drawn or not yet, crossed during the exit question or not, a given picture at some place)."""

import shutil
import struct
import subprocess
from pathlib import Path
from typing import NamedTuple

from waits import first_true

CROSS_RED = (223, 0, 41)  # the main red of the crossed picture


class Rect(NamedTuple):
    x: int
    y: int
    width: int
    height: int

    @property
    def center(self):
        return self.x + self.width // 2, self.y + self.height // 2

    @property
    def right(self):
        return self.x + self.width

    @property
    def bottom(self):
        return self.y + self.height


class Screen:
    """One screenshot, kept as a PNG among the artefacts and read as RGB pixels."""

    def __init__(self, path):
        self.path = Path(path)
        header = self.path.read_bytes()[:24]
        self.width, self.height = struct.unpack(">II", header[16:24])
        self.rgb = subprocess.run(["stream", "-map", "rgb", "-storage-type", "char",
                                   str(self.path), "-"], capture_output=True, check=True,
                                  timeout=30).stdout
        if len(self.rgb) != self.width * self.height * 3:
            raise RuntimeError(f"{self.path}: {len(self.rgb)} bytes of pixels")

    # Screenshots go to <artefacts>/<folder>/, numbered in the order they were taken.
    folder = "screens"
    _taken = 0

    @classmethod
    def use_folder(cls, session, folder):
        """Starts a fresh folder of screenshots (a test run again replaces its own)."""
        shutil.rmtree(session.artefacts / folder, ignore_errors=True)
        cls.folder = folder
        cls._taken = 0

    @classmethod
    def capture(cls, session, name):
        cls._taken += 1
        return cls(session.screenshot(f"{cls.folder}/{cls._taken:03d}-{name}"))

    def pixel(self, x, y):
        at = (y * self.width + x) * 3
        return tuple(self.rgb[at:at + 3])

    def pixels(self, rect):
        for y in range(max(rect.y, 0), min(rect.bottom, self.height)):
            for x in range(max(rect.x, 0), min(rect.right, self.width)):
                yield x, y, self.pixel(x, y)

    def crop(self, rect):
        """The pixels of a rectangle as bytes: equal crops show the same picture."""
        rows = []
        for y in range(rect.y, rect.bottom):
            at = (y * self.width + rect.x) * 3
            rows.append(self.rgb[at:at + rect.width * 3])
        return b"".join(rows)

    def count(self, rect, predicate):
        return sum(1 for _, _, rgb in self.pixels(rect) if predicate(rgb))

    def find(self, rect, picture):
        """Where in rect the picture's opaque pixels ((r, g, b) tuples; anything else is not
        compared) show exactly: (x, y), or None."""
        size_y, size_x = len(picture), len(picture[0])
        for y in range(rect.y, rect.bottom - size_y + 1):
            for x in range(rect.x, rect.right - size_x + 1):
                if all(not isinstance(colour, tuple) or self.pixel(x + dx, y + dy) == colour
                       for dy, row in enumerate(picture) for dx, colour in enumerate(row)):
                    return x, y
        return None


def wait_for_steady(session, name, rects, timeout, ready=None):
    """Takes screenshots until two in a row show the same in every rect (and ready(screen)
    holds, when given): a window or an icon is painted a moment after it shows. Returns the last
    screenshot and whether it was steady."""
    last = {"screen": None, "crops": None}

    def look():
        screen = Screen.capture(session, name)
        crops = [screen.crop(rect) for rect in rects]
        steady = crops == last["crops"] and (ready is None or ready(screen))
        last.update(screen=screen, crops=crops)
        return steady
    steady = first_true(look, timeout)
    return last["screen"], steady


def wait_for_screen(session, name, predicate, timeout=5.0, poll=0.2):
    """Takes screenshots until the predicate finds what it looks for in one; returns that
    screenshot and the predicate's result, or the last ones when the time is up."""
    seen = {}

    def look():
        seen["screen"] = Screen.capture(session, name)
        seen["result"] = predicate(seen["screen"])
        return seen["result"]
    first_true(look, timeout, poll)
    return seen["screen"], seen["result"]


# -- the tray's icons ----------------------------------------------------------------------------


def is_cross_red(rgb):
    # The cross's red and its darker rim; icons of the shell hold no such saturated red.
    r, g, b = rgb
    return r >= 120 and g <= 50 and b <= 80 and r >= 2 * b


def same_picture(first, second, tolerance=40):
    """Crops that show the same picture. Wine's tray draws an icon over the one before it, so
    the half-transparent pixels at its edges may differ a little after a change."""
    return len(first) == len(second) and all(abs(a - b) <= tolerance
                                             for a, b in zip(first, second))


def drawn(screen, icon, least=20):
    """Whether an icon shows a picture: the shell docks its window first and draws it after."""
    background = screen.pixel(icon.x, icon.y)
    return screen.count(icon.rect, lambda rgb: rgb != background) >= least


def wait_for_drawn_icons(session, icons, timeout=10, name="drawn"):
    """Waits until every icon shows its picture, the same in two screenshots in a row;
    returns the last screenshot, or None when the time is up."""
    screen, steady = wait_for_steady(session, name, [icon.rect for icon in icons], timeout,
                                     lambda screen: all(drawn(screen, icon) for icon in icons))
    return screen if steady else None


def crossed(screen, icons, least=8):
    """For each icon whether it shows the crossed picture."""
    return [screen.count(icon.rect, is_cross_red) >= least for icon in icons]
