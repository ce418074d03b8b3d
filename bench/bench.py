#!/usr/bin/env python3
"""Measures Perchlet against the floor program and checks the performance targets.

    bench.py [--runs 5] [--short-runs 15] [--idle 30] [--perchlet EXE] [--arch x64,x86]
             [--skip-wine] [--skip-core]

Needs the windows-x64 and windows-x86 builds (Perchlet.exe, bench/floor.exe, testtools/) and the
native core benchmark (build/bench-native/core_bench); scripts/bench.sh builds them and runs this.

For each build, in one warm Wine session with a real tray (the end-to-end tests' harness; the x64
build in a 64-bit prefix, the x86 build in a 32-bit one), runs of Perchlet (A) and of the floor
built alike (B) alternate A B A B, for N = 1, 10 and 30 icons:
  - time to icons: from just before the launch until N icons are docked in trayer's panel;
  - peak memory: VmHWM of the program's process once its icons are up;
  - idle (N = 30 runs): processor time of the process over the idle period that follows, and
    the fade-timer ticks it handled meanwhile (it reports each one to a listening debugger).
Then the sizes and imports of both Perchlet.exe builds, and the core throughput figures.

Prints one markdown table (also written to build/bench/results.md, the raw figures to
results.json) and exits 1 when a target is missed.
"""

import argparse
import contextlib
import ctypes
import ctypes.util
import json
import os
import re
import select
import shutil
import statistics
import subprocess
import sys
import time
from pathlib import Path

REPO = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(REPO / "tests" / "wine"))
import harness  # noqa: E402

OUT = REPO / "build" / "bench"
X64 = REPO / "build" / "windows-x64"
X86 = REPO / "build" / "windows-x86"
BUILDS = {"x64": X64, "x86": X86}
CORE_BENCH = REPO / "build" / "bench-native" / "core_bench"
ICON_COUNTS = (1, 10, 30)
# The panel keeps one width, room for all thirty icons, as a task bar's notification area does.
# A panel that follows its icons resizes trayer's own window at every dock, and those resizes
# stall a dock now and then for up to half a second in either program: the times would then
# count trayer's resizes rather than what the programs do.
TRAY_WIDTH = 1200
MIB = 1024 * 1024

# Every program reports to a listening debugger; both get the same channels so that neither pays
# for tracing the other does not.
WINEDEBUG = "-all,+debugstr"
FADE_TICK = "Perchlet objects after a fade tick"

# DLLs that come with every Windows installation.
SYSTEM_DLLS = {
    "advapi32.dll", "comctl32.dll", "comdlg32.dll", "gdi32.dll", "kernel32.dll", "msimg32.dll",
    "msvcrt.dll", "ole32.dll", "oleaut32.dll", "olepro32.dll", "shell32.dll", "shlwapi.dll",
    "user32.dll", "uxtheme.dll", "version.dll", "winmm.dll", "ntdll.dll",
}


def log(text):
    print(f"[bench] {text}", file=sys.stderr, flush=True)


def load_average():
    return Path("/proc/loadavg").read_text().split()[0]


# ---------------------------------------------------------------------------------------------
# The tray, watched through Xlib directly. The watcher waits for the panel's events instead of
# polling it, and asks the server about each window once: a busy watcher would slow the X server
# that both programs dock their icons through, and the slower program more.


