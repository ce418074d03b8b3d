#!/usr/bin/env python3
"""Runs Perchlet.exe under Wine for the end-to-end tests.

As a command:
    harness.py start    fresh Wine prefix, Xvfb on a free display, trayer on it, wineboot
    harness.py stop     ends everything `start` began and removes its temporary folders
    harness.py status   prints the recorded session

The session is recorded in $PERCHLET_STATE/state.json; test files find it there. A test file run
on its own (no recorded session) starts a private session and stops it when it exits.
PERCHLET_ARCH (x64 or x86) names the build under test: its folder (build/windows-<arch>, or
$PERCHLET_BUILD), its prefix (64-bit or 32-bit) and its session (build/native/wine-session-<arch>).

As a library (see WineTestCase for the usual entry point):
    session = Session.current()
    with session.perchlet("/BATCH:cmds.txt", files={"cmds.txt": batch_text(lines)}) as run:
        run.wait_for_exit()
        run.messages()      # trace log messages, time stamps and indent stripped
        run.boxes()         # every message box text shown so far

Every process the harness starts is ended by its own process id; Wine's own background processes
end with `wineserver -k` for the session's prefix.
"""

import atexit
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import unittest
from dataclasses import dataclass
from pathlib import Path

from pictures import Rect
from texts import APP_TITLE
from waits import first_true, wait_until

REPO = Path(__file__).resolve().parents[2]
# Files written before the program held UTF-8 are in the ANSI code page; Wine's default locale
# uses 1252.
ANSI = "cp1252"
UTF8_BOM = b"\xef\xbb\xbf"
# Exit codes of launch_exact.exe besides the program's own.
LAUNCH_BAD_REQUEST = 0xE0000001
LAUNCH_NOT_STARTED = 0xE0000002
LAUNCH_TIMED_OUT = 0xE0000003


def _log(text):
    print(f"[harness] {text}", file=sys.stderr, flush=True)


def build_dir():
    return Path(os.environ.get("PERCHLET_BUILD", REPO / "build" / f"windows-{build_arch()}"))


def state_dir():
    return Path(os.environ.get("PERCHLET_STATE",
                               REPO / "build" / "native" / f"wine-session-{build_arch()}"))


def artefacts_dir():
    """Where a session keeps what its runs left (screenshots, logs): one folder per build."""
    return state_dir().parent / f"wine-artefacts-{build_arch()}"


def build_arch():
    """"x86" for a 32-bit build (its prefix is a 32-bit one, as 32-bit Windows), else "x64"."""
    return os.environ.get("PERCHLET_ARCH", "x64")


def wine_loader():
    """The loader that starts the build's programs in its prefix. With wine32 installed, the plain
    `wine` command is the 32-bit loader: in a 64-bit prefix it would run the 32-bit reg.exe and
    cmd.exe, which see the 32-bit registry view, so the x64 prefix uses wine64's own loader."""
    if build_arch() == "x86":
        return "/usr/lib/wine/wine"
    listed = subprocess.run(["dpkg", "-L", "wine64"], capture_output=True, text=True).stdout
    for line in listed.splitlines():
        if line.endswith("/wine64") and os.access(line, os.X_OK):
            return line
    return shutil.which("wine64") or "wine"


# ---------------------------------------------------------------------------------------------
# Processes


def _pid_alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            # A zombie has ended already; only its parent has not collected it yet.
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except (OSError, IndexError):
        return False


def _argv(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().split(b"\0")
    except OSError:
        return []


def _environ(pid):
    try:
        entries = Path(f"/proc/{pid}/environ").read_bytes().split(b"\0")
    except OSError:
        return {}
    result = {}
    for entry in entries:
        name, _, value = entry.partition(b"=")
        result[name.decode(errors="replace")] = value.decode(errors="replace")
    return result


def _start_time(pid):
    """When the process started (clock ticks since boot): with the id, it names one process."""
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return int(stat.read().rsplit(")", 1)[1].split()[19])
    except (OSError, IndexError, ValueError):
        return None


def _kill_pid(pid, started=None, grace=3.0):
    """Ends one process by id: TERM, then KILL. With `started` given, a process that started at
    another time is left alone: the id was reused by someone else."""
    if not _pid_alive(pid):
        return
    if started is not None and _start_time(pid) != started:
        return

    def ended():
        try:
            # Collects it when it is our own child; otherwise init does.
            os.waitpid(pid, os.WNOHANG)
        except ChildProcessError:
            pass
        return not _pid_alive(pid)

    for sig in (signal.SIGTERM, signal.SIGKILL):
        try:
            os.kill(pid, sig)
        except ProcessLookupError:
            return
        if first_true(ended, grace, poll=0.05):
            return


def _spawn(argv, env, out_path, cwd=None):
    """Starts a background process whose output goes to a file: Wine's helpers inherit the
    handles of whoever starts them, and a pipe would keep the test runner waiting for them."""
    with open(out_path, "ab") as out:
        return subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=out,
                                cwd=cwd, start_new_session=True)


