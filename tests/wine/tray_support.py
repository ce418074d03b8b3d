"""Helpers of the tray tests: pictures of the screen, the popup menu, tooltips, the exit dialog
and the probe tool that looks at Perchlet's windows from outside."""

import re
import shutil
import struct
import subprocess
import time
from dataclasses import dataclass
from pathlib import Path

import harness

EXIT_TITLE = "Exit Perchlet?"
# The red of the cross laid over every icon while the exit question is open.
from trace_texts import CROSS_RED  # noqa: E402,F401


def _tool(name):
    return harness.build_dir() / "testtools" / name


# ---------------------------------------------------------------------------------------------
# Pictures of the screen


@dataclass(frozen=True)
class Rect:
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


def icon_rect(icon):
    return Rect(icon.x, icon.y, icon.width, icon.height)


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
    folder = "tray"
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
    rect = icon_rect(icon)
    background = screen.pixel(rect.x, rect.y)
    return screen.count(rect, lambda rgb: rgb != background) >= least


def wait_for_drawn_icons(session, icons, timeout=10, name="drawn"):
    """Waits until every icon shows its picture, the same in two screenshots in a row;
    returns the last screenshot, or None when the time is up."""
    previous = None

    def look():
        nonlocal previous
        screen = Screen.capture(session, name)
        crops = [screen.crop(icon_rect(icon)) for icon in icons]
        steady = crops == previous and all(drawn(screen, icon) for icon in icons)
        previous = crops
        return screen if steady else None
    return poll(look, timeout, interval=0.1)


def crossed(screen, icons, least=8):
    """For each icon whether it shows the crossed picture."""
    return [screen.count(icon_rect(icon), is_cross_red) >= least for icon in icons]


# ---------------------------------------------------------------------------------------------
# X windows


def window_rect(session, window):
    info = session.x("xwininfo", "-id", window).stdout
    values = {}
    for key in ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height",
                "Map State"):
        match = re.search(rf"^\s*{key}:\s*(\S+)", info, re.M)
        values[key] = match.group(1) if match else ""
    if values["Map State"] != "IsViewable" or not values["Width"]:
        return None
    return Rect(int(values["Absolute upper-left X"]), int(values["Absolute upper-left Y"]),
                int(values["Width"]), int(values["Height"]))


def visible_windows(session, klass):
    """Viewable top-level windows of a program (by its X class), larger than Wine's 1x1
    stand-ins, with their rectangles."""
    found = session.x("xdotool", "search", "--onlyvisible", "--class", f"^{re.escape(klass)}$")
    result = []
    for window in found.stdout.split():
        rect = window_rect(session, window)
        if rect is not None and rect.width > 1 and rect.height > 1:
            result.append((int(window), rect))
    return result


def popup_menus(session):
    """Perchlet's viewable popup menus: its only windows that are ever shown besides the exit
    dialog and message boxes, which have titles."""
    menus = []
    for window, rect in visible_windows(session, "perchlet.exe"):
        if not session.x("xdotool", "getwindowname", window).stdout.strip():
            menus.append(rect)
    return menus


def exit_dialogs(session):
    found = session.x("xdotool", "search", "--onlyvisible", "--name",
                      "^" + re.escape(EXIT_TITLE) + "$")
    return [int(window) for window in found.stdout.split()]


def tooltip_windows(session, icons):
    """The shell's viewable tooltip windows: its top-level windows that are not docked icons."""
    docked = set()
    for icon in icons:
        docked.update(re.findall(r"^\s+(0x[0-9a-f]+) ",
                                 session.x("xwininfo", "-children", "-id", icon.window).stdout,
                                 re.M))
    return [rect for window, rect in visible_windows(session, "explorer.exe")
            if hex(window) not in docked]


def poll(predicate, timeout, interval=0.1):
    """The first true value of predicate within timeout seconds, else the last value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value or time.monotonic() > deadline:
            return value
        time.sleep(interval)


def park_pointer(session):
    """Moves the pointer to an empty part of the screen, away from the tray and its menus."""
    session.x("xdotool", "mousemove", 400, 700, check=True)


# ---------------------------------------------------------------------------------------------
# The popup menu


@dataclass
class MenuItems:
    """Where the popup menu's three choosable items are, and whether each looks enabled."""
    menu: Rect
    launch: tuple
    cancel: tuple
    exit: tuple
    greyed: dict  # caption -> True when its text is drawn in grey