class TrayWatch:
    def __init__(self, session):
        x = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
        x.XOpenDisplay.restype = ctypes.c_void_p
        x.XOpenDisplay.argtypes = [ctypes.c_char_p]
        x.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.c_ulong),
                                 ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                                 ctypes.POINTER(ctypes.c_uint)]
        x.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong,
                                   ctypes.POINTER(ctypes.c_ulong)] + \
            [ctypes.POINTER(ctypes.c_int)] * 2 + [ctypes.POINTER(ctypes.c_uint)] * 4
        x.XFree.argtypes = [ctypes.c_void_p]
        x.XCloseDisplay.argtypes = [ctypes.c_void_p]
        x.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
        x.XConnectionNumber.argtypes = [ctypes.c_void_p]
        x.XPending.argtypes = [ctypes.c_void_p]
        x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
        x.XFlush.argtypes = [ctypes.c_void_p]
        # An icon window can go away between the listing and the look at it: that is no error.
        handler_type = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)
        self._handler = handler_type(lambda display, event: 0)
        x.XSetErrorHandler(self._handler)
        self.x = x
        self.display = x.XOpenDisplay(session.display.encode())
        if not self.display:
            raise RuntimeError(f"cannot open display {session.display}")
        panels = session.panels()
        if not panels:
            raise RuntimeError("trayer's panel not found")
        self.panels = [int(p) for p in panels]
        substructure_notify = 1 << 19
        for panel in self.panels:
            x.XSelectInput(self.display, panel, substructure_notify)
        x.XFlush(self.display)
        self.connection = x.XConnectionNumber(self.display)
        self.event = ctypes.create_string_buffer(256)  # larger than any XEvent
        self.docked = set()  # windows seen larger than 1x1: a docked icon's stays so

    def wait(self, timeout):
        """Until the panel reports a change (or the timeout): then count() again."""
        if not self.x.XPending(self.display):
            select.select([self.connection], [], [], timeout)
        while self.x.XPending(self.display):
            self.x.XNextEvent(self.display, self.event)

    def count(self):
        """Icons docked now: the panel's children larger than trayer's own 1x1 helper."""
        x = self.x
        icons = 0
        present = set()
        for panel in self.panels:
            root, parent = ctypes.c_ulong(), ctypes.c_ulong()
            children = ctypes.POINTER(ctypes.c_ulong)()
            n = ctypes.c_uint()
            if not x.XQueryTree(self.display, panel, ctypes.byref(root), ctypes.byref(parent),
                                ctypes.byref(children), ctypes.byref(n)):
                continue
            for k in range(n.value):
                present.add(children[k])
                if children[k] in self.docked:
                    icons += 1
                    continue
                gx, gy = ctypes.c_int(), ctypes.c_int()
                w, h, border, depth = (ctypes.c_uint() for _ in range(4))
                if x.XGetGeometry(self.display, children[k], ctypes.byref(root), ctypes.byref(gx),
                                  ctypes.byref(gy), ctypes.byref(w), ctypes.byref(h),
                                  ctypes.byref(border), ctypes.byref(depth)):
                    if w.value > 1 and h.value > 1:
                        self.docked.add(children[k])
                        icons += 1
            if children:
                x.XFree(children)
        self.docked &= present
        return icons

    def close(self):
        self.x.XCloseDisplay(self.display)


# ---------------------------------------------------------------------------------------------
# Processes


def process_cpu_ns(pid):
    """Processor time of all the process's threads so far (scheduler statistics, nanoseconds)."""
    total = 0
    try:
        tasks = list(Path(f"/proc/{pid}/task").iterdir())
    except OSError:
        return 0  # ended meanwhile
    for task in tasks:
        try:
            total += int((task / "schedstat").read_text().split()[0])
        except (OSError, IndexError, ValueError):
            pass
    return total


def process_cpu_ticks(pid):
    """utime + stime of the process in seconds (clock ticks)."""
    fields = Path(f"/proc/{pid}/stat").read_text().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory(pid, field):
    """A memory figure of /proc/<pid>/status in bytes: VmHWM (peak resident) or VmRSS (now)."""
    for line in Path(f"/proc/{pid}/status").read_text().splitlines():
        if line.startswith(field + ":"):
            return int(line.split()[1]) * 1024
    raise RuntimeError(f"no {field} for process {pid}")


def peak_memory(pid):
    return memory(pid, "VmHWM")


def find_windows_process(session, exe):
    """The Unix process of a Windows program of the session, by its command line."""
    wanted = exe.lower().encode()
    for entry in Path("/proc").iterdir():
        if not entry.name.isdigit():
            continue
        argv = harness._argv(int(entry.name))
        if argv and argv[0].lower() == wanted and harness._pid_alive(int(entry.name)) and \
                harness._environ(int(entry.name)).get("WINEPREFIX") == str(session.prefix):
            return int(entry.name)
    return None


# ---------------------------------------------------------------------------------------------
# The programs and their input


class Program:
    def __init__(self, name, exe, arguments):
        self.name = name
        self.exe = exe  # Windows path
        self.arguments = arguments  # N -> argument list