# ---------------------------------------------------------------------------------------------
# Paths


def _resolve_case_insensitive(base, parts):
    """Wine matches file names without regard to case; so does this look-up."""
    path = Path(base)
    for part in parts:
        candidate = path / part
        if not candidate.exists() and path.is_dir():
            for entry in path.iterdir():
                if entry.name.lower() == part.lower():
                    candidate = entry
                    break
        path = candidate
    return path


# ---------------------------------------------------------------------------------------------
# Message box texts


_MSGBOX_TRACE = re.compile(r'^(?:[0-9.]+:)?[0-9a-f]+:trace:msgbox:MSGBOX_OnInit (L".*)$')


def decode_wine_string(text):
    """Decodes Wine's debug form of a wide string (L"..." with C-like escapes and \\XXXX for
    code units outside printable ASCII). Returns (text, truncated): Wine cuts long strings and
    marks them with a trailing '...' after the closing quote."""
    assert text.startswith('L"'), text
    out = []
    i = 2
    while i < len(text):
        c = text[i]
        if c == '"':
            return "".join(out), text[i + 1:].startswith("...")
        if c == "\\" and i + 1 < len(text):
            nxt = text[i + 1]
            simple = {"n": "\n", "r": "\r", "t": "\t", '"': '"', "\\": "\\"}
            if nxt in simple:
                out.append(simple[nxt])
                i += 2
                continue
            hex_digits = text[i + 1:i + 5]
            if re.fullmatch(r"[0-9a-fA-F]{4}", hex_digits):
                out.append(chr(int(hex_digits, 16)))
                i += 5
                continue
        out.append(c)
        i += 1
    return "".join(out), True


@dataclass
class Box:
    text: str
    truncated: bool  # Wine's trace cut the text; `text` is its beginning only

    def matches(self, text):
        """Whether the box shows that text, as far as Wine's trace tells."""
        return self.text == text if not self.truncated else text.startswith(self.text)


def boxes_in_trace(path):
    result = []
    try:
        content = Path(path).read_text(encoding="utf-8", errors="replace")
    except OSError:
        return result
    for line in content.splitlines():
        match = _MSGBOX_TRACE.match(line)
        if match:
            result.append(Box(*decode_wine_string(match.group(1))))
    return result


# ---------------------------------------------------------------------------------------------
# Trace log lines


_STAMP = re.compile(r"^(\d\d)(\D)(\d\d)\2(\d{4}) (\d\d)(\D)(\d\d)\6(\d\d)$")


@dataclass
class LogLine:
    raw: str
    stamp: str  # "dd/mm/yyyy hh:mm:ss" with the locale's separators; "" when the line has none
    flush: bool  # written without the three-blank indent
    message: str

    @staticmethod
    def parse(raw):
        stamp = raw[:19]
        if len(raw) < 20 or not _STAMP.match(stamp) or raw[19] != " ":
            return LogLine(raw, "", True, raw)
        rest = raw[20:]
        if rest.startswith("   "):
            return LogLine(raw, stamp, False, rest[3:])
        return LogLine(raw, stamp, True, rest)


def decode_log(data, ansi=None):
    """A trace log's text: UTF-8 after the mark it starts with, else the ANSI code page of an
    older log. The mark is never anywhere else."""
    if data.startswith(UTF8_BOM):
        assert UTF8_BOM not in data[len(UTF8_BOM):], "a second UTF-8 mark in the log"
        return data[len(UTF8_BOM):].decode("utf-8", errors="replace")
    assert UTF8_BOM not in data, "a UTF-8 mark inside the log"
    return data.decode(ansi or ANSI, errors="replace")


def read_log(path):
    """The whole lines of a trace log (decoded as decode_log does, ended by CR LF)."""
    try:
        data = Path(path).read_bytes()
    except OSError:  # none yet, or something else in its place (a fault test's folder)
        return []
    text = decode_log(data)
    # The last piece is a line still being written (or nothing): a line is whole at its CR LF.
    lines = text.split("\r\n")[:-1]
    return [LogLine.parse(line) for line in lines]


def batch_text(lines):
    """A batch command file as Windows editors write it: CR LF after every line."""
    return "".join(line + "\r\n" for line in lines)


