"""The small Windows programs of tests/win32 that look at Perchlet from outside or stand in its
way: tray_probe.exe, taskbar_created.exe, fake_tray.exe and hold_file.exe."""

import functools
import re
import time
from dataclasses import dataclass

import harness
from pictures import Rect
from waits import first_true


def _tool(name):
    return harness.build_dir() / "testtools" / name


def _run_tool(session, name, *args):
    out = session.artefacts / "tools" / f"{name}-{time.monotonic_ns()}.txt"
    out.parent.mkdir(parents=True, exist_ok=True)
    code = session.wine(_tool(name), *args, out=out)
    return code, out.read_text(encoding=harness.ANSI, errors="replace")


def _start_tool(session, name, args, out):
    out.parent.mkdir(parents=True, exist_ok=True)
    return harness._spawn([harness.wine_loader(), str(_tool(name)), *map(str, args)],
                          session.env(), out)


def end_tool(proc):
    """Ends a tool started in the background (a holder, the fake tray) by its process id."""
    harness._kill_pid(proc.pid)
    proc.wait(timeout=10)


# -------------------------------------------------------------------------------------------------
# tray_probe.exe and taskbar_created.exe


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
    escapes = {"t": "\t", "r": "\r", "n": "\n"}
    return re.sub(r"\\(.)", lambda m: escapes.get(m.group(1), m.group(1)), text)


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


def probe_menus(session, program="Perchlet.exe"):
    """The popup menus the program shows, as the window manager has them: visible top-level
    windows of the menu class, with their rectangles on the screen."""
    code, text = _run_tool(session, "tray_probe.exe", "menus", program)
    if code != 0:
        raise RuntimeError(f"tray_probe.exe menus failed ({code}): {text!r}")
    return [ProbedWindow.rect_of(dict(part.partition("=")[::2] for part in line.split("\t")[1:]))
            for line in text.splitlines() if line.startswith("menu\t")]


def icon_ids(commands):
    """The ids Perchlet gives these commands' icons: FNV-1a of the command as written, plus the
    count of the same command before it, then the next free id."""
    ids = []
    for n, command in enumerate(commands):
        value = functools.reduce(lambda h, b: (h ^ b) * 0x01000193 % 2**32, command.encode(),
                                 0x811C9DC5) + commands[:n].count(command)
        while value % 2**32 in ids + [0]:
            value += 1
        ids.append(value % 2**32)
    return ids


def forget_icons(session, run, ids):
    """Makes the shell forget the run's icons of those ids, as a restarted shell has."""
    return _run_tool(session, "tray_probe.exe", "forget", "frmCommon", run.exe, *map(str, ids))


def broadcast_taskbar_created(session):
    return _run_tool(session, "taskbar_created.exe")


# -------------------------------------------------------------------------------------------------
# fake_tray.exe


class FakeTray:
    """fake_tray.exe in front of the real tray: it answers the shell's requests by its plan
    (R refuse, L pass on but report a failure, F pass on; see the tool's header for the log)."""

    def __init__(self, session, plan, name):
        self.log = session.drive_c / f"fake-tray-{name}-{time.monotonic_ns()}.log"
        self.proc = _start_tool(session, "fake_tray.exe",
                                [session.windows_path(self.log), plan or "-", "300"],
                                session.artefacts / "tools" / f"fake-tray-{name}.out")
        records = first_true(lambda: self.records(), 30)
        if not records or records[0][0] != "ready" or records[0][1]["first"] != "1":
            self.stop()
            raise RuntimeError(f"fake_tray.exe did not come first among the trays: {records!r}")

    def records(self):
        """The log as (kind, {key: value}) in order."""
        if not self.log.exists():
            return []
        records = []
        for line in self.log.read_text(encoding="utf-8", errors="replace").splitlines():
            kind, *fields = line.split("\t")
            records.append((kind, {key: _unescape(value) for key, _, value in
                                   (field.partition("=") for field in fields)}))
        return records

    def requests(self, deletions=False):
        return [fields for kind, fields in self.records() if kind == "request" and
                (deletions or fields["message"] != "DELETE")]

    def stop(self):
        end_tool(self.proc)


# -------------------------------------------------------------------------------------------------
# hold_file.exe


def hold_file(session, windows_path, milliseconds=60000, after=None):
    """Starts hold_file.exe on a file and waits until it holds it; with `after`, a pattern, it
    holds it until such a file exists and then for the milliseconds given. Returns the process;
    end_tool ends it."""
    out = session.artefacts / "tools" / f"hold-{time.monotonic_ns()}.txt"
    holder = _start_tool(session, "hold_file.exe",
                         [windows_path, milliseconds] + ([after] if after else []), out)

    def output():
        return out.read_text(errors="replace")
    first_true(lambda: "holding" in output() or holder.poll() is not None, 30, poll=0.05)
    if "holding" not in output():
        end_tool(holder)
        raise AssertionError(f"hold_file: {output()!r}")
    return holder