def batch_lines(bench):
    """Thirty commands as a user's batch file holds them: programs whose own icon is copied out
    (.exe is registered with the icon "%1"), documents of types whose icon lies in a test
    module, URLs, the user's own .ico files, parameters, quotes, tips and icon numbers."""
    docs = bench + r"\docs"
    icons = bench + r"\icons"
    return [
        r"%windir%\notepad.exe " + docs + r"\notes.txt,Notes",
        r"https://www.example.org/,Example site",
        docs + r"\plan.pba,Plan",
        bench + r"\tools\report.exe /quiet,Report," + icons + r"\red.ico",
        r"C:\windows\regedit.exe,Registry editor",
        '"' + docs + r'\Budget 2026.pbb",Budget',
        r"ftp://ftp.example.org/pub/,Downloads," + icons + r"\sizes.ico",
        r"C:\windows\system32\winemine.exe,Mines",
        docs + r"\photo.pbc,Photo",
        r'C:\windows\system32\winecfg.exe /v win10,"Settings, Windows 10"',
        r"C:\windows\system32\taskmgr.exe,Task manager",
        docs + r"\plan.pba,Plan (second icon),2",
        r"http://intranet.example.org/wiki/Start,Wiki",
        docs + r"\setup.msi,Installer",
        r"C:\windows\system32\winefile.exe C:\,Files",
        docs + r"\letter.pbd,Letter",
        bench + r"\tools\sync.exe --all,Sync," + icons + r"\green.ico",
        r"C:\windows\notepad.exe " + docs + r"\memo.txt,Memo",
        r"https://mail.example.org/,Mail," + icons + r"\blue.ico",
        docs + r"\readme.xyz,Read me",
        r"C:\windows\system32\winhlp32.exe,Help",
        docs + ",Documents",
        r'"C:\windows\system32\iexplore.exe" http://www.example.org/,Browser',
        docs + r"\chart.pba,Chart,1",
        r"%windir%\system32\msiexec.exe /i " + docs + r"\setup.msi,Install",
        docs + r"\minutes.pbb,Minutes",
        r"C:\windows\system32\cmd.exe /k echo hello,Console",
        r"ftp://ftp.example.org/incoming/,Upload",
        docs + r"\Quarterly report.pbd,Quarterly report," + icons + r"\red.ico",
        r"C:\windows\regedit.exe /s " + docs + r"\settings.reg,Import settings",
    ]


def associations(bench):
    """File types as an installed program registers them, their icons in test modules."""
    modules = bench + r"\modules"
    types = {
        ".pba": ("PerchletBench.Plan", modules + r"\icons_three.dll,0"),
        ".pbb": ("PerchletBench.Sheet", modules + r"\icons_three.dll,2"),
        ".pbc": ("PerchletBench.Photo", modules + r"\icons_sizes.dll,0"),
        ".pbd": ("PerchletBench.Letter", '"' + modules + r'\icons_named.dll",1'),
    }
    commands = [("HKCR\\.exe", "", "exefile")]  # as Windows has it; Wine's prefix lacks it
    for extension, (prog_id, icon) in types.items():
        commands.append(("HKCR\\" + extension, "", prog_id))
        commands.append(("HKCR\\" + prog_id + "\\DefaultIcon", "", icon))
    for scheme in ("http", "https"):
        commands.append(("HKCR\\" + scheme + "\\DefaultIcon", "",
                         r"%SystemRoot%\system32\iexplore.exe,0"))
    return commands


@contextlib.contextmanager
def harness_for(arch):
    """The harness's sessions and Wine commands for that build: its loader, prefix and tools."""
    saved = {name: os.environ.get(name) for name in ("PERCHLET_ARCH", "PERCHLET_BUILD")}
    os.environ.update(PERCHLET_ARCH=arch, PERCHLET_BUILD=str(BUILDS[arch]))
    try:
        yield
    finally:
        for name, value in saved.items():
            if value is None:
                os.environ.pop(name, None)
            else:
                os.environ[name] = value