# ---------------------------------------------------------------------------------------------
# The session


@dataclass
class TrayIcon:
    window: int  # the embedding window trayer made for the icon
    x: int  # position on the screen
    y: int
    width: int
    height: int

    @property
    def rect(self):
        return Rect(self.x, self.y, self.width, self.height)

    @property
    def center(self):
        return self.rect.center


class Session:
    _current = None

    def __init__(self, state):
        self.state = state
        self.prefix = Path(state["prefix"])
        self.display = state["display"]
        self.artefacts = Path(state["artefacts"])
        self.windows_env = state.get("windows_env", {})

    # -- environment -------------------------------------------------------------------------

    def env(self, **extra):
        """The Unix environment for a Wine command of this session."""
        env = dict(os.environ)
        loader = wine_loader()
        env.update(WINEPREFIX=str(self.prefix), DISPLAY=self.display, WINEDEBUG="-all",
                   WINEARCH="win32" if build_arch() == "x86" else "win64", WINELOADER=loader,
                   # No installer dialogs for Mono and Gecko in a fresh prefix.
                   WINEDLLOVERRIDES="mscoree,mshtml=")
        env.update(extra)
        return env

    @property
    def drive_c(self):
        return self.prefix / "drive_c"

    def unix_path(self, windows_path):
        """Where a Windows path of this prefix lies on the Unix side (drives C: and Z:)."""
        drive, _, rest = windows_path.partition(":")
        parts = [p for p in rest.split("\\") if p]
        if drive.upper() == "C":
            return _resolve_case_insensitive(self.drive_c, parts)
        if drive.upper() == "Z":
            return Path("/", *parts)
        raise ValueError(f"no Unix mapping for {windows_path!r}")

    def windows_path(self, unix_path):
        path = Path(unix_path).resolve()
        try:
            rel = path.relative_to(self.drive_c.resolve())
            return "C:\\" + "\\".join(rel.parts)
        except ValueError:
            return "Z:" + str(path).replace("/", "\\")

    def wine(self, *args, timeout=60, debug="-all", out=None):
        """Runs one Wine command to its end; its output goes to a file (see _spawn)."""
        out = out or self.artefacts / "wine-commands.log"
        proc = _spawn([wine_loader(), *map(str, args)], self.env(WINEDEBUG=debug), out)
        try:
            return proc.wait(timeout=timeout)
        finally:
            _kill_pid(proc.pid)

    # -- runs of Perchlet ---------------------------------------------------------------------

    def perchlet(self, args="", **kwargs):
        """Prepares a run of Perchlet.exe (see PerchletRun) and starts it."""
        run = PerchletRun(self, args, **kwargs)
        run.start()
        return run

    # -- the desktop ----------------------------------------------------------------------------

    def x(self, *args, timeout=10, check=False):
        result = subprocess.run(list(map(str, args)), env=self.env(), capture_output=True,
                                text=True, timeout=timeout)
        if check and result.returncode != 0:
            raise RuntimeError(f"{args[0]} failed: {result.stderr.strip()}")
        return result

    def windows_titled(self, title):
        """The ids of the visible windows with exactly this title."""
        result = self.x("xdotool", "search", "--onlyvisible", "--name",
                        "^" + re.escape(title) + "$")
        return [int(w) for w in result.stdout.split()]

    def message_box_windows(self):
        return self.windows_titled(APP_TITLE)

    def press_return(self, window, pressed):
        """Presses Return in a window of the program. `pressed` maps window ids to the time
        they were last pressed: a window is pressed again only after 1 s, and then clicked
        first. Returns whether it was pressed now."""
        now = time.monotonic()
        last = pressed.get(window)
        if last is not None and now - last < 1.0:
            return False
        pressed[window] = now
        if last is not None:
            # Still open after a Return: Wine had not made it the active window (a tray icon
            # docking meanwhile can take the focus), and a click into it does.
            self.x("xdotool", "mousemove", "--window", window, 12, 30, "click", 1)
        self.x("xdotool", "windowfocus", window, "key", "Return")
        return True

    def answer_message_boxes(self, already=None):
        """Presses Return in every visible message box of the program; `already` keeps the
        times of earlier presses across calls (see press_return)."""
        pressed = {} if already is None else already
        return sum(self.press_return(window, pressed) for window in self.message_box_windows())

    def panels(self):
        """The windows of trayer's panel (one, once trayer is up)."""
        return self.x("xdotool", "search", "--name", "^panel$").stdout.split()

    def tray_icons(self):
        """The icons docked in trayer's panel, left to right, with screen positions."""
        icons = []
        for panel in self.panels():
            tree = self.x("xwininfo", "-children", "-id", panel).stdout
            for line in tree.splitlines():
                match = re.match(
                    r"\s+(0x[0-9a-f]+) .*?(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)", line)
                if not match:
                    continue
                window, width, height, x, y = match.groups()
                # trayer keeps a 1x1 helper window of its own among the icons.
                if int(width) > 1 and int(height) > 1:
                    icons.append(TrayIcon(int(window, 16), int(x), int(y), int(width), int(height)))
        return sorted(icons, key=lambda icon: (icon.y, icon.x))

    def new_tray_icons(self, besides):
        """The docked icons that are not among `besides` (icons seen before, e.g. of an earlier
        run that is still going away)."""
        old = {icon.window for icon in besides}
        return [icon for icon in self.tray_icons() if icon.window not in old]

    def wait_for_tray_icons(self, count, timeout=15.0, besides=()):
        """Waits until `count` icons are docked that are not among `besides`; returns those
        icons, or what there is when the time is up."""
        seen = []

        def docked():
            seen[:] = self.new_tray_icons(besides)
            return len(seen) == count
        first_true(docked, timeout, poll=0.2)
        return seen

    def repaint_tray(self):
        """Hides trayer's panel and shows it again, so that the X server clears every docked
        icon to the panel's background and Wine paints it anew. An icon docked just before
        trayer moved it can keep, where it is transparent, what Wine painted at its first
        place, until something covers it."""
        for panel in self.panels():
            self.x("xdotool", "windowunmap", "--sync", panel, check=True)
            self.x("xdotool", "windowmap", "--sync", panel, check=True)

    def click(self, x, y, button=1, double=False):
        """Real pointer input: events sent to a window directly are ignored by Wine."""
        clicks = ["--repeat", "2", "--delay", "80"] if double else []
        self.x("xdotool", "mousemove", x, y, "click", *clicks, button, check=True)

    def click_icon(self, icon, button=1, double=False):
        self.click(*icon.center, button=button, double=double)

    def screenshot(self, name):
        """Saves the whole screen as <artefacts>/<name>.png and returns the path."""
        path = self.artefacts / f"{name}.png"
        path.parent.mkdir(parents=True, exist_ok=True)
        self.x("import", "-window", "root", path, timeout=30, check=True)
        return path

    # -- the recorded session -----------------------------------------------------------------

    def alive(self):
        return all(_pid_alive(pid) and _start_time(pid) == self.state["started"][name]
                   for name, pid in self.state["pids"].items())

    @classmethod
    def current(cls):
        """The session recorded by `harness.py start`; without one, a private session that ends
        when this Python process does."""
        if cls._current is None:
            session = load_session()
            if session is None or not session.alive():
                _log("no running session recorded: starting a private one")
                private = Path(tempfile.mkdtemp(prefix="perchlet-state-"))
                session = start_session(private, artefacts=artefacts_dir())
                atexit.register(stop_session, private, remove_state=True)
            cls._current = session
        return cls._current


