#!/usr/bin/env python3
"""End-to-end tests of text beyond the ANSI code page under Wine: batch files in each encoding,
options, log and launch target in folders the code page cannot hold, a Japanese system (code
page 932), the trace log's encoding, and the tooltip the shell is handed."""

import sys
import tempfile
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
import testtools  # noqa: E402
from harness import UTF8_BOM, batch_text  # noqa: E402
from ico import solid_ico  # noqa: E402
from texts import (EMPTY_COMMAND_LINE_BOX, INITIALIZING, found, launching,  # noqa: E402
                   missing_batch, not_found, not_loaded, read_line, setting_read)
from waits import first_true  # noqa: E402

# In code page 932 ソ and 表 end in a "\" byte, タ in "^", ナ in "i" and カ in "J" (which
# lower-casing bytes turns into ニ).
FOLDER = "ソ表\\タナカ"
# 62 UTF-16 units, then a character of two that the 64-unit field (63 and the NUL) cannot hold.
LONG_TIP = "ツールチップ" * 10 + "タナ\U00020B9Fカ"
# (encoding, bytes of the batch file's text, Unix locale, tooltip, tooltip shown)
ENCODINGS = [
    ("utf-8", lambda text: text.encode("utf-8"), None, LONG_TIP, LONG_TIP[:62]),
    ("utf-8 mark", lambda text: UTF8_BOM + text.encode("utf-8"), None, LONG_TIP, LONG_TIP[:62]),
    ("utf-16", lambda text: ("\ufeff" + text).encode("utf-16-le"), None, LONG_TIP, LONG_TIP[:62]),
    ("cp932", lambda text: text.encode("cp932"), "ja_JP.UTF-8", LONG_TIP[:62] + "表示",
     LONG_TIP[:62] + "表"),
]


def ascii_lower(text):
    return "".join(c.lower() if "A" <= c <= "Z" else c for c in text)


class UnicodeTest(harness.WineTestCase):

    def fresh_folder(self, prefix):
        """A new folder of the prefix's drive C:, as a Windows path."""
        return self.session.windows_path(tempfile.mkdtemp(prefix=prefix, dir=self.session.drive_c))

    def register(self, extension, klass, icon):
        """The extension's DefaultIcon, through a UTF-16 registry file: a reg.exe command line
        would pass through the code page."""
        script = self.session.drive_c / f"perchlet-{klass}.reg"
        script.write_bytes((f"\ufeffWindows Registry Editor Version 5.00\r\n\r\n"
                            f"[HKEY_CLASSES_ROOT\\{extension}]\r\n@=\"{klass}\"\r\n\r\n"
                            f"[HKEY_CLASSES_ROOT\\{klass}\\DefaultIcon]\r\n"
                            f"@=\"{icon.replace(chr(92), chr(92) * 2)}\"\r\n").encode("utf-16-le"))
        self.assertEqual(self.session.wine("reg", "import", self.session.windows_path(script)), 0)
        for key in (extension, klass):
            self.addCleanup(self.session.wine, "reg", "delete", f"HKCR\\{key}", "/f")

    def test_batch_files_in_each_encoding_and_folders_beyond_the_code_page(self):
        icons = Path(tempfile.mkdtemp(prefix="perchlet-Перчлет表-", dir=self.session.drive_c))
        (icons / "ソ表" / "タナカ").mkdir(parents=True)
        (icons / "ソ表" / "タナカ" / "App.ICO").write_bytes(solid_ico((0, 128, 255)))
        icon = self.session.windows_path(icons) + f"\\{FOLDER}\\App.ICO"
        self.register(".pchjp932", "PerchletJapanese932", icon)
        fake = testtools.FakeTray(self.session, "", "unicode")
        self.addCleanup(fake.stop)
        for name, encode, locale, tip, tip_shown in ENCODINGS:
            with self.subTest(encoding=name):
                lines = {}

                def prepare(folder):
                    # The comment first: a mark stuck to it would make it a command.
                    base = f"{self.session.windows_path(folder)}\\{FOLDER}"
                    lines.update(target=f"{base}\\mark.cmd", document=f"{base}\\表.pchjp932")
                    lines["batch"] = [f"{lines['target']},{tip}", lines["document"]]
                    (folder / "ソ表" / "タナカ").mkdir(parents=True)
                    (folder / "ソ表" / "タナカ" / "mark.cmd").write_bytes(
                        b'@echo x> "%~dp0launched.txt"\r\n')
                    (folder / "ソ表" / "cmds.txt").write_bytes(
                        encode(batch_text(["; ソ表"] + lines["batch"])))

                # Options beside the program, the log in APPDATA: both in folders code page
                # 1252 cannot hold, with a /BATCH: path that cannot either.
                appdata = self.fresh_folder("данные表-")
                run = self.start_with_icons("/BATCH:ソ表\\cmds.txt", icons=2, prepare=prepare,
                                            files={"Perchlet.ini": UTF8_BOM + b"ClickMode=Single"},
                                            appdata=appdata, folder_prefix="perchlet-Перчлет表-",
                                            locale=locale)
                self.assertEqual(run.log_path.parent,
                                 self.session.unix_path(appdata + "\\Perchlet"))
                messages = run.messages()
                self.assertEqual(messages[0], INITIALIZING)
                self.assertIn(setting_read("ClickMode", 514), messages)
                self.assertEqual([m for m in messages if m.startswith("Read batch")],
                                 [read_line(line) for line in lines["batch"]])
                # The registry's icon lower-cased in ASCII letters only, and found by that name.
                self.assertIn(found(ascii_lower(icon)), messages)
                self.assertFalse({not_found(ascii_lower(icon)), not_loaded(ascii_lower(icon))} &
                                 set(messages))
                tips = [r["tip"] for r in fake.requests() if r["message"] == "ADD"]
                self.assertEqual(tips[-2:], [tip_shown, lines["document"]])

                self.session.click_icon(run.docked[0])
                run.wait_until(run.path("ソ表/タナカ/launched.txt").exists, 15, "the marker")
                self.assertIn(launching(lines["target"]), run.messages())
                run.kill()
                # Its icons going away would move the next run's under the click.
                first_true(lambda: not self.session.tray_icons(), 10)

    def test_trace_log_new_shared_and_continued_in_its_code_page(self):
        # Two runs at once on a new log: one mark, at the start (read_log checks it).
        appdata = self.fresh_folder("perchlet-log-")
        runs = [harness.PerchletRun(self.session, "", appdata=appdata) for _ in range(2)]
        for run in runs:
            run.start()
            self.addCleanup(run.close)
        for run in runs:
            run.wait_for_exit()
            self.assertEqual(run.box_texts(), [EMPTY_COMMAND_LINE_BOX])
        self.assertTrue(runs[0].log_path.read_bytes().startswith(UTF8_BOM))
        self.assertEqual(runs[0].messages().count(INITIALIZING), 2)

        # An older log without the mark goes on in code page 1252: what that cannot hold is
        # "?", never a look-alike (ā would become a). The box shows the name whole.
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
        self.assertIn(missing_batch("?é-?.txt").encode("cp1252") + b"\r\n", data)


if __name__ == "__main__":
    unittest.main()