def prepare(session, build, perchlet_exe=None):
    """Lays out C:\\bench in the prefix with that build's programs and modules, and registers the
    file types; returns the programs."""
    root = session.drive_c / "bench"
    shutil.rmtree(root, ignore_errors=True)
    for folder in ("perchlet", "floor", "modules", "icons", "docs", "tools"):
        (root / folder).mkdir(parents=True)
    shutil.copy2(perchlet_exe or build / "Perchlet.exe", root / "perchlet" / "Perchlet.exe")
    (root / "perchlet" / "Perchlet.ini").write_bytes(b"ClickMode=SINGLE\r\n")
    shutil.copy2(build / "bench" / "floor.exe", root / "floor" / "floor.exe")
    for module in ("icons_three", "icons_sizes", "icons_named"):
        shutil.copy2(build / "testtools" / f"{module}.dll", root / "modules")
    for icon in ("red", "green", "blue", "sizes"):
        shutil.copy2(build / "testicons" / f"{icon}.ico", root / "icons")
    bench = "C:\\bench"
    lines = batch_lines(bench)
    for n in ICON_COUNTS:
        (root / "perchlet" / f"batch{n}.txt").write_bytes(
            harness.batch_text(lines[:n]).encode(harness.ANSI))
    for key, value, data in associations(bench):
        args = ["reg", "add", key, "/f", "/d", data]
        args += ["/ve"] if value == "" else ["/v", value]
        if session.wine(*args) != 0:
            raise RuntimeError(f"reg add {key} failed")
    perchlet = Program("Perchlet", bench + r"\perchlet\Perchlet.exe",
                       {n: [f"/BATCH:{bench}\\perchlet\\batch{n}.txt"] for n in ICON_COUNTS})
    floor = Program("floor", bench + r"\floor\floor.exe", {n: [str(n)] for n in ICON_COUNTS})
    return perchlet, floor


# ---------------------------------------------------------------------------------------------
# One run


class RunFailed(Exception):
    pass


def wait_for_empty_tray(tray, timeout=20.0):
    deadline = time.monotonic() + timeout
    while tray.count() != 0:
        if time.monotonic() > deadline:
            raise RunFailed("icons of an earlier run are still in the tray")
        tray.wait(0.05)


def session_processes(session):
    """The session's own processes: the X server, the tray, and every Wine process of its prefix
    (the server, the shell, the services)."""
    pids = [session.state["pids"][name] for name in ("xvfb", "trayer")
            if name in session.state["pids"]]
    for entry in Path("/proc").iterdir():
        if entry.name.isdigit() and \
                harness._environ(int(entry.name)).get("WINEPREFIX") == str(session.prefix):
            pids.append(int(entry.name))
    return pids


def settle(session, quiet_ms=2.0, window=0.2, timeout=5.0):
    """Waits until the session has finished with the last run: the removal of its icons and
    windows keeps the X server, the tray and Wine's server busy for a while after the tray is
    empty, and a program started meanwhile would pay for it. Quiet: under `quiet_ms` of
    processor time in all of them over `window` seconds."""
    pids = session_processes(session)
    deadline = time.monotonic() + timeout
    before = sum(process_cpu_ns(pid) for pid in pids)
    while time.monotonic() < deadline:
        time.sleep(window)
        now = sum(process_cpu_ns(pid) for pid in pids)
        if now - before < quiet_ms * 1e6:
            return
        before = now


def run_once(session, tray, program, n, idle, stderr_path):
    """Starts the program for N icons; returns its figures once it has been measured and ended."""
    wait_for_empty_tray(tray)
    settle(session)
    env = session.env(WINEDEBUG=WINEDEBUG)
    argv = [harness.wine_loader(), program.exe, *program.arguments[n]]
    with open(stderr_path, "wb") as err:
        started = time.monotonic()
        proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=err, start_new_session=True)
    try:
        deadline = started + 30.0
        while True:
            docked = tray.count()
            if docked >= n:
                elapsed = time.monotonic() - started
                break
            if proc.poll() is not None:
                raise RunFailed(f"{program.name} ended with {proc.returncode} before its icons")
            if time.monotonic() > deadline:
                raise RunFailed(f"{program.name}: {docked} of {n} icons after 30 s (a message "
                                f"box? see {stderr_path})")
            tray.wait(0.05)
        if docked != n:
            raise RunFailed(f"{program.name}: {docked} icons docked, {n} expected")
        pid = find_windows_process(session, program.exe)
        if pid is None:
            raise RunFailed(f"no process found for {program.exe}")
        # Start-up is over once the icons are up; a moment more lets anything late show.
        time.sleep(1.0)
        figures = {"seconds": elapsed, "peak": peak_memory(pid), "resident": memory(pid, "VmRSS")}
        if idle:
            ticks_before = stderr_path.read_text(errors="replace").count(FADE_TICK)
            cpu_before, ticks_cpu_before = process_cpu_ns(pid), process_cpu_ticks(pid)
            time.sleep(idle)
            figures["idle_cpu"] = (process_cpu_ns(pid) - cpu_before) / 1e9
            figures["idle_cpu_ticks"] = process_cpu_ticks(pid) - ticks_cpu_before
            figures["timer"] = stderr_path.read_text(errors="replace").count(FADE_TICK) - \
                ticks_before
            figures["peak_after_idle"] = peak_memory(pid)
        if program.name == "Perchlet":
            text = stderr_path.read_text(errors="replace")
            figures["debug_lines"] = text.count("Perchlet objects ")
        return figures
    finally:
        pid = find_windows_process(session, program.exe)
        if pid is not None:
            harness._kill_pid(pid, grace=2.0)
        harness._kill_pid(proc.pid, grace=2.0)
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            pass