def load_session(directory=None):
    path = Path(directory or state_dir()) / "state.json"
    if not path.exists():
        return None
    return Session(json.loads(path.read_text()))


def _free_display():
    for number in range(140, 240):
        if (not Path(f"/tmp/.X{number}-lock").exists()
                and not Path(f"/tmp/.X11-unix/X{number}").exists()):
            yield number


def _start_xvfb(logs, env):
    for number in _free_display():
        proc = _spawn(["Xvfb", f":{number}", "-screen", "0", "1280x1024x24", "-nolisten", "tcp"],
                      env, logs / "xvfb.log")
        socket = Path(f"/tmp/.X11-unix/X{number}")
        first_true(lambda: socket.exists() or proc.poll() is not None, 10, poll=0.05)
        if proc.poll() is None and socket.exists():
            return proc, f":{number}"
        # Another server took this number meanwhile: try the next one.
        _kill_pid(proc.pid)
    raise RuntimeError("no free X display")


def start_session(directory, artefacts=None, tray_width=None, dpi=None):
    """Starts Xvfb, trayer and a persistent wineserver on a fresh prefix, and records them.
    trayer's panel follows its icons, or keeps `tray_width` pixels when that is given. With `dpi`
    every Wine program of the session, the shell that shows the tray icons included, runs at
    that many dots per inch instead of 96."""
    try:
        return _start_session(Path(directory), artefacts, tray_width, dpi)
    except BaseException:
        # Leave nothing half-started behind; the recorded part tells what to end.
        stop_session(directory)
        raise