def _darkest(screen, rect):
    return min((sum(rgb) // 3 for _, _, rgb in screen.pixels(rect)), default=255)


def read_menu(screen, menu):
    """Finds the two separator lines of the menu "Launch!", -, "Cancel Menu", -,
    "Exit Perchlet...", and the middle of each item between them."""
    inner = Rect(menu.x + 3, menu.y + 2, menu.width - 6, menu.height - 4)
    background = screen.pixel(inner.center[0], inner.y + 1)
    separators = []
    for y in range(inner.y, inner.bottom):
        row = [screen.pixel(x, y) for x in range(inner.x, inner.right)]
        # A separator is a line across most of the menu; text never fills a row.
        if sum(1 for rgb in row if rgb != background) >= 0.8 * len(row):
            if not separators or y > separators[-1][1] + 1:
                separators.append([y, y])
            else:
                separators[-1][1] = y
    if len(separators) != 2:
        raise AssertionError(f"expected two separators in the menu at {menu}, found "
                             f"{separators}; see {screen.path}")
    (top1, end1), (top2, end2) = separators
    bands = {"Launch!": (menu.y, top1), "Cancel Menu": (end1 + 1, top2),
             "Exit Perchlet...": (end2 + 1, menu.bottom)}
    centers = {}
    greyed = {}
    for caption, (top, bottom) in bands.items():
        centers[caption] = (menu.x + menu.width // 2, (top + bottom) // 2)
        band = Rect(inner.x, top + 1, inner.width, max(bottom - top - 2, 1))
        # Enabled text is drawn (nearly) black, greyed text in a mid grey.
        greyed[caption] = _darkest(screen, band) > 90
    return MenuItems(menu, centers["Launch!"], centers["Cancel Menu"],
                     centers["Exit Perchlet..."], greyed)


def open_menu(session, icon, name="menu"):
    """Right-clicks an icon and waits for its popup menu; returns its items and the picture."""
    session.click_icon(icon, button=3)
    menus = poll(lambda: popup_menus(session), 5)
    if len(menus) != 1:
        raise AssertionError(f"one popup menu expected after a right click, found {menus}")
    # The menu is drawn just after it is mapped: take the picture once its text is there.
    screen = None
    for _ in range(20):
        screen = Screen.capture(session, name)
        try:
            return read_menu(screen, menus[0]), screen
        except AssertionError:
            time.sleep(0.1)
    return read_menu(screen, menus[0]), screen


def choose(session, point):
    session.click(*point)


def wait_menu_closed(session, timeout=5):
    """Waits until no popup menu shows. Wine lets go of the menu's pointer grab a moment after
    its window goes; a click before that is lost, so the wait lasts a little longer."""
    closed = poll(lambda: not popup_menus(session), timeout)
    if closed:
        time.sleep(0.5)
    return closed


# ---------------------------------------------------------------------------------------------
# The probe tool


@dataclass
class ProbedWindow:
    fields: dict
    children: list

    @staticmethod
    def rect_of(fields, key="rect"):
        left, top, right, bottom = map(int, fields[key].split(","))
        return Rect(left, top, right - left, bottom - top)

    def child(self, control_id):
        for child in self.children:
            if int(child["id"]) == control_id:
                return child
        raise KeyError(control_id)


def _unescape(text):
    return re.sub(r"\\(.)", lambda m: {"t": "\t", "r": "\r", "n": "\n"}.get(m.group(1),
                                                                          m.group(1)), text)


def _run_tool(session, name, *args):
    out = session.artefacts / "tray" / f"{name}-{time.monotonic_ns()}.txt"
    out.parent.mkdir(parents=True, exist_ok=True)
    code = session.wine(_tool(name), *args, out=out)
    return code, out.read_text(encoding=harness.ANSI, errors="replace")


def probe_window(session, title):
    """What tray_probe.exe tells of the top-level window with that title; None without one."""
    code, text = _run_tool(session, "tray_probe.exe", "window", title)
    if code != 0:
        return None
    window = None
    children = []
    for line in text.splitlines():
        kind, _, rest = line.partition("\t")
        if kind not in ("window", "child"):
            continue
        fields = {}
        for part in rest.split("\t"):
            key, _, value = part.partition("=")
            fields[key] = _unescape(value)
        if kind == "window":
            window = fields
        else:
            children.append(fields)
    return ProbedWindow(window, children) if window is not None else None


def forget_icons(session, run):
    """Makes the shell forget every icon of the run, as a restarted shell has."""
    return _run_tool(session, "tray_probe.exe", "forget", "frmCommon", run.exe)


def broadcast_taskbar_created(session):
    return _run_tool(session, "taskbar_created.exe")


class FakeTray:
    """fake_tray.exe in front of the real tray: it answers the shell's requests by its plan
    (R refuse, L pass on but report a failure, F pass on; see the tool's header for the log)."""

    def __init__(self, session, plan, name):
        folder = session.artefacts / "tray"
        folder.mkdir(parents=True, exist_ok=True)
        self.log = session.drive_c / f"fake-tray-{name}-{time.monotonic_ns()}.log"
        self.proc = harness._spawn(["wine", str(_tool("fake_tray.exe")),
                                    session.windows_path(self.log), plan or "-", "300"],
                                   session.env(), folder / f"fake-tray-{name}.out")
        records = poll(lambda: self.records(), 30)
        if not records or records[0][0] != "ready" or records[0][1]["first"] != "1":
            self.stop()
            raise RuntimeError(f"fake_tray.exe did not come first among the trays: {records!r}")

    def records(self):
        """The log as (kind, {key: value}) in order."""
        if not self.log.exists():
            return []
        records = []
        for line in self.log.read_text(encoding="ascii", errors="replace").splitlines():
            kind, *fields = line.split("\t")
            records.append((kind, dict(field.partition("=")[::2] for field in fields)))
        return records

    def requests(self, deletions=False):
        return [fields for kind, fields in self.records() if kind == "request" and
                (deletions or fields["message"] != "DELETE")]

    def stop(self):
        harness._kill_pid(self.proc.pid)
        self.proc.wait(timeout=10)