def check_perchlet_log(session):
    """Start-up must have gone as meant: no errors and no boxes (a box would stop the clock)."""
    log_path = session.unix_path(session.windows_env["APPDATA"] + "\\Perchlet\\Perchlet.log")
    lines = harness.read_log(log_path)
    problems = [line.message for line in lines if line.message.startswith(("Error", "Warning"))]
    return lines, problems


def measure_wine(args, arch):
    """The A B A B runs of one build in a session of its own; returns {program: {N: [figures]}}."""
    with harness_for(arch):
        return _measure_wine(args, arch)


def _measure_wine(args, arch):
    state = OUT / f"wine-session-{arch}"
    for attempt in range(3):
        try:
            session = harness.start_session(state, artefacts=OUT / f"wine-artefacts-{arch}",
                                            tray_width=TRAY_WIDTH)
            break
        except RuntimeError as error:
            # Another session may take the same display number at the same moment: try again.
            if attempt == 2:
                raise
            log(f"session start failed ({error}), trying again")
    try:
        perchlet, floor = prepare(session, BUILDS[arch], args.perchlet if arch == "x64" else None)
        tray = TrayWatch(session)
        runs_dir = OUT / f"runs-{arch}"
        shutil.rmtree(runs_dir, ignore_errors=True)
        runs_dir.mkdir(parents=True)
        # Warm-up: the prefix, the file cache and Wine's services, once for each program.
        for program in (perchlet, floor):
            run_once(session, tray, program, 30, 0, runs_dir / f"warmup-{program.name}.txt")
        lines, problems = check_perchlet_log(session)
        icons_copied = sum(1 for line in lines if "Extract" in line.message)
        log(f"{arch} warm-up: Perchlet traced {len(lines)} lines, {len(problems)} warnings or "
            "errors")
        for problem in problems:
            log(f"  {problem}")
        results = {p.name: {n: [] for n in ICON_COUNTS} for p in (perchlet, floor)}
        # Short runs are cheap and their differences small: they get more rounds.
        for round_ in range(max(args.runs, args.short_runs)):
            for n in ICON_COUNTS:
                if round_ >= (args.runs if n == ICON_COUNTS[-1] else args.short_runs):
                    continue
                for program in (perchlet, floor):
                    idle = args.idle if n == ICON_COUNTS[-1] else 0
                    path = runs_dir / f"{program.name}-{n}-{round_ + 1}.txt"
                    figures = run_once(session, tray, program, n, idle, path)
                    results[program.name][n].append(figures)
                    log(f"{arch} round {round_ + 1} N={n:2} {program.name:8} "
                        f"{figures['seconds'] * 1000:7.1f} ms "
                        f"peak {figures['peak'] / MIB:6.2f} MiB"
                        + (f" idle {figures['idle_cpu'] * 1000:.1f} ms, "
                           f"{figures['timer']} timer ticks" if idle else "")
                        + f" (load {load_average()})")
        tray.close()
        return results, {"log_lines": len(lines), "log_problems": problems,
                         "extraction_lines": icons_copied}
    finally:
        harness.stop_session(state)


# ---------------------------------------------------------------------------------------------
# Size and imports


def pe_facts(path, objdump):
    text = subprocess.run([objdump, "-p", str(path)], capture_output=True, text=True,
                          check=True).stdout
    imports = sorted({m.lower() for m in re.findall(r"DLL Name: (\S+)", text)})
    sections = subprocess.run([objdump, "-h", str(path)], capture_output=True, text=True,
                              check=True).stdout
    # The linker marks a file without symbols in its header's characteristics.
    stripped = "symbols stripped" in text and ".debug" not in sections
    return {"bytes": path.stat().st_size, "imports": imports, "stripped": stripped,
            "foreign": [dll for dll in imports
                        if dll not in SYSTEM_DLLS and not dll.startswith("api-ms-win-")]}


