#!/usr/bin/env python3
"""End-to-end tests of start-up under Wine: command intake, batch files, the trace log, the
options file and %NAME% expansion, seen through the log, the message boxes and the tray."""

import datetime
import re
import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
from harness import batch_text  # noqa: E402
from texts import (ADDING, COMMAND_LINE, EMPTY_COMMAND_LINE_BOX, INITIALIZING,  # noqa: E402
                   MISSING_BATCH, OPENING_BATCH, READ_LINE, READING_OPTIONS, adding,
                   command_line, expansion_failed, expansion_failed_box, malformed,
                   missing_batch, opening_batch, options_not_found, read_line, setting_read,
                   unrecognised_setting)

# The message intake writes; icon selection adds lines of its own in between.
INTAKE = (COMMAND_LINE, OPENING_BATCH, READ_LINE, ADDING, MISSING_BATCH)


def preamble(run):
    """The first lines of every run without an options file."""
    return [INITIALIZING, READING_OPTIONS, options_not_found(f"{run.win_folder}\\Perchlet.ini")]


def intake(messages):
    return [message for message in messages if message.startswith(INTAKE)]


def lines_with(text, line_end):
    return "".join(line + line_end for line in text)


class StartupTest(harness.WineTestCase):

    def assert_ends_by_itself(self, run):
        self.assertFalse(run.running(), "the program should have ended by itself")

    # -- command intake ---------------------------------------------------------------------

    def test_empty_command_line_asks_for_one_and_ends(self):
        run = self.run_to_exit("")
        self.assertEqual(run.box_texts(), [EMPTY_COMMAND_LINE_BOX])
        self.assertEqual(run.messages(), preamble(run) + [command_line("")])
        self.assertEqual(run.exit_code, 1, "a run that could not start says so to its caller")

    def test_a_version_dll_beside_the_program_never_serves_it(self):
        # Windows looks beside a program first for a DLL that is no KnownDLL; Wine does so under
        # this override. The planted copy writes down each module that calls it. Two readers
        # beside it show that this can fail: an import of version.dll is served by the copy.
        overrides = {"WINEDLLOVERRIDES": "mscoree,mshtml=;version=n,b"}
        tools = harness.build_dir() / "testtools"
        readers = ("version_import_reader.exe", "version_system_reader.exe")
        files = {name: (tools / name).read_bytes() for name in readers}
        files["version.dll"] = (tools / "planted" / "version.dll").read_bytes()
        run = self.run_to_exit("", files=files, wine_env=overrides)
        self.assertEqual(run.messages(), preamble(run) + [command_line("")],
                         "the version read from System32's version.dll, as before")
        for reader in readers:
            proc = harness._spawn([harness.wine_loader(), str(run.path(reader))],
                                  self.session.env(**overrides), run.path(reader + ".txt"))
            self.assertEqual(proc.wait(timeout=60), 0, reader)
        callers = run.path("version-callers.txt").read_text().lower()
        self.assertIn("\\version_import_reader.exe\n", callers)
        self.assertNotIn("\\version_system_reader.exe\n", callers)
        self.assertNotIn("\\perchlet.exe\n", callers)

    def test_leading_blank_makes_the_switch_part_of_a_command(self):
        # Two blanks after the program's name: the argument text starts with one.
        run = self.start_with_icons(" /BATCH:cmds.txt", last_message=adding(" /BATCH:cmds.txt"),
                                    files={"cmds.txt": batch_text(["C:\\windows\\notepad.exe"])})
        self.assertEqual(run.messages()[:3], preamble(run))
        self.assertEqual(intake(run.messages()),
                         [command_line(" /BATCH:cmds.txt"), adding(" /BATCH:cmds.txt")])

    def test_missing_batch_file_is_reported_and_ends(self):
        cases = [
            # (what, argument text, files, attributes, name in the report)
            ("no such file", "/BATCH:absent.txt", {}, {}, "absent.txt"),
            ("no such folder", "/BATCH:C:\\nowhere\\cmds.txt", {}, {}, "C:\\nowhere\\cmds.txt"),
            ("a folder of that name", "/BATCH:cmds", {"cmds": None}, {}, "cmds"),
            ("a hidden file", "/BATCH:cmds.txt", {"cmds.txt": batch_text(["notepad.exe"])},
             {"cmds.txt": "+h"}, "cmds.txt"),
            ("a system file", "/BATCH:cmds.txt", {"cmds.txt": batch_text(["notepad.exe"])},
             {"cmds.txt": "+s"}, "cmds.txt"),
            ("quotes belong to the name", '/BATCH:"cmds.txt"',
             {"cmds.txt": batch_text(["notepad.exe"])}, {}, '"cmds.txt"'),
        ]
        for what, args, files, attributes, name in cases:
            with self.subTest(what):
                run = self.run_to_exit(args, files=files, attributes=attributes)
                self.assertEqual(run.box_texts(), [missing_batch(name)])
                self.assertEqual(run.messages(),
                                 preamble(run) + [command_line(args), missing_batch(name)])
                self.assertEqual(run.exit_code, 1)

    def test_batch_of_comments_ends_after_opening_it(self):
        comments = ["; Perchlet commands", ";C:\\windows\\notepad.exe", "", "    ", ";"]
        cases = [
            # (what, switch, program path in quotes, folder name, file content)
            ("upper-case switch", "/BATCH:", False, "perchlet-", batch_text(comments)),
            ("lower-case switch, quoted path with a blank", "/batch:", True, "perchlet test-",
             batch_text(comments)),
            ("mixed-case switch, lines ended by LF only", "/Batch:", False, "perchlet-",
             lines_with(comments, "\n")),
            ("empty file", "/BATCH:", False, "perchlet-", ""),
        ]
        for what, switch, quoted, folder_prefix, content in cases:
            with self.subTest(what):
                args = switch + "cmds.txt"
                run = self.run_to_exit(args, quoted=quoted, folder_prefix=folder_prefix,
                                       files={"cmds.txt": content})
                self.assertEqual(run.box_texts(), [])
                self.assertEqual(run.messages(), preamble(run) + [
                    command_line(args), opening_batch("cmds.txt")])
                self.assertEqual(run.exit_code, 0, "nothing to do is no failure")

    def test_batch_lines_are_taken_in_order(self):
        lines = [
            "; Perchlet commands",
            "C:\\windows\\notepad.exe,Notes",
            "",
            "   ",
            ";C:\\windows\\regedit.exe",
            "  ;C:\\windows\\write.exe",
            "\t",
            'C:\\windows\\regedit.exe,"Registry, the editor"',
        ]
        expected = [
            command_line("/BATCH:cmds.txt"),
            opening_batch("cmds.txt"),
            read_line("C:\\windows\\notepad.exe,Notes"),
            adding("C:\\windows\\notepad.exe"),
            # Blanks before the ";" make it a command; a tab is no blank.
            read_line("  ;C:\\windows\\write.exe"),
            adding("  ;C:\\windows\\write.exe"),
            read_line("\t"),
            adding("\t"),
            read_line('C:\\windows\\regedit.exe,"Registry, the editor"'),
            adding("C:\\windows\\regedit.exe"),
        ]
        for line_end in ("\r\n", "\n"):
            with self.subTest(line_end=repr(line_end)):
                run = self.start_with_icons("/BATCH:cmds.txt", icons=4,
                                            last_message=adding("C:\\windows\\regedit.exe"),
                                            files={"cmds.txt": lines_with(lines, line_end)})
                self.assertEqual(run.messages()[:3], preamble(run))
                self.assertEqual(intake(run.messages()), expected)
                run.kill()

    def test_malformed_line_is_reported_and_skipped(self):
        bad = 'C:\\windows\\notepad.exe,"My notes'
        # A single command: nothing is added, so the program ends after the report.
        run = self.run_to_exit(bad)
        self.assertEqual(run.box_texts(), [malformed(bad)])
        self.assertEqual(run.messages(), preamble(run) + [command_line(bad)])

        # In a batch the next line is still taken.
        good = "C:\\windows\\notepad.exe,Notes"
        run = self.start_with_icons("/BATCH:cmds.txt",
                                    last_message=adding("C:\\windows\\notepad.exe"),
                                    files={"cmds.txt": batch_text([bad, good])})
        self.assertEqual(run.box_texts()[:1], [malformed(bad)])
        self.assertEqual(intake(run.messages()), [
            command_line("/BATCH:cmds.txt"), opening_batch("cmds.txt"),
            read_line(bad), read_line(good), adding("C:\\windows\\notepad.exe")])

    # -- the trace log ----------------------------------------------------------------------

    def test_two_runs_append_to_one_log(self):
        first = self.run_to_exit("")
        second = self.run_to_exit("/BATCH:absent.txt", appdata=first.env["APPDATA"])
        self.assertEqual(second.log_path, first.log_path)
        self.assertEqual(second.messages(),
                         preamble(first) + [command_line("")] +
                         preamble(second) + [command_line("/BATCH:absent.txt"),
                                             missing_batch("absent.txt")])

    def test_second_run_appends_while_the_first_holds_the_log(self):
        first = self.start_with_icons("C:\\windows\\notepad.exe",
                                      last_message=adding("C:\\windows\\notepad.exe"))
        second = self.run_to_exit("", appdata=first.env["APPDATA"])
        self.assertEqual(second.box_texts(), [EMPTY_COMMAND_LINE_BOX])
        messages = second.messages()
        self.assertIn(adding("C:\\windows\\notepad.exe"), messages)
        start = messages.index(INITIALIZING, 1)
        self.assertEqual(messages[start:], preamble(second) + [command_line("")])
        self.assertTrue(first.running())

    def test_log_lines_have_time_stamp_and_indent(self):
        started = datetime.datetime.now().replace(microsecond=0)
        run = self.start("50% off", files={"Perchlet.ini": "Colour=Blue\r\n"})
        run.wait_for_log(adding(""))
        data = run.log_path.read_bytes()
        ended = datetime.datetime.now()
        self.assertTrue(data.endswith(b"\r\n"))
        self.assertEqual(data.count(b"\n"), data.count(b"\r\n"), "every line ends with CR LF")
        self.assertTrue(data.startswith(harness.UTF8_BOM), "a new log starts with the UTF-8 mark")
        lines = harness.decode_log(data).split("\r\n")[:-1]
        self.assertGreaterEqual(len(lines), 6)
        # Wine's default locale writes dates with "/" and times with ":".
        pattern = re.compile(r"(\d\d)/(\d\d)/(\d{4}) (\d\d):(\d\d):(\d\d) (.*)")
        for line in lines:
            with self.subTest(line=line):
                match = pattern.fullmatch(line)
                self.assertIsNotNone(match)
                day, month, year, hour, minute, second = map(int, match.groups()[:6])
                stamp = datetime.datetime(year, month, day, hour, minute, second)
                self.assertTrue(started <= stamp <= ended, f"{stamp} not in {started}..{ended}")
                rest = match.group(7)
                problem = rest.upper().startswith(("WARNING", "ERROR"))
                if problem:
                    self.assertNotEqual(rest[:1], " ", "warnings and errors are written flush")
                else:
                    self.assertTrue(rest.startswith("   ") and rest[3:4] != " ",
                                    "other messages are indented by three blanks")
        flush = [line.message for line in run.log_lines() if line.flush]
        self.assertGreaterEqual(len(flush), 2, flush)
        self.assertEqual(flush[0], unrecognised_setting("COLOUR"))
        self.assertRegex(flush[1], expansion_failed("50% off"))

    def test_working_folder(self):
        scratch = Path(tempfile.mkdtemp(prefix="perchlet-scratch-", dir=self.session.drive_c))
        scratch_win = self.session.windows_path(scratch)

        # Without APPDATA the log goes straight into TEMP, without a folder of its own.
        run = self.run_to_exit("", env={"TEMP": scratch_win}, appdata="")
        self.assertEqual(run.log_path, scratch / "Perchlet.log")
        self.assertEqual(run.messages(), preamble(run) + [command_line("")])
        self.assertFalse((scratch / "Perchlet").exists())

        # A working folder that cannot be made (its parent is missing) is reported, and the
        # program goes on without a log.
        appdata = scratch_win + "\\missing"
        run = self.run_to_exit("", appdata=appdata)
        boxes = run.box_texts()
        self.assertEqual(len(boxes), 2, boxes)
        self.assertIn(appdata + "\\Perchlet", boxes[0])
        self.assertEqual(boxes[1], EMPTY_COMMAND_LINE_BOX)
        self.assertFalse((scratch / "missing").exists())

    # -- the options file -------------------------------------------------------------------

    def test_options_file_beside_the_program(self):
        cases = [
            # (what, Perchlet.ini, trace lines after "Reading Options...")
            ("any letter case, two settings on a line, an unknown key",
             "; Perchlet options\r\nclickmode=single\r\n"
             "ExitDisabled=No,RightMouseMenuDisabled=false\r\n"
             "Colour=Blue\r\n",
             [setting_read("ClickMode", 514), setting_read("ExitDisabled", True),
              setting_read("RightMouseMenuDisabled", False), unrecognised_setting("COLOUR")]),
            ("section head, blanks around the equals sign",
             "[Options]\r\nClickMode = Single\r\n",
             [unrecognised_setting(""), unrecognised_setting("CLICKMODE ")]),
            ("comment with a comma, repeated key, item without an equals sign",
             "; see the notes, below\r\nClickMode=Double\r\nExitDisabled=False\r\nExitDisabled\r\n",
             [unrecognised_setting(""), setting_read("ClickMode", 515),
              setting_read("ExitDisabled", False), setting_read("ExitDisabled", True)]),
            ("a quoted item keeps its comma, lines ended by LF only",
             '"ClickMode=Single,Double"\nRightMouseMenuDisabled=\n',
             [setting_read("ClickMode", 515), setting_read("RightMouseMenuDisabled", True)]),
        ]
        for what, ini, expected in cases:
            with self.subTest(what):
                run = self.run_to_exit("", files={"Perchlet.ini": ini})
                self.assertEqual(run.box_texts(), [EMPTY_COMMAND_LINE_BOX])
                self.assertEqual(run.messages(),
                                 [INITIALIZING, READING_OPTIONS] + expected + [command_line("")])
                for line in run.log_lines():
                    self.assertEqual(line.flush, line.message.startswith("Warning"), line.raw)

    def test_options_file_not_found(self):
        settings = "ClickMode=Single\r\n"
        cases = [
            ("no file", {}, {}),
            ("a hidden file", {"Perchlet.ini": settings}, {"Perchlet.ini": "+h"}),
            # The options are read beside the program, not in the working folder.
            ("only in the working folder", {"AppData/Perchlet/Perchlet.ini": settings}, {}),
        ]
        for what, files, attributes in cases:
            with self.subTest(what):
                run = self.run_to_exit("", files=files, attributes=attributes)
                self.assertEqual(run.messages(), preamble(run) + [command_line("")])

    # -- %NAME% expansion -------------------------------------------------------------------

    def test_expansion_failure_warns_and_adds_an_empty_command(self):
        run = self.start_with_icons("50% off", last_message=adding(""))
        self.assertEqual(run.box_texts()[:1], [expansion_failed_box("50% off")])
        messages = run.messages()
        start = messages.index(command_line("50% off"))
        self.assertRegex(messages[start + 1], expansion_failed("50% off"))
        self.assertEqual(messages[start + 2], adding(""))

    def test_expansion_of_commands(self):
        windir = self.session.windows_env["WINDIR"]
        cases = [
            # (batch line, command given to the tray)
            ("%windir%\\notepad.exe", windir + "\\notepad.exe"),
            ("%WinDir%\\notepad.exe,Notes", windir + "\\notepad.exe"),
            ("%windir%\\%windir%.exe", windir + "\\%windir%.exe"),
            ("%PERCHLET_NO_SUCH_VARIABLE%\\%windir%\\a.exe",
             "%PERCHLET_NO_SUCH_VARIABLE%\\%windir%\\a.exe"),
            ("%PERCHLET_TOOLS%tool.exe,%windir%,%windir%.ico", "C:\\tools\\tool.exe"),
            ("C:\\sale 100%", "C:\\sale 100%"),
        ]
        run = self.start_with_icons(
            "/BATCH:cmds.txt", icons=len(cases), last_message=adding(cases[-1][1]),
            env={"PERCHLET_TOOLS": "C:\\tools\\"},
            files={"cmds.txt": batch_text([line for line, _ in cases])})
        expected = []
        for line, command in cases:
            expected += [read_line(line), adding(command)]
        self.assertEqual(intake(run.messages())[2:], expected)


if __name__ == "__main__":
    unittest.main(verbosity=2)
