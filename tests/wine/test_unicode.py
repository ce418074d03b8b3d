#!/usr/bin/env python3
"""End-to-end tests of text beyond the ANSI code page under Wine (code page 1252): batch files
in each encoding, options, log and launch target in folders that code page cannot hold, the
trace log's encoding, and the tooltip the shell is handed."""

import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
import testtools  # noqa: E402
from harness import UTF8_BOM, batch_text  # noqa: E402
from ico import solid_ico  # noqa: E402
from texts import (EMPTY_COMMAND_LINE_BOX, INITIALIZING, adding, found,  # noqa: E402
                   launching, missing_batch, not_found, not_loaded, read_line, setting_read)

# Cyrillic and CJK. In code page 932, ソ (83 5C) and 表 (95 5C) end in a "\" byte.
FOLDER = "perchlet-Перчлет表-"
TARGETS = "Папка_ソ表"
# 62 UTF-16 units of Japanese, then a character of two units that the 64-unit field (63 and
# the NUL) cannot hold whole, then more.
LONG_TIP = "ツールチップ" * 10 + "タナ" + "\U00020B9F" + "カ"
TIP_SHOWN = LONG_TIP[:62]

ENCODINGS = {
    "utf-8": lambda text: text.encode("utf-8"),
    "utf-8 with mark": lambda text: UTF8_BOM + text.encode("utf-8"),
    "utf-16": lambda text: ("\ufeff" + text).encode("utf-16-le"),
}