def measure_sizes():
    result = {}
    for build, objdump in ((X64, "x86_64-w64-mingw32-objdump"), (X86, "i686-w64-mingw32-objdump")):
        arch = build.name.split("-")[1]
        result[arch] = {"Perchlet": pe_facts(build / "Perchlet.exe", objdump),
                        "floor": pe_facts(build / "bench" / "floor.exe", objdump)}
    return result


# ---------------------------------------------------------------------------------------------
# Core throughput


def measure_core(repetitions):
    out = OUT / "core_bench.json"
    subprocess.run([str(CORE_BENCH), f"--benchmark_repetitions={repetitions}",
                    "--benchmark_min_time=0.3", "--benchmark_report_aggregates_only=true",
                    "--benchmark_format=json", f"--benchmark_out={out}",
                    "--benchmark_out_format=json"], check=True, stdout=subprocess.DEVNULL)
    data = json.loads(out.read_text())
    figures = {}
    for entry in data["benchmarks"]:
        name, _, aggregate = entry["name"].rpartition("_")
        for counter in ("items_per_second", "bytes_per_second"):
            if counter in entry:
                figures.setdefault(name, {})[aggregate] = entry[counter]
        if entry.get("error_occurred"):
            raise RuntimeError(f"{entry['name']}: {entry.get('error_message')}")
    return figures


# ---------------------------------------------------------------------------------------------
# The table


def spread(values, scale=1.0, digits=1):
    values = [v * scale for v in values]
    low, high = min(values), max(values)
    return f"{statistics.median(values):.{digits}f} ({low:.{digits}f}–{high:.{digits}f})"


class Table:
    def __init__(self):
        self.rows = []
        self.missed = []

    def add(self, figure, perchlet, floor="", ratio="", target="", met=None):
        verdict = "" if met is None else ("yes" if met else "**no**")
        if met is False:
            self.missed.append(figure)
        self.rows.append((figure, perchlet, floor, ratio, target, verdict))

    def markdown(self):
        head = ("figure", "Perchlet", "floor", "Perchlet/floor", "target", "met")
        lines = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
        lines += ["| " + " | ".join(row) + " |" for row in self.rows]
        return "\n".join(lines)


def build_table(wine, sizes, core):
    table = Table()
    for arch, figures in (wine or {}).items():
        add_wine_rows(table, arch, figures)
    add_other_rows(table, sizes, core)
    return table


def add_wine_rows(table, arch, wine):
    """The x64 rows keep their names; the x86 build's, measured against the floor built alike,
    have the same targets."""
    def add(figure, *columns, **kwargs):
        table.add(figure if arch == "x64" else f"{arch}: {figure}", *columns, **kwargs)

    if wine:
        a, b = wine["Perchlet"], wine["floor"]
        limits = {1: 1.15, 30: 1.2}
        for n in ICON_COUNTS:
            ta = [r["seconds"] for r in a[n]]
            tb = [r["seconds"] for r in b[n]]
            ratio = statistics.median(ta) / statistics.median(tb)
            limit = limits.get(n)
            add(f"time to {n} icon{'s' if n > 1 else ''}, ms", spread(ta, 1000),
                spread(tb, 1000), f"{ratio:.2f}",
                f"≤ {limit} x floor" if limit else "", ratio <= limit if limit else None)
        for n in ICON_COUNTS:
            pa = [r["peak"] for r in a[n]]
            pb = [r["peak"] for r in b[n]]
            difference = statistics.median(pa) - statistics.median(pb)
            add(f"peak memory, {n} icon{'s' if n > 1 else ''}, MiB", spread(pa, 1 / MIB, 2),
                spread(pb, 1 / MIB, 2),
                f"{statistics.median(pa) / statistics.median(pb):.2f} "
                f"(+{difference / MIB:.2f} MiB)", "≤ floor + 1 MiB", difference <= MIB)
        n = ICON_COUNTS[-1]
        ra = [r["resident"] for r in a[n]]
        rb = [r["resident"] for r in b[n]]
        add(f"resident memory once up, {n} icons, MiB", spread(ra, 1 / MIB, 2),
            spread(rb, 1 / MIB, 2),
            f"+{(statistics.median(ra) - statistics.median(rb)) / MIB:.2f} MiB")
        ca = [r["idle_cpu"] for r in a[n]]
        cb = [r["idle_cpu"] for r in b[n]]
        extra = statistics.median(ca) - statistics.median(cb)
        add(f"idle CPU over {IDLE_SECONDS} s ({n} icons), ms", spread(ca, 1000, 2),
            spread(cb, 1000, 2), f"+{extra * 1000:.2f} ms", "≤ floor + 10 ms",
            extra <= 0.010)
        timers = [r["timer"] for r in a[n]]
        add("timer messages handled while idle", str(sum(timers)), "", "", "0",
            sum(timers) == 0 and all(r.get("debug_lines", 0) >= 1 for r in a[n]))