def _start_session(directory, artefacts, tray_width, dpi):
    keeper_exe = build_dir() / "testtools" / "desktop_keeper.exe"
    if not keeper_exe.exists():
        raise SystemExit(f"{keeper_exe} is missing: build the {build_dir().name} preset first")
    stop_session(directory)  # leftovers of an interrupted run
    directory.mkdir(parents=True, exist_ok=True)
    artefacts = Path(artefacts or directory / "artefacts")
    shutil.rmtree(artefacts, ignore_errors=True)
    artefacts.mkdir(parents=True)
    temp = Path(tempfile.mkdtemp(prefix="perchlet-wine-"))
    prefix = temp / "prefix"
    prefix.mkdir()
    state = {"prefix": str(prefix), "temp": str(temp), "artefacts": str(artefacts), "pids": {},
             "started": {}}
    state_file = directory / "state.json"

    def record(name, proc):
        state["pids"][name] = proc.pid
        state["started"][name] = _start_time(proc.pid)
        state_file.write_text(json.dumps(state, indent=2))

    started = time.monotonic()
    for attempt in range(3):
        xvfb, display = _start_xvfb(artefacts, dict(os.environ))
        state["display"] = display
        record("xvfb", xvfb)
        session = Session(state)
        width = ["--widthtype", "request"] if tray_width is None else \
            ["--widthtype", "pixel", "--width", str(tray_width)]
        trayer = _spawn(["trayer", "--edge", "top", "--align", "right", *width,
                         "--height", "32", "--transparent", "false"], session.env(),
                        artefacts / "trayer.log")
        record("trayer", trayer)
        if first_true(session.panels, 10):
            break
        # Another session may have taken the same display number at the same moment.
        _kill_pid(trayer.pid)
        _kill_pid(xvfb.pid)
        if attempt == 2:
            raise RuntimeError("timed out waiting for trayer's panel")

    # First boot with a server of its own that ends when the prefix has settled: a persistent
    # server here leaves a second set of Wine's services behind, which then stall programs.
    boot_log = artefacts / "wineboot.log"
    boot = _spawn([wine_loader(), "wineboot", "-i"], session.env(), boot_log)
    try:
        boot.wait(timeout=240)
    finally:
        _kill_pid(boot.pid)
    # Unmanaged windows: without a window manager Wine otherwise waits 2 s for one at every
    # window it shows or hides, message boxes included.
    session.wine("reg", "add", r"HKCU\Software\Wine\X11 Driver", "/v", "Managed", "/d", "N", "/f",
                 out=boot_log)
    if dpi is not None:
        # Each Wine process reads it once as it starts; the shell starts with the desktop keeper.
        session.wine("reg", "add", r"HKCU\Control Panel\Desktop", "/v", "LogPixels", "/t",
                     "REG_DWORD", "/d", dpi, "/f", out=boot_log)
    settle = _spawn(["wineserver", "-w"], session.env(), boot_log)
    try:
        settle.wait(timeout=120)
    finally:
        _kill_pid(settle.pid)

    # A persistent server keeps the prefix warm between the tests; `stop` ends it.
    wineserver = _spawn(["wineserver", "-f", "-p"], session.env(), artefacts / "wineserver.log")
    record("wineserver", wineserver)
    keeper_out = artefacts / "desktop-keeper.log"
    keeper = _spawn([wine_loader(), str(keeper_exe)], session.env(), keeper_out)
    record("desktop_keeper", keeper)
    wait_until(lambda: ("ready" in keeper_out.read_text(errors="replace")
                        or keeper.poll() is not None),
               120, "the desktop keeper")
    if keeper.poll() is not None:
        raise RuntimeError(f"desktop_keeper.exe ended: see {keeper_out}")

    # The Windows defaults of the environment (APPDATA, TEMP, windir...) for the tests.
    env_file = temp / "windows-env.txt"
    session.wine("cmd.exe", "/c", f"set > {session.windows_path(env_file)}")
    windows_env = {}
    for line in env_file.read_bytes().decode(ANSI, errors="replace").splitlines():
        name, sep, value = line.partition("=")
        if sep:
            windows_env[name.upper()] = value
    state["windows_env"] = windows_env
    state_file.write_text(json.dumps(state, indent=2))
    _log(f"session ready in {time.monotonic() - started:.1f} s: prefix {prefix}, display {display}")
    return Session(state)


