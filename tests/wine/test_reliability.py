#!/usr/bin/env python3
"""Reliability under Wine: icon modules with malformed groups and damaged files, injected faults
(working folder, trace log, batch file, holding file, huge inputs, a killed process), and the
balance of GUI objects over a long fade. Each case checks that nothing is lost, and writes its
outcome to the results file that scripts/reliability.sh prints as a table."""

import contextlib
import os
import re
import shutil
import signal
import struct
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from trace_texts import adding, not_found, not_written, read_line  # noqa: E402
import reliability_support as support  # noqa: E402
from harness import batch_text  # noqa: E402

NOTEPAD = "C:\\windows\\notepad.exe"
EXIT_DIALOG = "Exit Perchlet?"
# The longest command line Windows hands a program: 32,767 characters with the closing NUL.
COMMAND_LINE_CEILING = 32766




def limit_reached(command):
    return f"Warning: Tray icon limit of 30 reached, ignoring command '{command}'"




def not_loaded(path):
    return f"Warning: icon '{path}' couldn't be loaded, using default instead"


def log_bytes(run):
    """The raw trace log, or None when there is none (or something else stands in its place)."""
    try:
        return run.log_path.read_bytes()
    except OSError:
        return None


def messages(run):
    try:
        return run.messages()
    except OSError:
        return []


def valid_ico(data):
    """Whether the bytes are a whole .ico file: header, directory, and images that end exactly
    where the file does, each where its entry says."""
    if len(data) < 6:
        return False
    reserved, kind, count = struct.unpack_from("<HHH", data)
    if reserved != 0 or kind != 1 or count == 0 or len(data) < 6 + 16 * count:
        return False
    expected = 6 + 16 * count
    for k in range(count):
        size, offset = struct.unpack_from("<II", data, 6 + 16 * k + 8)
        if offset != expected:
            return False
        expected += size
    return expected == len(data)


def crash_report(run):
    """Wine's report of an unhandled exception in the run, or None."""
    try:
        text = run.stderr_path.read_text(errors="replace")
    except FileNotFoundError:
        return None
    match = re.search(r"^wine: Unhandled .*$", text, re.MULTILINE)
    return match.group(0) if match else None


def leftovers(folder):
    return sorted(path.name for path in Path(folder).glob("*.tmp"))