class UnicodeTest(harness.WineTestCase):

    def fresh_folder(self, prefix):
        """A new folder of the prefix's drive C:, as a Windows path."""
        return self.session.windows_path(tempfile.mkdtemp(prefix=prefix, dir=self.session.drive_c))

    def test_batch_files_in_each_encoding_launch_from_folders_beyond_the_code_page(self):
        fake = testtools.FakeTray(self.session, "", "unicode")
        self.addCleanup(fake.stop)
        for name, encode in ENCODINGS.items():
            with self.subTest(encoding=name):
                appdata = self.fresh_folder("данные表-")
                written = {}

                def prepare(folder):
                    target = f"{self.session.windows_path(folder)}\\{TARGETS}\\mark.cmd"
                    written.update(target=target, line=f"{target},{LONG_TIP}")
                    (folder / TARGETS).mkdir()
                    (folder / TARGETS / "mark.cmd").write_bytes(b'@echo x> "%~dp0launched.txt"\r\n')
                    # The comment first: a mark stuck to the line would make it a command.
                    (folder / TARGETS / "cmds.txt").write_bytes(
                        encode(batch_text([f"; {TARGETS}", written["line"]])))

                run = self.start_with_icons(f"/BATCH:{TARGETS}\\cmds.txt", prepare=prepare,
                                            files={"Perchlet.ini": UTF8_BOM + b"ClickMode=Single\r\n"},
                                            appdata=appdata, folder_prefix=FOLDER)
                run.wait_for_log(adding(written["target"]))
                icons = run.docked

                # The log in the Cyrillic folder, the options beside the program.
                self.assertEqual(run.log_path.parent, self.session.unix_path(appdata + "\\Perchlet"))
                messages = run.messages()
                self.assertEqual(messages[0], INITIALIZING)
                self.assertIn(setting_read("ClickMode", 514), messages)
                self.assertEqual([m for m in messages if m.startswith("Read batch")],
                                 [read_line(written["line"])])

                # The shell is handed the tip cut before the pair.
                tips = [r["tip"] for r in fake.requests() if r["message"] == "ADD"]
                self.assertEqual(tips[-1:], [TIP_SHOWN])

                self.session.click_icon(icons[0])
                marker = run.path(f"{TARGETS}/launched.txt")
                run.wait_until(marker.exists, 15, "the launched file's marker")
                self.assertIn(launching(written["target"]), run.messages())
                run.kill()

    def test_trace_log_new_shared_and_continued_in_its_code_page(self):
        # Two runs at once on a new log: one mark, at the start.
        appdata = self.fresh_folder("perchlet-log-")
        runs = [harness.PerchletRun(self.session, "", appdata=appdata) for _ in range(2)]
        for run in runs:
            run.start()
            self.addCleanup(run.close)
        for run in runs:
            run.wait_for_exit()
            self.assertEqual(run.box_texts(), [EMPTY_COMMAND_LINE_BOX])
        data = runs[0].log_path.read_bytes()
        self.assertTrue(data.startswith(UTF8_BOM))
        self.assertEqual(data.count(UTF8_BOM), 1, "one mark in the shared log")
        self.assertEqual(runs[0].messages().count(INITIALIZING), 2)

        # An older log without the mark goes on in code page 1252: what it cannot hold is "?",
        # not a look-alike (ā would become a).
        missing = "Жé-ā.txt"
        old = "01/01/2020 00:00:00    an older line, café\r\n".encode("cp1252")

        def older_log(folder):
            (folder / "AppData" / "Perchlet").mkdir(parents=True)
            (folder / "AppData" / "Perchlet" / "Perchlet.log").write_bytes(old)
        run = self.start(f"/BATCH:{missing}", prepare=older_log)
        run.wait_for_exit()
        self.assertEqual(run.box_texts(), [missing_batch(missing)])
        data = run.log_path.read_bytes()
        self.assertTrue(data.startswith(old))
        self.assertNotIn(UTF8_BOM, data)
        self.assertIn(missing_batch("?é-?.txt").encode("cp1252"), data)

    def test_code_page_932_paths_whose_trail_bytes_are_ascii(self):
        # A Japanese system. In code page 932 ソ and 表 end in "\\", タ in "^", ナ in "i" and
        # カ in "J", which lower-casing the bytes would turn into ニ.
        folder = "ソ表\\タナカ"
        icon = f"{folder}\\App.ICO"
        written = {}

        def prepare(run_folder):
            base = self.session.windows_path(run_folder)
            (run_folder / "ソ表" / "タナカ").mkdir(parents=True)
            (run_folder / "ソ表" / "タナカ" / "App.ICO").write_bytes(solid_ico((0, 128, 255)))
            (run_folder / "ソ表" / "タナカ" / "mark.cmd").write_bytes(
                b'@echo x> "%~dp0launched.txt"\r\n')
            written.update(target=f"{base}\\{folder}\\mark.cmd",
                           document=f"{base}\\{folder}\\表.pchjp932", icon=f"{base}\\{icon}")
            (run_folder / "cmds.txt").write_bytes(batch_text(
                [written["target"], written["document"]]).encode("cp932"))
            self.register(".pchjp932", "PerchletJapanese932", written["icon"])

        run = self.start_with_icons("/BATCH:cmds.txt", icons=2, prepare=prepare,
                                    files={"Perchlet.ini": "ClickMode=Single\r\n"},
                                    folder_prefix="perchlet-", locale="ja_JP.UTF-8")
        run.wait_for_log(adding(written["document"]))
        messages = run.messages()
        self.assertEqual([m for m in messages if m.startswith("Read batch")],
                         [read_line(written["target"]), read_line(written["document"])])
        # Lower-cased as a whole (ASCII letters only), and found under that name.
        lowered = "".join(c.lower() if "A" <= c <= "Z" else c for c in written["icon"])
        self.assertIn(found(lowered), messages)
        self.assertNotIn(not_found(lowered), messages)
        self.assertNotIn(not_loaded(lowered), messages)

        self.session.click_icon(run.docked[0])
        marker = run.path("ソ表/タナカ/launched.txt")
        run.wait_until(marker.exists, 15, "the launched file's marker")
        self.assertIn(launching(written["target"]), run.messages())

    def register(self, extension, klass, icon):
        """The extension's DefaultIcon, through a UTF-16 registry file: reg.exe's command line
        would pass through the code page."""
        script = self.session.drive_c / f"perchlet-{klass}.reg"
        script.write_bytes(("\ufeffWindows Registry Editor Version 5.00\r\n\r\n"
                            f"[HKEY_CLASSES_ROOT\\{extension}]\r\n@=\"{klass}\"\r\n\r\n"
                            f"[HKEY_CLASSES_ROOT\\{klass}\\DefaultIcon]\r\n"
                            f"@=\"{icon.replace(chr(92), chr(92) * 2)}\"\r\n").encode("utf-16-le"))
        self.assertEqual(self.session.wine("reg", "import", self.session.windows_path(script)), 0)
        for key in (extension, klass):
            self.addCleanup(self.session.wine, "reg", "delete", f"HKCR\\{key}", "/f")


if __name__ == "__main__":
    unittest.main()
