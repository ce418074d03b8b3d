"""The desktop as the user sees it, through xdotool and xwininfo: Perchlet's windows (popup
menus, the exit question), the shell's tooltips, the pointer and the keyboard."""

import re
import time
from dataclasses import dataclass

import testtools
import texts
from pictures import Rect, Screen
from waits import first_true, wait_until

# -------------------------------------------------------------------------------------------------
# Windows


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


def wait_for_window(session, title, timeout=10.0):
    """The id of a visible window with exactly this title, once there is one."""
    return wait_until(lambda: session.windows_titled(title), timeout, f"a window {title!r}")[0]


def popup_menus(session):
    """Perchlet's visible popup menus, as Windows has them. The X server's view of a menu
    window (its mapping, name and class hints) is not the same on every machine: a menu opened
    on the icon whose menu chose "Exit Perchlet..." went unseen there."""
    return testtools.probe_menus(session)


def exit_dialogs(session):
    return session.windows_titled(texts.EXIT_TITLE)


def tooltip_windows(session, icons):
    """The shell's viewable tooltip windows: its top-level windows that are not docked icons."""
    docked = set()
    for icon in icons:
        docked.update(re.findall(r"^\s+(0x[0-9a-f]+) ",
                                 session.x("xwininfo", "-children", "-id", icon.window).stdout,
                                 re.M))
    return [rect for window, rect in visible_windows(session, "explorer.exe")
            if hex(window) not in docked]


def park_pointer(session):
    """Moves the pointer to an empty part of the screen, away from the tray and its menus."""
    session.x("xdotool", "mousemove", 400, 700, check=True)


def press_return_until(session, run, window, predicate, timeout=10.0):
    """Presses Return in a window of the program until the predicate holds (see
    Session.press_return)."""
    pressed = {}

    def answered():
        if predicate():
            return True
        session.press_return(window, pressed)
        return False
    run.wait_until(answered, timeout, f"window {window} to take Return")


# -------------------------------------------------------------------------------------------------
# The popup menu

MENU_ITEMS = (texts.LAUNCH_ITEM, texts.CANCEL_ITEM, texts.EXIT_ITEM)


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
    bands = dict(zip(MENU_ITEMS, ((menu.y, top1), (end1 + 1, top2), (end2 + 1, menu.bottom))))
    centers = {}
    greyed = {}
    for caption, (top, bottom) in bands.items():
        centers[caption] = (menu.x + menu.width // 2, (top + bottom) // 2)
        band = Rect(inner.x, top + 1, inner.width, max(bottom - top - 2, 1))
        # Enabled text is drawn (nearly) black, greyed text in a mid grey.
        greyed[caption] = _darkest(screen, band) > 90
    return MenuItems(menu, *(centers[caption] for caption in MENU_ITEMS), greyed)


def open_menu(session, icon, name="menu"):
    """Right-clicks an icon and waits for its popup menu; returns its items and the picture."""
    session.click_icon(icon, button=3)
    menus = first_true(lambda: popup_menus(session), 5)
    if len(menus) != 1:
        raise AssertionError(f"one popup menu expected after a right click, found {menus}")
    # The menu is drawn just after it is mapped: take the picture once its text is there.
    seen = {}

    def look():
        seen["screen"] = Screen.capture(session, name)
        try:
            return read_menu(seen["screen"], menus[0])
        except AssertionError:
            return None
    items = first_true(look, 5.0)
    # Still unreadable: read once more for the reason.
    return items or read_menu(seen["screen"], menus[0]), seen["screen"]


def choose(session, point):
    session.click(*point)


def wait_menu_closed(session, timeout=5):
    """Waits until no popup menu shows. Wine lets go of the menu's pointer grab a moment after
    its window goes; a click before that is lost, so the wait lasts a little longer."""
    closed = first_true(lambda: not popup_menus(session), timeout)
    if closed:
        time.sleep(0.5)
    return closed


def choose_last_menu_item(session, run, icon, chosen, attempts=3, timeout=3.0):
    """Opens the icon's popup menu with the right button and chooses its last item from the
    keyboard, as a user would, until chosen() says it was (within `timeout` seconds); a menu
    that missed the keys (a tip window may show first) is closed with Escape and opened again.
    Returns chosen()'s value."""
    for attempt in range(attempts):
        session.click_icon(icon, button=3)
        run.wait_until(lambda: popup_menus(session), 10, "the popup menu")
        # From no selection, Up selects the last item.
        session.x("xdotool", "key", "Up", "Return", check=True)
        value = first_true(chosen, timeout)
        if value:
            return value
        if attempt + 1 < attempts:
            session.x("xdotool", "key", "Escape")
    raise AssertionError(f"the menu's last item was not chosen in {attempts} attempts")