class ReliabilityTest(harness.WineTestCase):
    results = None

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.results = support.Results()
        cls.scratch = Path(tempfile.mkdtemp(prefix="perchlet-reliability-",
                                            dir=cls.session.drive_c))
        cls.registered = []
        # A crash ends the program with a backtrace on its stderr instead of a dialog that keeps
        # the crashed process alive and takes the focus from every later test.
        cls.session.wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                         "/t", "REG_DWORD", "/d", "0", "/f")

    @classmethod
    def tearDownClass(cls):
        if cls.registered:
            support.unregister_icons(cls.session, cls.scratch, cls.registered)
        shutil.rmtree(cls.scratch, ignore_errors=True)
        super().tearDownClass()

    @contextlib.contextmanager
    def fault_case(self, name):
        """Runs one case as a subtest and records whether the program came through it."""
        with self.subTest(name):
            try:
                yield
            except BaseException as error:
                self.results.case(name, False, str(error).splitlines()[0][:200])
                raise
            self.results.case(name, True)

    def register(self, icons):
        support.register_icons(self.session, self.scratch, icons)
        self.registered += list(icons)

    def start_with_icons(self, args="", icons=1, wait=30.0, **kwargs):
        """Starts a run and waits (answering its boxes) until its icons are docked."""
        before = self.session.tray_icons()
        run = self.start(args, **kwargs)
        run.docked = self.wait_for_new_icons(run, icons, before, wait)
        return run

    def wait_for_new_icons(self, run, icons, before, wait=30.0):
        old = {icon.window for icon in before}

        def docked():
            new = [icon for icon in self.session.tray_icons() if icon.window not in old]
            if len(new) >= icons:
                return new
            if not run.running():
                raise AssertionError(f"the program ended with {len(new)} of {icons} icons: "
                                     f"{crash_report(run)}; log: {messages(run)[-3:]!r}")
            return None

        new = run.wait_until(docked, wait, f"{icons} tray icon(s)")
        self.assertEqual(len(new), icons)
        return new

    def wait_for_bytes(self, run, text, timeout=60.0, poll=0.05):
        """Waits until the log holds the given message; returns when it was first seen."""
        wanted = text.encode(harness.ANSI) + b"\r\n"
        deadline = time.monotonic() + timeout
        while True:
            data = log_bytes(run) or b""
            if wanted in data:
                return time.monotonic()
            if time.monotonic() > deadline:
                raise AssertionError(f"timed out waiting for {text[:120]!r}")
            if not run.running():
                raise AssertionError(f"the program ended before {text[:120]!r}")
            run._poll()
            time.sleep(poll)

    # -- malformed icon modules ---------------------------------------------------------------

    def test_malformed_icon_groups(self):
        small = support.image(16, 16, 4, 21)
        large = support.image(32, 32, 4, 22)
        images = {101: small, 102: large}
        entry_small = (16, 16, 4, len(small), 101)
        entry_large = (32, 32, 4, len(large), 102)
        group = support.group_bytes
        cases = [
            # (name, group bytes, outcome: "file", "nothing", or the box's text before the path)
            ("valid group", group([entry_small, entry_large]), "file"),
            ("group shorter than its header", b"\0\0\1\0",
             "Damaged icon group in icon source file, '"),
            # Not an icon group's header: copied as read it would be no icon file at all.
            ("reserved field not 0", group([entry_small], reserved=1),
             "Damaged icon group in icon source file, '"),
            ("type not 1", group([entry_small], kind=2),
             "Damaged icon group in icon source file, '"),
            ("count 0", group([entry_small], count=0), "nothing"),
            ("negative count", group([entry_small], count=0xFFFF), "nothing"),
            ("count larger than the group", group([entry_small], count=3),
             "Damaged icon group in icon source file, '"),
            ("count whose entries overflow 16 bits", group([entry_small], count=0x7FFF),
             "Error  6 (Overflow) occurred in subExtractIcons"),
            ("bytes in resource 0", group([(16, 16, 4, 0, 101)]), "file"),
            ("bytes in resource larger than the image",
             group([(16, 16, 4, len(small) + 1000, 101)]),
             "Damaged icon image in icon source file, '"),
            ("bytes in resource smaller than the image",
             group([(16, 16, 4, len(small) - 100, 101)]), "file"),
            ("bytes in resource 0xFFFFFFFF", group([(16, 16, 4, 0xFFFFFFFF, 101)]),
             "Damaged icon image in icon source file, '"),
            ("bytes in resource 0xFFFFFFFF, offsets overflow",
             group([(16, 16, 4, 0xFFFFFFFF, 101), entry_large]),
             "Error  6 (Overflow) occurred in subExtractIcons"),
            ("missing image id", group([entry_small, (16, 16, 4, 10, 999)]),
             "Failed to locate resource in icon source file, '"),
            ("duplicate image ids", group([entry_small, entry_small]), "file"),
        ]
        modules = self.scratch / "modules"
        modules.mkdir()
        built = support.build_module(modules, "groups",
                                     {k + 1: case[1] for k, case in enumerate(cases)}, images)
        rows = []  # (name, module path, group index, expected: .ico bytes, None or a box text)
        for k, (name, group_data, outcome) in enumerate(cases):
            # A copy of the module per case, so each box names its case.
            copy = modules / f"group{k + 1:02d}.dll"
            shutil.copyfile(built, copy)
            path = self.session.windows_path(copy)
            if outcome == "file":
                expected = support.ico_from_group(group_data, images)
            elif outcome == "nothing":
                expected = None
            elif outcome.endswith("'"):
                expected = outcome + path.lower() + "'"  # the association is read in lower case
            else:
                expected = outcome
            rows.append((name, path, k, expected))

        # Damaged files: the group cut short by the end of the file, and an image whose resource
        # entry claims bytes past the end of the file (its group claims them too).
        cut = support.build_module(modules, "cut_group", {1: group([entry_small])},
                                   {101: small})
        cut_group = support.find_resource(cut, support.RT_GROUP_ICON, 1)
        cut_image = support.find_resource(cut, support.RT_ICON, 101)
        self.assertGreater(cut_group.file_offset, cut_image.file_offset,
                           "the group's bytes come last in the module")
        support.truncate_inside(cut, support.RT_GROUP_ICON, 1, 8)
        cut_path = self.session.windows_path(cut)
        rows.append(("module truncated inside its group", cut_path, 0,
                     f"Damaged icon group in icon source file, '{cut_path.lower()}'"))
        claim = 1 << 20
        past = support.build_module(modules, "claims_past_end",
                                    {1: group([(16, 16, 4, claim, 101)])}, {101: small})
        image_entry = support.find_resource(past, support.RT_ICON, 101)
        self.assertLess(image_entry.file_offset + claim, claim + past.stat().st_size)
        with open(past, "r+b") as file:
            file.seek(image_entry.size_field)
            file.write(struct.pack("<I", claim))
        self.assertGreater(image_entry.file_offset + claim, past.stat().st_size)
        past_path = self.session.windows_path(past)
        rows.append(("image entry claims bytes past the end of the file", past_path, 0,
                     f"Damaged icon image in icon source file, '{past_path.lower()}'"))

        extensions = {f".plrgrp{k + 1:02d}": f"{path},{index}"
                      for k, (_, path, index, _) in enumerate(rows)}
        self.register(extensions)
        lines = [f"case{k + 1:02d}{extension},{rows[k][0]}"
                 for k, extension in enumerate(extensions)]
        run = None
        with self.fault_case("malformed modules: one run through all, every icon docked"):
            # Every case docks its icon, in order; the last one is docked after its box.
            run = self.start_with_icons("/BATCH:cmds.txt", icons=len(rows), wait=90,
                                        files={"cmds.txt": batch_text(lines)})
            time.sleep(0.5)
            self.assertIsNone(crash_report(run))
            self.assertTrue(run.running(), "the program should live on with its icons")
            self.assertIn(adding(f"case{len(rows):02d}{list(extensions)[-1]}"), run.messages())
        if run is None or not run.running():
            for name, _, _, _ in rows:
                self.results.case(f"malformed module: {name}", False,
                                  "the run did not come through")
            return

        folder = self.session.unix_path(run.working_folder)
        boxes = run.box_texts()
        expected_boxes = [e for _, _, _, e in rows if isinstance(e, str)]
        trace = run.messages()
        for k, (name, _, _, expected) in enumerate(rows):
            with self.fault_case(f"malformed module: {name}"):
                holding = folder / f"{k + 1}.ico"
                if isinstance(expected, bytes):
                    self.assertTrue(holding.is_file(), f"{holding.name} written")
                    # Exactly the claimed bytes of each image: no byte read past a resource.
                    self.assertEqual(holding.read_bytes(), expected)
                else:
                    self.assertFalse(holding.exists(), f"{holding.name} must not be written")
                if isinstance(expected, str):
                    self.assertIn(expected, boxes)
                if name == "valid group":
                    self.assertNotIn(not_loaded(run.working_folder + "\\1.ico"), trace)
        with self.fault_case("malformed modules: boxes in order, no other"):
            self.assertEqual(boxes, expected_boxes)
            self.assertEqual(leftovers(folder), [])

    # -- the working folder and the trace log ---------------------------------------------

    def test_working_folder_blocked_by_a_file(self):
        with self.fault_case("working folder blocked by a file"):
            in_the_way = b"a file of the working folder's name\r\n"
            run = self.start_with_icons(NOTEPAD, files={"AppData/Perchlet": in_the_way})
            folder = run.working_folder
            run.wait_until(lambda: len(run.boxes()) >= 2, 20, "the two boxes")
            boxes = run.box_texts()
            self.assertTrue(boxes[0].startswith(
                f"Couldn't open the trace log '{folder}\\Perchlet.log', carrying on without it."),
                boxes)
            self.assertEqual(boxes[1:], [f"Failed to create icon holding file '{folder}\\1.ico'"])
            self.assertTrue(run.running())
            self.assertEqual(run.path("AppData/Perchlet").read_bytes(), in_the_way)

    def test_log_cannot_be_opened(self):
        older = b"01/01/2020 10:00:00    an older run's line\r\n"
        cases = [
            ("log is a folder", {"AppData/Perchlet/Perchlet.log/keep.txt": b"kept"}, False,
             lambda run: self.assertEqual(
                 run.path("AppData/Perchlet/Perchlet.log/keep.txt").read_bytes(), b"kept")),
            ("log held open by another program", {"AppData/Perchlet/Perchlet.log": older}, True,
             lambda run: self.assertEqual(log_bytes(run), older)),
        ]
        for name, files, hold, check in cases:
            with self.fault_case(f"trace log cannot be opened: {name}"):
                holder = None
                if hold:
                    run = harness.PerchletRun(self.session, NOTEPAD, files=files)
                    for relative, content in files.items():
                        run.path(relative).parent.mkdir(parents=True, exist_ok=True)
                        run.path(relative).write_bytes(content)
                    holder = self.hold(run.win_folder + "\\AppData\\Perchlet\\Perchlet.log")
                    before = self.session.tray_icons()
                    run.start()
                    self.addCleanup(run.close)
                    run.wait_until(lambda: len(self.session.wait_for_tray_icons(
                        1, timeout=0, besides=before)) == 1, 30, "the icon")
                else:
                    run = self.start_with_icons(NOTEPAD, files=files)
                boxes = run.box_texts()
                self.assertEqual(len(boxes), 1, boxes)
                self.assertTrue(boxes[0].startswith(
                    f"Couldn't open the trace log '{run.working_folder}\\Perchlet.log', "
                    "carrying on without it."), boxes)
                self.assertTrue(run.running())
                # The run goes on: its icon is extracted and written as usual.
                holding = self.session.unix_path(run.working_folder + "\\1.ico")
                self.assertTrue(valid_ico(holding.read_bytes()))
                check(run)
                run.kill()
                if holder is not None:
                    self.release(holder)

    def hold(self, windows_path, milliseconds=60000, after=None):
        """Starts hold_file.exe on a file and waits until it holds it; with `after`, a pattern,
        it holds it until such a file exists and then for the milliseconds given."""
        out = self.scratch / f"hold-{time.monotonic_ns()}.txt"
        holder = harness._spawn(["wine", str(harness.build_dir() / "testtools" / "hold_file.exe"),
                                 windows_path, str(milliseconds)] + ([after] if after else []),
                                self.session.env(), out)
        self.addCleanup(self.release, holder)
        deadline = time.monotonic() + 30
        while "holding" not in out.read_text(errors="replace"):
            if holder.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"hold_file: {out.read_text(errors='replace')!r}")
            time.sleep(0.05)
        return holder

    @staticmethod
    def release(holder):
        harness._kill_pid(holder.pid)
        holder.poll()  # collected already; lets the object know

    # -- the batch file -------------------------------------------------------------------

    def test_locked_batch_file_is_reported_and_ends(self):
        with self.fault_case("batch file locked by another program"):
            content = batch_text([NOTEPAD])
            run = harness.PerchletRun(self.session, "/BATCH:cmds.txt")
            run.path("cmds.txt").write_bytes(content.encode(harness.ANSI))
            holder = self.hold(run.win_folder + "\\cmds.txt")
            run.start()
            self.addCleanup(run.close)
            run.wait_for_exit(30)
            text = ("Couldn't read 'cmds.txt' file as specified on command line (Sharing "
                    "violation) - exiting!")
            self.assertEqual(run.box_texts(), [text])
            self.assertEqual(run.messages()[-3:], [
                "Perchlet command line is '/BATCH:cmds.txt'",
                "Opening Batch command file 'cmds.txt'", text])
            self.release(holder)
            self.assertEqual(run.path("cmds.txt").read_bytes(), content.encode(harness.ANSI))

    def test_batch_of_10000_lines_takes_30_and_refuses_the_rest_in_linear_time(self):
        figures = {}
        for total in (1000, 10000):
            with self.fault_case(f"batch file of {total:,} lines"):
                lines = [f"{NOTEPAD},Line {k}" for k in range(1, total + 1)]
                before = self.session.tray_icons()
                started = time.monotonic()
                run = self.start("/BATCH:cmds.txt", files={"cmds.txt": batch_text(lines)},
                                 timeout=300)
                # The 31st line is read once the 30th icon is up; the rest is refusals.
                after_icons = self.wait_for_bytes(run, read_line(lines[30]), timeout=120,
                                                  poll=0.01)
                ended = self.wait_until_count(run, limit_reached(NOTEPAD), total - 30, poll=0.01)
                trace = run.messages()
                self.assertEqual(sum(m.startswith("Read batch command line '") for m in trace),
                                 total)
                self.assertEqual(trace.count(adding(NOTEPAD)), 30)
                self.assertEqual(trace.count(limit_reached(NOTEPAD)), total - 30)
                self.assertEqual(trace[-1], limit_reached(NOTEPAD))
                self.assertEqual(run.box_texts(), [])
                self.wait_for_new_icons(run, 30, before)
                self.assertIsNone(crash_report(run))
                self.assertTrue(run.running())
                figures[total] = {"start to 30 icons s": round(after_icons - started, 2),
                                  "refusing the rest s": round(ended - after_icons, 3)}
                run.kill()
        if len(figures) < 2:
            self.results.case("batch file: time linear in its lines", False, "a run failed")
            return
        per_line = {total: figures[total]["refusing the rest s"] / (total - 30)
                    for total in figures}
        self.results.balance("batch timing", {
            "lines": {str(total): figures[total] for total in figures},
            "ms per refused line": {str(total): round(per_line[total] * 1000, 4)
                                    for total in per_line}})
        with self.fault_case("batch file: time linear in its lines"):
            # Ten times the lines may take about ten times as long, with room for the polling's
            # granularity and a busy machine; a cost that grows with each line is far beyond.
            self.assertLess(figures[10000]["refusing the rest s"],
                            10 * figures[1000]["refusing the rest s"] + 2.0, figures)

    def wait_until_count(self, run, message, count, timeout=120.0, poll=0.05):
        wanted = message.encode(harness.ANSI) + b"\r\n"
        deadline = time.monotonic() + timeout
        while True:
            data = log_bytes(run) or b""
            if data.count(wanted) >= count:
                return time.monotonic()
            if time.monotonic() > deadline or not run.running():
                raise AssertionError(f"{data.count(wanted)} of {count} {message!r}")
            time.sleep(poll)

    def test_batch_line_of_one_megabyte(self):
        with self.fault_case("batch line of 1 MB"):
            head = NOTEPAD + " "
            tail = ",A line of one megabyte"
            line = head + "p" * ((1 << 20) - len(head) - len(tail)) + tail
            self.assertEqual(len(line), 1 << 20)
            run = self.start_with_icons("/BATCH:cmds.txt", files={"cmds.txt": batch_text([line])})
            command = line[:-len(tail)]
            run.wait_for_log(f"Associated icon found to be '%systemroot%\\system32\\shell32.dll,0'")
            trace = run.messages()
            # Both lines whole: nothing of the line is cut or lost on its way to the log.
            self.assertIn(read_line(line), trace)
            self.assertIn(adding(command), trace)
            self.assertEqual(run.box_texts(), [])
            self.assertIsNone(crash_report(run))
            self.assertTrue(run.running())

    # -- the command line -----------------------------------------------------------------

    def test_longest_command_line(self):
        with self.fault_case(f"command line of {COMMAND_LINE_CEILING:,} characters"):
            run = harness.PerchletRun(self.session)
            head = run.exe + " " + NOTEPAD + " "
            run.cmdline = head + "q" * (COMMAND_LINE_CEILING - len(head))
            before = self.session.tray_icons()
            run.start()
            self.addCleanup(run.close)
            run.wait_until(lambda: self.session.wait_for_tray_icons(1, 0, before), 30, "the icon")
            arguments = run.cmdline[len(run.exe) + 1:]
            trace = run.messages()
            self.assertIn(f"Perchlet command line is '{arguments}'", trace)
            self.assertIn(adding(arguments), trace)
            self.assertEqual(run.box_texts(), [])
            self.assertIsNone(crash_report(run))
            self.assertTrue(run.running())
            run.kill()

        with self.fault_case("command line beyond the system's ceiling"):
            # One more character, or a whole megabyte, is refused by the system before the
            # program runs; Wine hands on a megabyte cut to a 16-bit length, which the program
            # then takes like any other command line.
            for total in (COMMAND_LINE_CEILING + 1, 1 << 20):
                run = harness.PerchletRun(self.session)
                head = run.exe + " " + NOTEPAD + " "
                run.cmdline = head + "r" * (total - len(head))
                before = self.session.tray_icons()
                run.start()
                self.addCleanup(run.close)
                run.wait_until(lambda: not run.running() or messages(run) and
                               self.session.wait_for_tray_icons(1, 0, before), 30,
                               "the launch to end or the icon")
                if run.running():
                    traced = [m for m in messages(run) if m.startswith("Perchlet command line")]
                    self.assertEqual(len(traced), 1)
                    self.assertTrue(run.cmdline.startswith(run.exe + " " + traced[0][26:-1]))
                else:
                    self.assertIn("CreateProcessA failed", run.stderr_path.read_text(
                        errors="replace"), total)
                    self.assertNotIn("started process", run.stdout_path.read_text(), total)
                run.kill()

    # -- the registry ---------------------------------------------------------------------

    def test_registry_icon_value_of_4_kb_is_read_whole(self):
        with self.fault_case("registry icon value of 4 KB"):
            module = self.scratch / "three.dll"
            shutil.copyfile(harness.build_dir() / "testtools" / "icons_three.dll", module)
            head = self.session.windows_path(module) + ","
            # The value's last character chooses the group: read short, it would choose another.
            value = head + "0" * (4096 - len(head) - 1) + "1"
            self.assertEqual(len(value), 4096)
            self.register({".plrlong": value})
            run = self.start_with_icons("x.plrlong")
            run.wait_for_log(f"Associated icon found to be '{value.lower()}'")
            holding = self.session.unix_path(run.working_folder + "\\1.ico")
            run.wait_until(holding.exists, 10, "the holding file")
            expected = (harness.build_dir() / "testicons" / "green.ico").read_bytes()
            self.assertEqual(holding.read_bytes(), expected)
            self.assertEqual(run.box_texts(), [])

    # -- the holding file -----------------------------------------------------------------

    def test_holding_file_cannot_be_written(self):
        older = support.ico_from_group(support.group_bytes([(16, 16, 4, 296, 7)]),
                                       {7: support.image(16, 16, 4, 33)})
        holding = "AppData/Perchlet/1.ico"

        with self.fault_case("holding file held open by another program"):
            run = harness.PerchletRun(self.session, NOTEPAD)
            run.path(holding).parent.mkdir(parents=True)
            run.path(holding).write_bytes(older)
            holder = self.hold(run.win_folder + "\\" + holding.replace("/", "\\"))
            before = self.session.tray_icons()
            run.start()
            self.addCleanup(run.close)
            path = run.working_folder + "\\1.ico"
            run.wait_until(lambda: self.session.wait_for_tray_icons(1, 0, before), 30, "the icon")
            run.wait_for_log(not_written(path))
            self.assertEqual(run.box_texts(), [f"Failed to create icon holding file '{path}'"])
            self.assertEqual(run.path(holding).read_bytes(), older)
            self.assertEqual(leftovers(run.path(holding).parent), [])
            run.kill()
            self.release(holder)

        with self.fault_case("holding file held open for a moment, as a scanner does"):
            run = harness.PerchletRun(self.session, NOTEPAD)
            run.path(holding).parent.mkdir(parents=True)
            run.path(holding).write_bytes(older)
            windows_holding = run.win_folder + "\\" + holding.replace("/", "\\")
            # Held from before the start until 150 ms after the new copy is written beside it.
            holder = self.hold(windows_holding, 150, after=windows_holding + ".*.tmp")
            before = self.session.tray_icons()
            run.start()
            self.addCleanup(run.close)
            run.wait_until(lambda: self.session.wait_for_tray_icons(1, 0, before), 30, "the icon")
            run.wait_until(lambda: holder.poll() is not None, 10, "the holder to let go")
            self.assertEqual(holder.returncode, 0)  # it saw the new copy before it let go
            run.wait_until(lambda: run.path(holding).read_bytes() != older, 10, "the new copy")
            self.assertTrue(valid_ico(run.path(holding).read_bytes()))
            self.assertEqual(run.box_texts(), [])
            self.assertEqual(leftovers(run.path(holding).parent), [])
            run.kill()

        with self.fault_case("holding file's name taken by a folder"):
            run = self.start_with_icons(NOTEPAD, files={holding + "/keep.txt": b"kept"})
            path = run.working_folder + "\\1.ico"
            run.wait_for_log(not_found(path))
            self.assertEqual(run.box_texts(), [f"Failed to create icon holding file '{path}'"])
            self.assertEqual(run.path(holding + "/keep.txt").read_bytes(), b"kept")
            self.assertEqual(leftovers(run.path(holding).parent), [])

        with self.fault_case("read-only holding file"):
            run = self.start_with_icons(NOTEPAD, files={holding: older},
                                        attributes={holding: "+r"})
            path = run.working_folder + "\\1.ico"
            run.wait_for_log(re.compile("^Associated icon found"))
            run.wait_until(lambda: run.path(holding).read_bytes() != older or run.boxes(), 10,
                           "the holding file replaced or a box")
            time.sleep(0.5)
            data = run.path(holding).read_bytes()
            if run.box_texts():
                # Windows keeps a read-only file: it stays as it was and is not shown.
                self.assertEqual(run.box_texts(), [f"Failed to create icon holding file '{path}'"])
                self.assertEqual(data, older)
                run.wait_for_log(not_written(path))
            else:
                # Wine run by root replaces it, whole.
                self.assertTrue(valid_ico(data))
            self.assertEqual(leftovers(run.path(holding).parent), [])

        with self.fault_case("failed extraction over an older holding file"):
            module = self.scratch / "damaged.dll"
            support.build_module(self.scratch, "damaged",
                                 {1: support.group_bytes([(16, 16, 4, 4000, 101)])},
                                 {101: support.image(16, 16, 4, 5)})
            self.register({".plrold": self.session.windows_path(module) + ",0"})
            run = self.start_with_icons("x.plrold", files={holding: older})
            path = run.working_folder + "\\1.ico"
            run.wait_for_log(not_written(path))
            self.assertEqual(run.box_texts(), [
                "Damaged icon image in icon source file, '"
                f"{self.session.windows_path(module).lower()}'"])
            self.assertEqual(run.path(holding).read_bytes(), older)

    # -- a killed process -----------------------------------------------------------------

    def test_killed_mid_run_loses_nothing(self):
        lines = [f"{NOTEPAD},Icon {k}" for k in range(1, 31)]
        with self.fault_case("killed with SIGKILL during start-up"):
            first = self.start("/BATCH:cmds.txt", files={"cmds.txt": batch_text(lines)})
            self.wait_for_bytes(first, read_line(lines[12]), timeout=60, poll=0.02)
            before_kill = log_bytes(first)
            pids = first.windows_pids()
            self.assertTrue(pids)
            for pid in pids:
                os.kill(pid, signal.SIGKILL)
            first.wait_until(lambda: not first.running(), 20, "the killed program to end")
            after_kill = log_bytes(first)
            # Every line written before the kill is there, and every line is whole.
            self.assertTrue(after_kill.startswith(before_kill))
            self.assertTrue(after_kill.endswith(b"\r\n"))
            folder = self.session.unix_path(first.working_folder)
            icons = sorted(folder.glob("*.ico"))
            self.assertGreaterEqual(len(icons), 12)
            for icon in icons:
                self.assertTrue(valid_ico(icon.read_bytes()), icon.name)
            killed_tmp = leftovers(folder)

        with self.fault_case("next run after the kill cleans up"):
            # A temporary of a process that is gone, as a kill in the middle of a write leaves.
            stale = folder / "1.ico.4000000.tmp"
            stale.write_bytes(b"\0\0\1\0half")
            second = self.start_with_icons("/BATCH:cmds.txt", icons=30, wait=90,
                                           appdata=first.env["APPDATA"],
                                           files={"cmds.txt": batch_text(lines)})
            self.assertTrue(log_bytes(second).startswith(after_kill))
            self.assertEqual(leftovers(folder), [], f"after the kill: {killed_tmp}")
            for k in range(1, 31):
                self.assertTrue(valid_ico((folder / f"{k}.ico").read_bytes()), k)

    # -- GUI objects ----------------------------------------------------------------------

    def balance_run(self, icons, ticks):
        """Opens the exit question over a run of `icons` icons, lets `ticks` fade ticks pass,
        answers Yes, and returns the live object counts the program reported."""
        lines = [f"{NOTEPAD},Icon {k}" for k in range(1, icons + 1)]
        run = self.start_with_icons("/BATCH:cmds.txt", icons=icons, wait=90,
                                    files={"cmds.txt": batch_text(lines)}, debug="+debugstr",
                                    answer=False, timeout=ticks * 0.8 + 120)
        run.wait_until(lambda: support.live_counts(run), 20, "the start-up counts")
        dialog = None
        for attempt in range(3):
            self.session.click_icon(run.docked[-1], button=3)
            time.sleep(1.0)
            self.session.x("xdotool", "key", "Up", "Return")
            dialog = self.wait_for_window(EXIT_DIALOG, 10)
            if dialog is not None:
                break
            self.session.x("xdotool", "key", "Escape")
        self.assertIsNotNone(dialog, "the exit question")
        run.wait_until(lambda: sum(c.when == "after a fade tick" for c in support.live_counts(run))
                       >= ticks, ticks * 0.8 * 2 + 30, f"{ticks} fade ticks")
        self.session.x("xdotool", "windowfocus", dialog, "key", "alt+y")
        run.wait_until(lambda: not run.running(), 20, "the program to end after Yes")
        self.assertEqual(run.exit_code, 0)
        counts = support.live_counts(run)
        self.assertIn(f"Unloading {icons} icons and terminating...", run.messages())
        return counts

    def wait_for_window(self, title, timeout):
        deadline = time.monotonic() + timeout
        while True:
            found = self.session.x("xdotool", "search", "--onlyvisible", "--name",
                                   "^" + re.escape(title) + "$").stdout.split()
            if found or time.monotonic() > deadline:
                return int(found[0]) if found else None
            time.sleep(0.1)

    def test_gui_objects_balance_over_the_fade(self):
        for icons, ticks in ((3, 10), (30, 200)):
            name = f"{icons} icons, {ticks} fade ticks"
            with self.fault_case(f"object balance: {name}"):
                counts = self.balance_run(icons, ticks)
                start = [c for c in counts if c.when == "after start-up"]
                fade = [c for c in counts if c.when == "after a fade tick"]
                end = [c for c in counts if c.when == "at shutdown"]
                self.assertEqual(len(start), 1)
                self.assertGreaterEqual(len(fade), ticks)
                self.assertEqual(len(end), 1)
                self.results.balance(name, {
                    "after start-up": start[0].values, "after the first tick": fade[0].values,
                    "after the last tick": fade[-1].values, "ticks": len(fade),
                    "at shutdown": end[0].values})
                # One picture per icon once up; the first tick adds each icon's crossed picture,
                # and nothing grows tick by tick after that.
                self.assertEqual(start[0].values["icons"], icons)
                grown = {kind: fade[0].values[kind] - value
                         for kind, value in start[0].values.items()}
                # The crossed pictures are composed from pixels: no bitmap, device context or
                # brush outlives their making. The font is the question's own.
                expected = dict.fromkeys(grown, 0)
                expected.update(icons=icons, fonts=1)
                self.assertEqual(grown, expected)
                for tick in fade:
                    self.assertEqual(tick.values, fade[0].values)
                self.assertEqual(set(end[0].values.values()), {0}, end[0].values)


if __name__ == "__main__":
    unittest.main(verbosity=2)