def add_other_rows(table, sizes, core):
    for arch, facts in sizes.items():
        p, f = facts["Perchlet"], facts["floor"]
        table.add(f"Perchlet.exe {arch}, KiB", f"{p['bytes'] / 1024:.1f}",
                  f"{f['bytes'] / 1024:.1f}", f"{p['bytes'] / f['bytes']:.1f}",
                  "≤ 300 KiB, stripped", p["bytes"] <= 300 * 1024 and p["stripped"])
        table.add(f"imports {arch}", ", ".join(p["imports"]), ", ".join(f["imports"]), "",
                  "system DLLs only", not p["foreign"])
    if core:
        parse = core["ParseCommandLines"]["median"]
        table.add("command lines parsed per second", f"{parse / 1e6:.2f} M", "", "",
                  "≥ 1 M", parse >= 1e6)
        items = core["SplitOptionItems"]["median"]
        table.add("options items split per second", f"{items / 1e6:.2f} M")
        ico = core["BuildIcoFile"]["median"]
        copy = core["MemcpyIcoBytes"]["median"]
        table.add(".ico builder vs memcpy, GB/s", f"{ico / 1e9:.2f}", f"{copy / 1e9:.2f} (memcpy)",
                  f"{ico / copy:.2f}", "≥ 0.5 x memcpy", ico / copy >= 0.5)


IDLE_SECONDS = 30


def main():
    global IDLE_SECONDS
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--runs", type=int, default=5, help="runs of each program for 30 icons")
    parser.add_argument("--short-runs", type=int, default=15,
                        help="runs of each program for 1 and 10 icons")
    parser.add_argument("--perchlet", type=Path, help="another Perchlet.exe to measure (x64)")
    parser.add_argument("--arch", default="x64,x86",
                        help="the builds measured under Wine, comma-separated (x64, x86)")
    parser.add_argument("--idle", type=float, default=30, help="idle period in seconds")
    parser.add_argument("--skip-wine", action="store_true", help="sizes and core figures only")
    parser.add_argument("--skip-core", action="store_true", help="no core throughput figures")
    args = parser.parse_args()
    IDLE_SECONDS = args.idle if args.idle != int(args.idle) else int(args.idle)
    OUT.mkdir(parents=True, exist_ok=True)

    load_before = load_average()
    log(f"load average {load_before} ({os.cpu_count()} cores)")
    sizes = measure_sizes()
    core = None if args.skip_core else measure_core(5)
    wine, notes = {}, {}
    for arch in ([] if args.skip_wine else args.arch.split(",")):
        if arch not in BUILDS:
            parser.error(f"no build {arch!r}: x64 or x86")
        wine[arch], notes[arch] = measure_wine(args, arch)
    load_after = load_average()

    table = build_table(wine, sizes, core)
    header = (f"Perchlet against the floor: {args.short_runs} runs each for 1 and 10 icons, "
              f"{args.runs} for 30, A B A B, medians (min–max); "
              f"load average {load_before} before, {load_after} after.")
    text = header + "\n\n" + table.markdown() + "\n"
    print(text)
    (OUT / "results.md").write_text(text)
    (OUT / "results.json").write_text(json.dumps(
        {"wine": wine, "sizes": sizes, "core": core, "notes": notes,
         "load": [load_before, load_after], "missed": table.missed}, indent=2))
    if table.missed:
        print("Targets missed: " + "; ".join(table.missed))
        return 1
    print("All targets met.")
    return 0


if __name__ == "__main__":
    sys.exit(main())