def stop_session(directory, remove_state=True):
    directory = Path(directory)
    state_file = directory / "state.json"
    if not state_file.exists():
        return
    state = json.loads(state_file.read_text())
    pids = state.get("pids", {})
    started = state.get("started", {})
    session = Session(state) if "display" in state else None
    if session is not None and "wineserver" in pids:
        # Ends every Wine process of this prefix, then the server itself.
        subprocess.run(["wineserver", "-k"], env=session.env(), stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        first_true(lambda: not _pid_alive(pids["wineserver"]), 10)
    for name in ("desktop_keeper", "wineserver", "trayer", "xvfb"):
        if name in pids:
            _kill_pid(pids[name], started.get(name))
    if state.get("temp"):
        shutil.rmtree(state["temp"], ignore_errors=True)
    if remove_state:
        state_file.unlink(missing_ok=True)
        if directory.name.startswith("perchlet-state-"):
            shutil.rmtree(directory, ignore_errors=True)


# ---------------------------------------------------------------------------------------------
# One run of Perchlet.exe

_live_runs = []


@atexit.register
def _kill_live_runs():
    for run in list(_live_runs):
        run.kill()


class DEFAULT:
    """Marks an argument left to the harness."""


class PerchletRun:
    """One run of Perchlet.exe, copied into a fresh folder C:\\perchlet-XXXX of the prefix.

    args      the argument text, exactly: the command line is the program's path, one blank and
              args (launch_exact.exe passes it unchanged)
    quoted    write the program's path in double quotes, as shells do for paths with blanks
    cmdline   the whole command line instead, program name included
    env       variables set for the program ({name: value}; None as value removes it)
    files     {path relative to the program's folder: str (written in the ANSI code page),
              bytes, or None for a folder}; the batch file and Perchlet.ini go here
    appdata   the program's APPDATA: by default a fresh folder of the run, so every run has a
              log of its own; a Windows path to share one (two runs appending); None for Wine's
              own value (C:\\users\\<user>\\AppData\\Roaming)
    attributes {path relative to the program's folder: attrib.exe flags, e.g. "+h"}, set after
              the files are written (hidden and system files count as missing to the program)
    cwd       the program's current folder; by default its own folder
    folder_prefix  the start of the run folder's name (C:\\<prefix>XXXX)
    answer    press Return in the program's message boxes whenever a wait sees one
    timeout   launch_exact ends the program after this many seconds even if the test is gone
    debug     further WINEDEBUG channels for the run, e.g. "+debugstr" for the program's
              OutputDebugStringA lines (they go to the run's stderr file)
    wine_env  variables for Wine itself, such as WINEDLLOVERRIDES, which Wine reads only from
              the environment it starts in, not from the one the program inherits
    locale    the Unix locale the run starts in, from which Wine takes its code pages (e.g.
              "ja_JP.UTF-8" for 932); by default the session's
    """

    def __init__(self, session, args="", *, cmdline=None, env=None, files=None, appdata=DEFAULT,
                 attributes=None, answer=True, timeout=120, cwd=None, quoted=False,
                 folder_prefix="perchlet-", debug="", wine_env=None, locale=None):
        self.session = session
        self.folder = Path(tempfile.mkdtemp(prefix=folder_prefix, dir=session.drive_c))
        self.win_folder = session.windows_path(self.folder)
        self.exe = self.win_folder + "\\Perchlet.exe"
        program = f'"{self.exe}"' if quoted else self.exe
        self.cmdline = cmdline if cmdline is not None else program + (" " + args if args else "")
        self.answer = answer
        self.timeout = timeout
        self.debug = debug
        self.wine_env = dict(wine_env or {})
        self.locale = {"LANG": locale, "LC_ALL": locale} if locale else {}
        self.cwd = cwd or self.win_folder
        self.attributes = dict(attributes or {})
        self.env = dict(env or {})
        if appdata is DEFAULT:
            appdata = self.win_folder + "\\AppData"
            session.unix_path(self.win_folder).joinpath("AppData").mkdir(exist_ok=True)
        if appdata is not None:
            self.env.setdefault("APPDATA", appdata)
        self.files = dict(files or {})
        self.proc = None
        self._answered = {}
        self._exit_code = None

    # -- paths ----------------------------------------------------------------------------------

    def _effective_env(self, name):
        if name in self.env:
            return self.env[name] or ""
        return self.session.windows_env.get(name, "")

    @property
    def working_folder(self):
        """The program's working folder as a Windows path: APPDATA\\Perchlet, or TEMP."""
        appdata = self._effective_env("APPDATA")
        return appdata + "\\Perchlet" if appdata else self._effective_env("TEMP")

    @property
    def log_path(self):
        return self.session.unix_path(self.working_folder + "\\Perchlet.log")

    @property
    def stderr_path(self):
        return self.folder / "wine-stderr.txt"

    @property
    def stdout_path(self):
        return self.folder / "wine-stdout.txt"

    def path(self, relative):
        return self.folder / relative

    def holding_path(self, n):
        """The Windows path of the n-th entry's icon holding file."""
        return f"{self.working_folder}\\{n}.ico"

    def holding_file(self, n):
        return self.session.unix_path(self.holding_path(n))

    # -- running --------------------------------------------------------------------------------

    def start(self):
        shutil.copy2(build_dir() / "Perchlet.exe", self.folder / "Perchlet.exe")
        for relative, content in self.files.items():
            target = self.folder / relative
            target.parent.mkdir(parents=True, exist_ok=True)
            if content is None:
                target.mkdir(exist_ok=True)
                continue
            target.write_bytes(content if isinstance(content, bytes) else content.encode(ANSI))
        for relative, flags in self.attributes.items():
            path = self.win_folder + "\\" + relative.replace("/", "\\")
            if self.session.wine("attrib", *flags.split(), path) != 0:
                raise RuntimeError(f"attrib {flags} {path} failed")
        records = [f"cmdline={self.cmdline}", f"timeout={int(self.timeout * 1000)}",
                   f"cwd={self.cwd}"]
        for name, value in self.env.items():
            records.append(f"unset={name}" if value is None else f"env={name}={value}")
        request = self.folder / "launch.req"
        request.write_bytes(b"".join(r.encode("utf-8") + b"\0" for r in records))
        launcher = build_dir() / "testtools" / "launch_exact.exe"
        channels = "fixme-all,+msgbox" + ("," + self.debug if self.debug else "")
        env = self.session.env(WINEDEBUG=channels, **self.locale, **self.wine_env)
        with open(self.stdout_path, "wb") as out, open(self.stderr_path, "wb") as err:
            self.proc = subprocess.Popen([wine_loader(), str(launcher),
                                          self.session.windows_path(request)],
                                         env=env, stdin=subprocess.DEVNULL, stdout=out, stderr=err,
                                         start_new_session=True)
        _live_runs.append(self)
        return self

    def _poll(self):
        if self.answer:
            self.session.answer_message_boxes(self._answered)

    def wait_until(self, predicate, timeout=20.0, what="condition", poll=0.1):
        """waits.wait_until, answering the program's message boxes meanwhile; a timeout tells
        the end of the log and the boxes."""
        return wait_until(predicate, timeout, what, poll, meanwhile=self._poll,
                          context=self.summary)

    def summary(self):
        """The last trace messages and the boxes shown, for a failure's message."""
        return f"log: {self.messages()[-40:]!r}; boxes: {self.box_texts()!r}"

    def running(self):
        return self.proc is not None and self.proc.poll() is None

    def wait_for_exit(self, timeout=20.0):
        """Waits for the program to end by itself; returns its exit code."""
        self.wait_until(lambda: not self.running(), timeout, "the program to end")
        return self.exit_code

    def wait_for_log(self, text, timeout=20.0):
        """Waits for a trace message equal to text (or matching it, for a compiled pattern)."""
        def found():
            for line in self.log_lines():
                if (text.search(line.message) if isinstance(text, re.Pattern) else
                        line.message == text):
                    return line
            return None
        return self.wait_until(found, timeout, f"log message {text!r}")

    def wait_for_boxes(self, count, timeout=20.0):
        return self.wait_until(lambda: len(self.boxes()) >= count and self.boxes(), timeout,
                               f"{count} message box(es)")

    @property
    def exit_code(self):
        """The program's exit code (32 bits, as launch_exact reports it); None while it runs."""
        if self._exit_code is None and self.proc is not None and self.proc.poll() is not None:
            self._exit_code = self.proc.returncode
            match = re.search(r"exit code (\d+)", self.stdout_path.read_text(errors="replace"))
            if match:
                self._exit_code = int(match.group(1))
        return self._exit_code

    def windows_pids(self):
        """Unix ids of this prefix's processes started from the run's folder (the program and
        anything it started from there)."""
        folder = self.win_folder.lower() + "\\"
        found = []
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            argv = _argv(int(entry.name))
            if not argv or not argv[0].decode(errors="replace").lower().startswith(folder):
                continue
            if _environ(int(entry.name)).get("WINEPREFIX") == str(self.session.prefix):
                found.append(int(entry.name))
        return found

    def kill(self):
        """Ends the program and its launcher by their process ids."""
        for pid in self.windows_pids():
            _kill_pid(pid, grace=0.5)
        if self.proc is not None:
            try:
                self.proc.wait(timeout=5)
            except subprocess.TimeoutExpired:
                _kill_pid(self.proc.pid)
                self.proc.wait()
        if self in _live_runs:
            _live_runs.remove(self)

    def close(self, keep_as=None):
        """Kills what still runs and copies the run's output into the artefacts folder."""
        self.kill()
        target = self.session.artefacts / "runs" / (keep_as or self.folder.name)
        target.mkdir(parents=True, exist_ok=True)
        for source in (self.stderr_path, self.stdout_path, self.folder / "launch.req",
                       self.log_path):
            if source.is_file():  # a fault test may put a folder where the log belongs
                shutil.copy2(source, target / source.name)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    # -- what the run produced ------------------------------------------------------------------

    def log_lines(self):
        return read_log(self.log_path)

    def messages(self):
        """The trace messages, without time stamp and indent."""
        return [line.message for line in self.log_lines()]

    def boxes(self):
        return boxes_in_trace(self.stderr_path)

    def box_texts(self):
        return [box.text for box in self.boxes()]

    def stderr_text(self):
        """What Wine wrote to the run's stderr: message boxes, debug channels, crash reports."""
        try:
            return self.stderr_path.read_text(errors="replace")
        except FileNotFoundError:
            return ""

    def crash_report(self):
        """Wine's report of an unhandled exception in the run, or None."""
        match = re.search(r"^wine: Unhandled .*$", self.stderr_text(), re.MULTILINE)
        return match.group(0) if match else None


# ---------------------------------------------------------------------------------------------
# unittest support


class WineTestCase(unittest.TestCase):
    """Base of the end-to-end tests: one shared session, and runs that are always ended."""

    session = None

    @classmethod
    def setUpClass(cls):
        missing = [p for p in (build_dir() / "Perchlet.exe",
                               build_dir() / "testtools" / "launch_exact.exe") if not p.exists()]
        if missing:
            raise unittest.SkipTest(f"Windows build missing: {', '.join(map(str, missing))}")
        cls.session = Session.current()

    def start(self, args="", prepare=None, **kwargs):
        """Starts Perchlet; the run is killed and its output kept when the test ends. `prepare`
        gets the run's folder before the program starts."""
        run = PerchletRun(self.session, args, **kwargs)
        if prepare is not None:
            prepare(run.folder)
        run.start()
        self.addCleanup(run.close, self.id().rsplit(".", 2)[-2] + "." + self._testMethodName +
                        "." + run.folder.name)
        return run

    def run_to_exit(self, args="", timeout=20.0, **kwargs):
        """Starts Perchlet, answers its message boxes, and waits until it has ended."""
        run = self.start(args, **kwargs)
        run.wait_for_exit(timeout)
        return run

    def start_with_icons(self, args="", icons=1, last_message=None, wait=30.0, **kwargs):
        """Starts a run that makes tray icons and waits, answering its message boxes, for its
        last expected trace message and for its icons, kept as run.docked in the order they
        docked. Such a run goes on until it is ended, which the test's clean-up does."""
        before = self.session.tray_icons()
        run = self.start(args, **kwargs)
        if last_message is not None:
            run.wait_for_log(last_message)
        run.docked = self.wait_for_docked(run, icons, before, wait)
        return run

    def wait_for_docked(self, run, count, before, timeout=30.0):
        """Waits, answering the run's message boxes, until `count` icons have docked that are
        not among `before`; returns them in the order they docked (trayer makes each icon's
        window as it docks, so their ids follow that order)."""
        def docked():
            icons = self.session.new_tray_icons(before)
            if len(icons) >= count:
                return icons
            if not run.running():
                raise AssertionError(f"the program ended with {len(icons)} of {count} icons: "
                                     f"{run.crash_report()}; {run.summary()}")
            return None
        icons = run.wait_until(docked, timeout, f"{count} tray icon(s)")
        self.assertEqual(len(icons), count, f"tray icons docked; {run.summary()}")
        return sorted(icons, key=lambda icon: icon.window)


# ---------------------------------------------------------------------------------------------


def main(argv):
    command = argv[1] if len(argv) > 1 else ""
    if command == "start":
        start_session(state_dir(), artefacts=artefacts_dir())
        return 0
    if command == "stop":
        stop_session(state_dir())
        return 0
    if command == "status":
        session = load_session()
        if session is None:
            print("no session recorded")
            return 1
        print(json.dumps(session.state, indent=2))
        print("alive" if session.alive() else "not running")
        return 0 if session.alive() else 1
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
