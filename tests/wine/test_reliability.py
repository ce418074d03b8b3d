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
import reliability_support as support  # noqa: E402
from desktop import choose_last_menu_item  # noqa: E402
from harness import batch_text  # noqa: E402
from ico import valid_ico  # noqa: E402
from registry import RegistryRows  # noqa: E402
from testtools import end_tool, hold_file  # noqa: E402
from texts import (ASSOCIATED_ICON_FOUND, COMMAND_LINE, EXIT_TITLE, OVERFLOW,  # noqa: E402
                   READ_LINE, SHELL32_DEFAULT, adding, command_line, damaged_group,
                   damaged_image, found, holding_file_failed, limit_reached, log_not_opened,
                   not_found, not_loaded, not_written, opening_batch, read_line,
                   resource_missing, unloading, unreadable_batch)
from waits import wait_until  # noqa: E402

NOTEPAD = "C:\\windows\\notepad.exe"
# The longest command line Windows hands a program: 32,767 characters with the closing NUL.
COMMAND_LINE_CEILING = 32766


def log_bytes(run):
    """The raw trace log, or None when there is none (or something else stands in its place)."""
    try:
        return run.log_path.read_bytes()
    except OSError:
        return None


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
        cls.registry = RegistryRows(cls.session)
        # A crash ends the program with a backtrace on its stderr instead of a dialog that keeps
        # the crashed process alive and takes the focus from every later test.
        cls.session.wine("reg", "add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog",
                         "/t", "REG_DWORD", "/d", "0", "/f")

    @classmethod
    def tearDownClass(cls):
        cls.registry.delete_all()
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

    def assert_lives_on_without_a_box(self, run):
        self.assertEqual(run.box_texts(), [])
        self.assertIsNone(run.crash_report())
        self.assertTrue(run.running())

    def register(self, icons):
        """Registers each {extension: DefaultIcon text} under a class of its own."""
        for extension, icon in icons.items():
            self.registry.associate(extension, "PerchletReliability" + extension, icon)
        self.registry.apply()

    def hold(self, windows_path, milliseconds=60000, after=None):
        holder = hold_file(self.session, windows_path, milliseconds, after)
        self.addCleanup(end_tool, holder)
        return holder

    @staticmethod
    def wait_for_count(run, message, count, timeout, poll, answer=False):
        """Waits until the raw log holds the message `count` times (the 10,000-line log is too
        long to parse at every poll); returns when it was first seen so. With `answer` the
        program's message boxes are answered meanwhile."""
        wanted = message.encode("utf-8") + b"\r\n"  # a new log is UTF-8

        def seen():
            data = log_bytes(run) or b""
            if data.count(wanted) >= count:
                return time.monotonic()
            if not run.running():
                raise AssertionError(f"the program ended with {data.count(wanted)} of {count} "
                                     f"{message[:120]!r}")
            return None
        return wait_until(seen, timeout, f"{count} {message[:120]!r}", poll,
                          meanwhile=run._poll if answer else None)

    # -- malformed icon modules ---------------------------------------------------------------

    def test_malformed_icon_groups(self):
        small = support.image(16, 16, 4, 21)
        large = support.image(32, 32, 4, 22)
        images = {101: small, 102: large}
        entry_small = (16, 16, 4, len(small), 101)
        entry_large = (32, 32, 4, len(large), 102)
        group = support.group_bytes
        cases = [
            # (name, group bytes, outcome: "file", "nothing", a box's text, or its text of a path)
            ("valid group", group([entry_small, entry_large]), "file"),
            ("group shorter than its header", b"\0\0\1\0", damaged_group),
            # Not an icon group's header: copied as read it would be no icon file at all.
            ("reserved field not 0", group([entry_small], reserved=1), damaged_group),
            ("type not 1", group([entry_small], kind=2), damaged_group),
            ("count 0", group([entry_small], count=0), "nothing"),
            ("negative count", group([entry_small], count=0xFFFF), "nothing"),
            ("count larger than the group", group([entry_small], count=3), damaged_group),
            ("count whose entries overflow 16 bits", group([entry_small], count=0x7FFF),
             OVERFLOW),
            ("bytes in resource 0", group([(16, 16, 4, 0, 101)]), "file"),
            ("bytes in resource larger than the image",
             group([(16, 16, 4, len(small) + 1000, 101)]), damaged_image),
            ("bytes in resource smaller than the image",
             group([(16, 16, 4, len(small) - 100, 101)]), "file"),
            ("bytes in resource 0xFFFFFFFF", group([(16, 16, 4, 0xFFFFFFFF, 101)]),
             damaged_image),
            ("bytes in resource 0xFFFFFFFF, offsets overflow",
             group([(16, 16, 4, 0xFFFFFFFF, 101), entry_large]), OVERFLOW),
            ("missing image id", group([entry_small, (16, 16, 4, 10, 999)]), resource_missing),
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
            elif callable(outcome):
                expected = outcome(path.lower())  # the association is read in lower case
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
                     damaged_group(cut_path.lower())))
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
                     damaged_image(past_path.lower())))

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
            self.assertIsNone(run.crash_report())
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
                    self.assertNotIn(not_loaded(run.holding_path(1)), trace)
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
            self.assertTrue(boxes[0].startswith(log_not_opened(f"{folder}\\Perchlet.log")), boxes)
            self.assertEqual(boxes[1:], [holding_file_failed(run.holding_path(1))])
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
                    self.wait_for_docked(run, 1, before)
                else:
                    run = self.start_with_icons(NOTEPAD, files=files)
                boxes = run.box_texts()
                self.assertEqual(len(boxes), 1, boxes)
                self.assertTrue(boxes[0].startswith(
                    log_not_opened(f"{run.working_folder}\\Perchlet.log")), boxes)
                self.assertTrue(run.running())
                # The run goes on: its icon is extracted and written as usual.
                self.assertTrue(valid_ico(run.holding_file(1).read_bytes()))
                check(run)
                run.kill()
                if holder is not None:
                    end_tool(holder)

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
            text = unreadable_batch("cmds.txt", "Sharing violation")
            self.assertEqual(run.box_texts(), [text])
            self.assertEqual(run.messages()[-3:], [
                command_line("/BATCH:cmds.txt"), opening_batch("cmds.txt"), text])
            end_tool(holder)
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
                after_icons = self.wait_for_count(run, read_line(lines[30]), 1, 120, poll=0.01,
                                                  answer=True)
                ended = self.wait_for_count(run, limit_reached(NOTEPAD), total - 30, 120,
                                            poll=0.01)
                trace = run.messages()
                self.assertEqual(sum(m.startswith(READ_LINE) for m in trace), total)
                self.assertEqual(trace.count(adding(NOTEPAD)), 30)
                self.assertEqual(trace.count(limit_reached(NOTEPAD)), total - 30)
                self.assertEqual(trace[-1], limit_reached(NOTEPAD))
                self.assertEqual(run.box_texts(), [])
                self.wait_for_docked(run, 30, before)
                self.assertIsNone(run.crash_report())
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

    def test_batch_line_of_one_megabyte(self):
        with self.fault_case("batch line of 1 MB"):
            head = NOTEPAD + " "
            tail = ",A line of one megabyte"
            line = head + "p" * ((1 << 20) - len(head) - len(tail)) + tail
            self.assertEqual(len(line), 1 << 20)
            run = self.start_with_icons("/BATCH:cmds.txt", files={"cmds.txt": batch_text([line])})
            command = line[:-len(tail)]
            run.wait_for_log(found(SHELL32_DEFAULT))
            trace = run.messages()
            # Both lines whole: nothing of the line is cut or lost on its way to the log.
            self.assertIn(read_line(line), trace)
            self.assertIn(adding(command), trace)
            self.assert_lives_on_without_a_box(run)

    def test_batch_file_of_one_gibibyte_is_refused(self):
        with self.fault_case("batch file of 1 GiB"):
            def write(folder):  # 20 MB of comment lines, then a sparse rest
                (folder / "cmds.txt").write_bytes((b";" * 98 + b"\r\n") * 200_000)
                os.truncate(folder / "cmds.txt", 1 << 30)
            run = self.start("/BATCH:cmds.txt", prepare=write, answer=False)
            run.wait_for_boxes(1, 180)
            # While the box waits, the peak so far covers all the program's reading.
            peak = max(int(re.search(r"VmHWM:\s+(\d+)", Path(f"/proc/{pid}/status")
                                     .read_text()).group(1)) for pid in run.windows_pids())
            self.assertLess(peak, 256 * 1024, "kB")
            text = unreadable_batch("cmds.txt", "The file is larger than 16 MiB")
            self.assertEqual(run.box_texts(), [text])
            self.assertEqual(run.messages()[-2:], [opening_batch("cmds.txt"), text])
            run.answer = True
            self.assertEqual(run.wait_for_exit(), 1)

    # -- the command line -----------------------------------------------------------------

    def test_longest_command_line(self):
        with self.fault_case(f"command line of {COMMAND_LINE_CEILING:,} characters"):
            run, before = self.start_with_command_line("q", COMMAND_LINE_CEILING)
            self.wait_for_docked(run, 1, before)
            arguments = run.cmdline[len(run.exe) + 1:]
            trace = run.messages()
            self.assertIn(command_line(arguments), trace)
            self.assertIn(adding(arguments), trace)
            self.assert_lives_on_without_a_box(run)
            run.kill()

        with self.fault_case("command line beyond the system's ceiling"):
            # One more character, or a whole megabyte, is refused by the system before the
            # program runs; Wine hands on a megabyte cut to a 16-bit length, which the program
            # then takes like any other command line.
            for total in (COMMAND_LINE_CEILING + 1, 1 << 20):
                run, before = self.start_with_command_line("r", total)
                run.wait_until(lambda: not run.running() or run.messages() and
                               self.session.new_tray_icons(before), 30,
                               "the launch to end or the icon")
                if run.running():
                    traced = [m for m in run.messages() if m.startswith(COMMAND_LINE)]
                    self.assertEqual(len(traced), 1)
                    self.assertTrue(
                        run.cmdline.startswith(run.exe + " " + traced[0][len(COMMAND_LINE):-1]))
                else:
                    self.assertIn("CreateProcessA failed", run.stderr_text(), total)
                    self.assertNotIn("started process", run.stdout_path.read_text(), total)
                run.kill()

    def start_with_command_line(self, letter, total):
        """Starts a run whose whole command line is `total` characters long: the program, the
        path of Notepad, and the letter as often as it takes. Returns it and the icons before."""
        run = harness.PerchletRun(self.session)
        head = run.exe + " " + NOTEPAD + " "
        run.cmdline = head + letter * (total - len(head))
        before = self.session.tray_icons()
        run.start()
        self.addCleanup(run.close)
        return run, before

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
            run.wait_for_log(found(value.lower()))
            holding = run.holding_file(1)
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
            path = run.holding_path(1)
            self.wait_for_docked(run, 1, before)
            run.wait_for_log(not_written(path))
            self.assertEqual(run.box_texts(), [holding_file_failed(path)])
            self.assertEqual(run.path(holding).read_bytes(), older)
            self.assertEqual(leftovers(run.path(holding).parent), [])
            run.kill()
            end_tool(holder)

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
            self.wait_for_docked(run, 1, before)
            run.wait_until(lambda: holder.poll() is not None, 10, "the holder to let go")
            self.assertEqual(holder.returncode, 0)  # it saw the new copy before it let go
            run.wait_until(lambda: run.path(holding).read_bytes() != older, 10, "the new copy")
            self.assertTrue(valid_ico(run.path(holding).read_bytes()))
            self.assertEqual(run.box_texts(), [])
            self.assertEqual(leftovers(run.path(holding).parent), [])
            run.kill()

        with self.fault_case("holding file's name taken by a folder"):
            run = self.start_with_icons(NOTEPAD, files={holding + "/keep.txt": b"kept"})
            path = run.holding_path(1)
            run.wait_for_log(not_found(path))
            self.assertEqual(run.box_texts(), [holding_file_failed(path)])
            self.assertEqual(run.path(holding + "/keep.txt").read_bytes(), b"kept")
            self.assertEqual(leftovers(run.path(holding).parent), [])

        with self.fault_case("read-only holding file"):
            run = self.start_with_icons(NOTEPAD, files={holding: older},
                                        attributes={holding: "+r"})
            path = run.holding_path(1)
            run.wait_for_log(re.compile("^" + re.escape(ASSOCIATED_ICON_FOUND)))
            run.wait_until(lambda: run.path(holding).read_bytes() != older or run.boxes(), 10,
                           "the holding file replaced or a box")
            time.sleep(0.5)
            data = run.path(holding).read_bytes()
            if run.box_texts():
                # Windows keeps a read-only file: it stays as it was and is not shown.
                self.assertEqual(run.box_texts(), [holding_file_failed(path)])
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
            path = run.holding_path(1)
            run.wait_for_log(not_written(path))
            self.assertEqual(run.box_texts(), [
                damaged_image(self.session.windows_path(module).lower())])
            self.assertEqual(run.path(holding).read_bytes(), older)

    # -- a killed process -----------------------------------------------------------------

    def test_killed_mid_run_loses_nothing(self):
        lines = [f"{NOTEPAD},Icon {k}" for k in range(1, 31)]
        with self.fault_case("killed with SIGKILL during start-up"):
            first = self.start("/BATCH:cmds.txt", files={"cmds.txt": batch_text(lines)})
            self.wait_for_count(first, read_line(lines[12]), 1, 60, poll=0.02, answer=True)
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
        dialog = choose_last_menu_item(self.session, run, run.docked[-1],
                                       lambda: self.session.windows_titled(EXIT_TITLE),
                                       timeout=10)[0]
        run.wait_until(lambda: sum(c.when == "after a fade tick" for c in support.live_counts(run))
                       >= ticks, ticks * 0.8 * 2 + 30, f"{ticks} fade ticks")
        self.session.x("xdotool", "windowfocus", dialog, "key", "alt+y")
        run.wait_until(lambda: not run.running(), 20, "the program to end after Yes")
        self.assertEqual(run.exit_code, 0)
        counts = support.live_counts(run)
        self.assertIn(unloading(icons), run.messages())
        return counts

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
