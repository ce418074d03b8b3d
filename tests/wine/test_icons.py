#!/usr/bin/env python3
"""End-to-end tests of the tray icons under Wine: icon groups copied out of the test modules into
the holding files, icons found through file associations set up with `reg add`, and what the
tray shows, before and during the fade."""

import os
import shutil
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import harness  # noqa: E402
import testtools  # noqa: E402
from desktop import choose_last_menu_item, press_return_until, wait_for_window  # noqa: E402
from harness import batch_text  # noqa: E402
from ico import (Half, icon_pixels, ico_entries, rgba_ico, small_image_index,  # noqa: E402
                 solid_ico)
from pictures import CROSS_RED, Screen, wait_for_screen  # noqa: E402
from registry import RegistryRows  # noqa: E402
from texts import (EXIT_CANCELLED, EXIT_SELECTED, EXIT_TITLE, NO_ASSOCIATION,  # noqa: E402
                   OVERFLOW, SHELL32_DEFAULT, SUBSCRIPT_OUT_OF_RANGE, damaged_group,
                   damaged_image, determining, entry_traces, found, holding_file_failed,
                   names_no_file, not_found, not_written, overriding, resource_missing,
                   source_not_found, source_without_icons, unusable_number)
from waits import first_true  # noqa: E402

TEST_ICONS = harness.build_dir() / "testicons"
# The same modules built by the other build's compiler: PE32+ for the x86 program, PE32 for the
# x64 one. Either program reads icons out of modules of either width (a 32-bit program on 64-bit
# Windows reads those of 64-bit programs, named by the registry).
OTHER_WIDTH = harness.build_dir().parent / (
    "windows-x64" if harness.build_arch() == "x86" else "windows-x86") / "testtools"
RESOURCES = harness.REPO / "resources"
MODULES = ("icons_three", "icons_named", "icons_sizes", "icons_none", "icons_crafted", "icons_ids")
# The colour of the user's own icon: no other picture in the tray uses it.
USER_COLOUR = (17, 235, 101)
CROSS_KEY = (128, 128, 128)
# An icon with per-pixel alpha: opaque inside, a half-transparent rim, transparent corners.
ALPHA_INSIDE = (230, 140, 20)
ALPHA_RIM = Half((40, 90, 230), 128)


def expected_icon(name):
    return (TEST_ICONS / name).read_bytes()


def cross_picture(size=16):
    """resources/cross.bmp as rows of colours, its grey key left out (None), scaled to size x
    size pixels by nearest neighbour."""
    data = (RESOURCES / "cross.bmp").read_bytes()
    pixels_at = int.from_bytes(data[10:14], "little")
    width = int.from_bytes(data[18:22], "little")
    height = int.from_bytes(data[22:26], "little")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        line = data[pixels_at + (height - 1 - y) * stride:]
        row = [tuple(line[3 * x:3 * x + 3][::-1]) for x in range(width)]
        rows.append([None if colour == CROSS_KEY else colour for colour in row])
    return [[rows[y * height // size][x * width // size] for x in range(size)]
            for y in range(size)]


def alpha_picture(size):
    """The alpha icon's pixels as rows of pictures compare them: None, a colour or Half."""
    def pixel(x, y):
        rim_x, rim_y = x in (0, size - 1), y in (0, size - 1)
        return None if rim_x and rim_y else ALPHA_RIM if rim_x or rim_y else ALPHA_INSIDE
    return [[pixel(x, y) for x in range(size)] for y in range(size)]


def rgba_rows(picture):
    return [[(0, 0, 0, 0) if p is None else (*p.colour, p.alpha) if isinstance(p, Half)
             else (*p, 255) for p in row] for row in picture]


def crossed(picture, cross):
    """The picture with the cross laid over it."""
    return [[over if over is not None else under for under, over in zip(row, cross_row)]
            for row, cross_row in zip(picture, cross)]


class IconTest(harness.WineTestCase):

    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        missing = [name for name in MODULES
                   if not (harness.build_dir() / "testtools" / f"{name}.dll").exists()]
        if missing or not TEST_ICONS.is_dir():
            raise unittest.SkipTest(f"icon test modules missing: {', '.join(missing)}")
        session = cls.session
        # The modules in a folder of the prefix whose name has no dot and no blank, so that a
        # command naming a file in it has the file's own extension.
        folder = Path(tempfile.mkdtemp(prefix="perchlet-icons-", dir=session.drive_c))
        (folder / "App, Inc").mkdir()
        for name in MODULES:
            shutil.copy2(harness.build_dir() / "testtools" / f"{name}.dll", folder)
        shutil.copy2(harness.build_dir() / "testtools" / "icons_named.dll", folder / "App, Inc")
        shutil.copy2(harness.build_dir() / "Perchlet.exe", folder)
        for painted in (folder / "Painted.ico", session.drive_c / "windows" / "pchdoc.ico"):
            painted.write_bytes(solid_ico(USER_COLOUR))
        cls.addClassCleanup(painted.unlink)  # the one in the Windows folder
        (folder / "Alpha.ico").write_bytes(rgba_ico([rgba_rows(alpha_picture(16))]))
        cls.folder = folder
        # Associations come back lower-cased; so do the paths in the messages about them.
        cls.mods = session.windows_path(folder).lower()
        cls.registry = RegistryRows(session)
        cls.addClassCleanup(cls.registry.delete_all)
        # Windows 10 1903 and later keep the icons of the system's own modules in companions in
        # SystemResources (Wine's modules hold theirs): a stub without icon groups in system32 and
        # its companion. icons_none.dll lies elsewhere: the companion of its name is never read.
        windows = session.drive_c / "windows"
        resources = windows / "SystemResources"
        if not resources.exists():
            resources.mkdir()
            cls.addClassCleanup(resources.rmdir)
        stub = windows / "system32" / "pchmunstub.dll"
        for source, target in (("icons_none", stub),
                               ("icons_named", resources / "pchmunstub.dll.mun"),
                               ("icons_three", resources / "icons_none.dll.mun"),
                               ("icons_three", windows / "pchwinonly.dll")):
            shutil.copy2(harness.build_dir() / "testtools" / f"{source}.dll", target)
            cls.addClassCleanup(target.unlink)
        # The other width's module, read from its file by a full path and mapped by the system
        # for a bare name.
        for target in (folder / "icons_other.dll", windows / "system32" / "pchother.dll"):
            shutil.copy2(OTHER_WIDTH / "icons_named.dll", target)
            cls.addClassCleanup(target.unlink)

    def setUp(self):
        Screen.use_folder(self.session, f"icons/{self._testMethodName}")

    def associate(self, extension, icon=None):
        """Registers the extension with a class of its own, whose DefaultIcon is icon; returns
        the class's name."""
        name = "perchlet.test" + extension
        self.registry.associate(extension, name, icon)
        return name

    def start_batch(self, lines, prepare=None, **kwargs):
        """Starts a batch run and waits, answering its message boxes, until every line's icon
        is docked. `prepare` gets the run's folder before the program starts. Returns the run
        and its icons in the order they were added."""
        self.registry.apply()
        run = self.start_with_icons("/BATCH:cmds.txt", icons=len(lines), prepare=prepare,
                                    files={"cmds.txt": batch_text(lines),
                                           **kwargs.pop("files", {})}, **kwargs)
        return run, run.docked

    def holding_files(self, run):
        folder = self.session.unix_path(run.working_folder)
        return sorted(path.name for path in folder.iterdir() if path.name != "Perchlet.log")

    def assert_boxes(self, run, expected):
        boxes = run.boxes()
        self.assertEqual(len(boxes), len(expected), run.box_texts())
        for box, text in zip(boxes, expected):
            self.assertTrue(box.matches(text), f"{box.text!r} is not {text!r}")

    # -- groups copied out of modules ----------------------------------------------------------

    def test_groups_are_copied_byte_for_byte(self):
        mods = self.mods
        sources = {module: f"{mods}\\icons_{module}.dll"
                   for module in ("three", "named", "sizes", "none", "crafted", "other")}
        sources["absent"] = f"{mods}\\absent.dll"
        associations = {module: source + ",0" for module, source in sources.items()}
        # A negative number is a group's resource id; icons_ids enumerates MIDDLE, #3, #7, #102.
        ids = f"{mods}\\icons_ids.dll"
        associations.update({"id102": ids + ",-102", "id7": ids + ",-7", "id999": ids + ",-999",
                             "ids": ids + ",2", "munbare": "pchmunstub.dll,-300",
                             "munsys": "%systemroot%\\system32\\pchmunstub.dll,0",
                             "winonly": "pchwinonly.dll,1", "planted": "pchplanted.dll,0",
                             "otherbare": "pchother.dll,-7"})
        for module, association in associations.items():
            self.associate(f".pchico{module}", association)
        # Positions other than 0 are the user's icon number, which overrides the registry's.
        red, green, blue, sizes = (expected_icon(name) for name in
                                   ("red.ico", "green.ico", "blue.ico", "sizes.ico"))
        old = solid_ico((200, 100, 50))  # an older holding file, of another colour
        longer = bytes(range(256)) * 12  # longer than what replaces it
        crafted = sources["crafted"]
        cases = [
            # (what, module, position, file before the run, file after it, message box)
            ("three groups: the first", "three", 0, None, red, None),
            ("three groups: the second", "three", 1, None, green, None),
            ("three groups: the third", "three", 2, None, blue, None),
            ("three groups: one past the last selects nothing", "three", 3, None, None, None),
            ("three groups: one past it keeps an older file", "three", 3, old, old, None),
            ("three groups: two past the last", "three", 4, None, None, SUBSCRIPT_OUT_OF_RANGE),
            ("a position beyond 16 bits", "three", 32768, None, None, OVERFLOW),
            ("named groups come first, by name: APPLE", "named", 0, None, green, None),
            ("then ZEBRA", "named", 1, None, red, None),
            ("numbered groups follow by id: #7", "named", 2, None, blue, None),
            ("#300 replaces a longer older file whole", "named", 3, longer, sizes, None),
            ("images of 744, 296 and 1128 bytes", "sizes", 0, None, sizes, None),
            ("a module without icons", "none", 0, None, None,
             source_without_icons(sources["none"])),
            ("no such module", "absent", 0, None, None, source_not_found(sources["absent"])),
            ("an image id of 40000", "crafted", 0, None, expected_icon("id40000.ico"), None),
            ("a count beyond the group's entries", "crafted", 1, None, None,
             damaged_group(crafted)),
            ("an entry that claims more bytes than its image", "crafted", 2, old, old,
             damaged_image(crafted)),
            ("an image that is missing", "crafted", 3, old, old, resource_missing(crafted)),
            ("a group of no images", "crafted", 4, None, None, None),
            ("a negative number is the group's id: #102", "id102", 0, None, green, None),
            ("#7", "id7", 0, None, red, None),
            ("a position counts the named group: #7", "ids", 0, None, red, None),
            ("the user's number is a position", "id7", 3, None, green, None),
            ("no group of that id", "id999", 0, old, old, SUBSCRIPT_OUT_OF_RANGE),
            ("a system module without icons: its companion's", "munsys", 1, None, red, None),
            ("by its bare name and a group id", "munbare", 0, None, sizes, None),
            ("a bare name in the Windows folder", "winonly", 0, None, green, None),
            ("a bare name never from beside the program", "planted", 0, None, None,
             source_not_found("pchplanted.dll")),
            ("a module of the other width: ZEBRA", "other", 1, None, red, None),
            ("the other width by its bare name: #7", "otherbare", 0, None, blue, None),
        ]
        lines = [f"C:\\docs\\{n}.pchico{module},,{position or ''}"
                 for n, (_, module, position, _, _, _) in enumerate(cases, 1)]
        files = {f"AppData/Perchlet/{n}.ico": before
                 for n, (_, _, _, before, _, _) in enumerate(cases, 1) if before is not None}
        files["pchplanted.dll"] = (harness.build_dir() / "testtools/icons_three.dll").read_bytes()
        run, _ = self.start_batch(lines, files=files)

        traces = entry_traces(run.messages())
        self.assertEqual(len(traces), len(cases))
        self.assert_boxes(run, [box for *_, box in cases if box is not None])
        for n, (what, module, position, before, after, box) in enumerate(cases, 1):
            with self.subTest(what):
                path = run.holding_path(n)
                expected = [determining(f".pchico{module}"), found(associations[module])]
                if position:
                    number = associations[module].rsplit(",", 1)[1].lstrip("-")
                    expected.append(overriding(number, position))
                if box is not None and box.startswith("Error"):
                    expected.append(box)
                if after is None:
                    expected.append(not_found(path))
                elif after is before:
                    # An earlier run's file is left alone, but it is no icon of this command.
                    expected.append(not_written(path))
                self.assertEqual(traces[n - 1], expected)
                holding = run.holding_file(n)
                if after is None:
                    self.assertFalse(holding.exists())
                else:
                    self.assertEqual(holding.read_bytes(), after)
        # The layout worked out by hand for images of 744, 296 and 1128 bytes.
        n = next(n for n, case in enumerate(cases, 1) if case[1] == "sizes")
        extracted = run.holding_file(n).read_bytes()
        self.assertEqual([(entry.size, entry.offset) for entry in ico_entries(extracted)],
                         [(744, 54), (296, 798), (1128, 1094)])
        self.assertEqual(len(extracted), 2222)
        # Nothing else is left in the working folder: no half-written or temporary file.
        self.assertEqual(self.holding_files(run), sorted(
            f"{n}.ico" for n, case in enumerate(cases, 1) if case[4] is not None))

    def test_a_holding_file_that_holds_the_copy_already_is_left_as_it_is(self):
        self.associate(".pchicothree", f"{self.mods}\\icons_three.dll,0")
        red, green = expected_icon("red.ico"), expected_icon("green.ico")
        altered = bytearray(red)
        altered[-1] ^= 0xFF
        cases = [
            # (what, batch line, holding file before the run, after it, the same file)
            ("the same bytes", "C:\\docs\\1.pchicothree", red, red, True),
            ("another icon's bytes", "C:\\docs\\2.pchicothree,,1", red, green, False),
            ("as long, one byte differs", "C:\\docs\\3.pchicothree", bytes(altered), red, False),
        ]
        links = self.session.drive_c / "links"
        shutil.rmtree(links, ignore_errors=True)
        links.mkdir()

        def prepare(folder):
            # A second name for each older file tells whether the file was replaced or kept.
            holding = folder / "AppData" / "Perchlet"
            holding.mkdir(parents=True)
            for n, (_, _, before, _, _) in enumerate(cases, 1):
                (holding / f"{n}.ico").write_bytes(before)
                os.link(holding / f"{n}.ico", links / f"{n}.ico")

        run, _ = self.start_batch([line for _, line, *_ in cases], prepare=prepare)
        self.assertEqual(run.box_texts(), [])
        for n, (what, _, _, after, kept) in enumerate(cases, 1):
            with self.subTest(what):
                holding = run.holding_file(n)
                self.assertEqual(holding.read_bytes(), after)
                self.assertEqual(os.path.samefile(holding, links / f"{n}.ico"), kept)
        self.assertEqual(self.holding_files(run), ["1.ico", "2.ico", "3.ico"])

    def test_icons_made_before_a_message_box_show_while_it_waits(self):
        self.associate(".pchicothree", f"{self.mods}\\icons_three.dll,0")
        absent = f"{self.mods}\\absent.dll"
        self.associate(".pchicoabsent", absent + ",0")
        self.registry.apply()
        before = self.session.tray_icons()
        lines = ["C:\\docs\\1.pchicothree", "C:\\docs\\2.pchicoabsent",
                 "C:\\docs\\3.pchicothree"]
        run = self.start("/BATCH:cmds.txt", files={"cmds.txt": batch_text(lines)},
                         answer=False)

        def docked():
            return self.session.new_tray_icons(before)
        run.wait_for_boxes(1)
        self.assertEqual(run.box_texts(), [source_not_found(absent)])
        # The first entry's icon is up while the box about the second waits for its answer.
        self.assertEqual(len(run.wait_until(docked, 10, "the first icon")), 1)
        time.sleep(1.0)
        self.assertEqual(len(docked()), 1)
        self.session.answer_message_boxes()
        run.wait_until(lambda: len(docked()) == 3, 15, "all three icons")

    def test_failed_holding_file_write_is_reported(self):
        self.associate(".pchicothree", f"{self.mods}\\icons_three.dll,0")
        run, _ = self.start_batch(["C:\\docs\\a.pchicothree"],
                                  files={"AppData/Perchlet/1.ico": None})  # a folder of that name
        path = run.holding_path(1)
        self.assert_boxes(run, [holding_file_failed(path)])
        self.assertEqual(entry_traces(run.messages()), [[
            determining(".pchicothree"), found(f"{self.mods}\\icons_three.dll,0"),
            not_found(path)]])
        self.assertTrue(run.holding_file(1).is_dir())
        self.assertEqual(self.holding_files(run), ["1.ico"])  # and no temporary file

    # -- icons found through file associations ----------------------------------------------

    def test_associations_name_the_icons(self):
        mods = self.mods
        three, named = f"{mods}\\icons_three.dll", f"{mods}\\icons_named.dll"
        if not self.registry.exists("HKCR\\.exe"):
            # Wine registers the class of programs, whose icon is "%1", but not the extension.
            self.registry.add("HKCR\\.exe", "exefile")
        self.associate(".pchiconum", three + ",2")
        self.associate(".pchiconeg", three + ",-1")
        self.associate(".pchicomui", named + ".mui,1")
        self.associate(".pchicoquoted", f'"{mods}\\app, inc\\icons_named.dll",3')
        self.associate(".pchicoquotedico", f'"{mods}\\painted.ico",0')
        self.registry.add(f"HKCR\\{self.associate('.pchicoexpand')}\\DefaultIcon",
                          "%SystemRoot%\\pchdoc.ico", kind="REG_EXPAND_SZ")
        clsid = "{6A1E5C1B-0C1F-4E53-9E37-5043484C4554}"
        self.registry.add(f"HKCR\\{self.associate('.pchicoclsid')}\\CLSID", clsid)
        self.registry.add(f"HKCR\\CLSID\\{clsid}\\DefaultIcon", three + ",0")
        versioned = self.associate(".pchicocurver")
        current = versioned + ".2"
        self.registry.add(f"HKCR\\{versioned}\\CurVer", current)
        self.registry.add(f"HKCR\\{current}\\DefaultIcon", named + ",2")
        # The user's own choice of class comes before the machine's.
        self.associate(".pchicochoice", three + ",0")
        self.associate(".pchicochosen", three + ",1")
        self.registry.add("HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\"
                          ".pchicochoice", "perchlet.test.pchicochosen", name="ProgID")
        # The default app the user chose since Windows 8 comes before both.
        choice = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\"
        self.associate(".pchicouser", three + ",0")
        self.registry.add(choice + ".pchicouser\\UserChoice", "perchlet.test.pchicochosen",
                          name="ProgId")
        self.registry.add("HKCR\\perchlet.test.browser\\DefaultIcon", named + ",2")
        self.registry.add("HKCU\\Software\\Microsoft\\Windows\\Shell\\Associations\\"
                          "UrlAssociations\\http\\UserChoice", "perchlet.test.browser",
                          name="ProgId")
        self.associate(".pchicoenv", "%PchIconsDir%\\icons_three.dll,2")
        self.registry.add_odd(f"HKCR\\{self.associate('.pchicoodd')}\\DefaultIcon", three + ",1")
        self.associate(".pchicoicofile", f"{mods}\\Painted.ico,0")
        self.associate(".pchicogone", f"{mods}\\gone.ico")
        self.associate(".pchicobadnum", three + ",abc")
        self.associate(".pchicolonequote", '"')

        red, green, blue, sizes = (expected_icon(name) for name in
                                   ("red.ico", "green.ico", "blue.ico", "sizes.ico"))
        program = (RESOURCES / "perchlet.ico").read_bytes()
        default = (RESOURCES / "default.ico").read_bytes()
        shell32 = "a shell32 icon"
        painted = f"{mods}\\painted.ico"
        cases = [
            # (what, batch line, trace lines of the entry, holding file)
            ("%1: a program's own first icon group", f"{mods}\\Perchlet.exe",
             [determining(".exe"), found("%1")], program),
            ("%1 with parameters, and the user's icon number", f"{mods}\\Perchlet.exe /x,,1",
             [determining(".exe"), found("%1"), overriding(0, 1)], default),
            ("a number after the comma", "C:\\docs\\a.pchiconum",
             [determining(".pchiconum"), found(three + ",2")], blue),
            ("a negative number is the group's resource id", "C:\\docs\\a.pchiconeg",
             [determining(".pchiconeg"), found(three + ",-1")], red),
            ("a .mui path names the module", "C:\\docs\\a.pchicomui",
             [determining(".pchicomui"), found(named + ".mui,1")], red),
            ("a quoted path with a blank and a comma", "C:\\docs\\a.pchicoquoted",
             [determining(".pchicoquoted"),
              found(f'"{mods}\\app, inc\\icons_named.dll",3')], sizes),
            ("a quoted .ico file with a number", "C:\\docs\\a.pchicoquotedico",
             [determining(".pchicoquotedico"), found(f'"{painted}",0')], None),
            ("an expandable .ico path", "C:\\docs\\a.pchicoexpand",
             [determining(".pchicoexpand"), found("%systemroot%\\pchdoc.ico")], None),
            ("a class with a CLSID", "C:\\docs\\a.pchicoclsid",
             [determining(".pchicoclsid"), found(three + ",0")], red),
            ("a class with a current version", "C:\\docs\\a.pchicocurver",
             [determining(".pchicocurver"), found(named + ",2")], blue),
            ("the user's choice of class", "C:\\docs\\a.pchicochoice",
             [determining(".pchicochoice"), found(three + ",1")], green),
            ("the user's default app", "C:\\docs\\a.pchicouser",
             [determining(".pchicouser"), found(three + ",1")], green),
            ("the default browser", "http://pchico.example/",
             [determining("http"), found(named + ",2")], blue),
            ("a variable in the module path", "C:\\docs\\a.pchicoenv",
             [determining(".pchicoenv"), found("%pchiconsdir%\\icons_three.dll,2")], blue),
            ("a value stored with an odd byte count", "C:\\docs\\a.pchicoodd",
             [determining(".pchicoodd"), found(three + ",1")], green),
            ("a registered .ico file is used as it is", "C:\\docs\\a.pchicoicofile",
             [determining(".pchicoicofile"), found(painted + ",0")], None),
            ("the user's .ico file is used unchanged",
             f"C:\\docs\\a.pchiconum,,{self.session.windows_path(self.folder)}\\Painted.ICO",
             [], None),
            ("an unknown type gets the default of shell32", "C:\\docs\\a.pchiconothing",
             [determining(".pchiconothing"), NO_ASSOCIATION, found(SHELL32_DEFAULT)], shell32),
            ("a missing icon file of the user's", "C:\\docs\\a.txt,,C:\\nowhere\\missing.ico",
             [not_found("C:\\nowhere\\missing.ico")], None),
            ("a missing registered icon file", "C:\\docs\\a.pchicogone",
             [determining(".pchicogone"), found(f"{mods}\\gone.ico"),
              not_found(f"{mods}\\gone.ico")], None),
            ("an icon number that is no number", "C:\\docs\\a.pchicobadnum",
             [determining(".pchicobadnum"), found(three + ",abc"),
              unusable_number("abc", f"{three},abc")], None),
            ("a lone double quote", "C:\\docs\\a.pchicolonequote",
             [determining(".pchicolonequote"), found('"'), names_no_file('"')], None),
        ]
        run, _ = self.start_batch([line for _, line, _, _ in cases],
                                  env={"PCHICONSDIR": self.session.windows_path(self.folder)})
        self.assertEqual(run.box_texts(), [])
        traces = entry_traces(run.messages())
        self.assertEqual(len(traces), len(cases))
        for n, (what, line, trace, holding) in enumerate(cases, 1):
            with self.subTest(what):
                self.assertEqual(traces[n - 1], trace)
                path = run.holding_file(n)
                if holding is None:
                    self.assertFalse(path.exists())
                elif holding is shell32:
                    self.assertGreater(len(ico_entries(path.read_bytes())), 0)
                else:
                    self.assertEqual(path.read_bytes(), holding)

    def test_the_shell_default_icon_kept_in_systemresources(self):
        # Wine gives every process SystemRoot=C:\windows, whatever its parent passes: for one run
        # the system's shell32.dll is a file without icon groups (Wine loads its own regardless).
        testtools = harness.build_dir() / "testtools"
        windows = self.session.drive_c / "windows"
        shell32, saved = windows / "system32" / "shell32.dll", windows / "system32" / "pchsaved.dll"
        mun = windows / "SystemResources" / "shell32.dll.mun"
        os.replace(shell32, saved)
        self.addCleanup(os.replace, saved, shell32)
        shutil.copy2(testtools / "icons_none.dll", shell32)
        shutil.copy2(testtools / "icons_three.dll", mun)
        self.addCleanup(mun.unlink)
        run, _ = self.start_batch(["C:\\docs\\a.pchiconothing", "C:\\docs\\b.pchiconothing,,2"])
        self.assertEqual(run.box_texts(), [])
        default = [determining(".pchiconothing"), NO_ASSOCIATION, found(SHELL32_DEFAULT)]
        self.assertEqual(entry_traces(run.messages()), [default, default + [overriding(0, 2)]])
        self.assertEqual(run.holding_file(1).read_bytes(), expected_icon("red.ico"))
        self.assertEqual(run.holding_file(2).read_bytes(), expected_icon("blue.ico"))

    # -- what the tray shows ----------------------------------------------------------------

    def test_tray_and_fade_pictures(self):
        self.associate(".pchicothree", f"{self.mods}\\icons_three.dll,0")
        default = (RESOURCES / "default.ico").read_bytes()
        self.check_tray_and_fade(16, [
            # (what, batch line, the picture it shows: colours, None where transparent, Half)
            ("the user's icon", f"C:\\docs\\a.txt,painted,{self.mods}\\Painted.ico",
             [[USER_COLOUR] * 16 for _ in range(16)]),
            ("the default for a missing icon", "C:\\docs\\b.txt,missing,C:\\nowhere\\gone.ico",
             icon_pixels(default, small_image_index(default))),
            ("an icon copied out of a module", "C:\\docs\\c.pchicothree,copied",
             icon_pixels(expected_icon("red.ico"))),
            ("an icon with half-transparent edges",
             f"C:\\docs\\d.txt,alpha,{self.mods}\\Alpha.ico", alpha_picture(16)),
        ])

    def test_pictures_at_144_dpi(self):
        """At 150 % the shell shows small icons of 24 pixels: a DPI-aware program's pictures are
        made at that size, not stretched from 16. The shell reads the DPI once as it starts, so
        this runs in a session of its own."""
        directory = Path(tempfile.mkdtemp(prefix="perchlet-state-"))
        self.addCleanup(harness.stop_session, directory)
        self.session = harness.start_session(directory, self.session.artefacts / "dpi-144",
                                             dpi=144)
        icons = self.session.drive_c / "perchlet-dpi"
        icons.mkdir()
        # A 16-pixel image of another colour: shown only if the wrong size were asked for.
        (icons / "Sizes.ico").write_bytes(rgba_ico([
            [[(*USER_COLOUR, 255)] * 16 for _ in range(16)], rgba_rows(alpha_picture(24))]))
        self.check_tray_and_fade(24, [
            ("the user's icon, its 24-pixel image",
             "C:\\docs\\a.txt,sizes,C:\\perchlet-dpi\\Sizes.ico", alpha_picture(24)),
        ])

    def test_a_scale_change_remakes_the_picture_from_what_this_run_read(self):
        """Another run replaces 1.ico; then the scale changes. Under Wine a run at 150 % gets 16
        pixels from the task bar, and its own 24 from one unaware of scale, as the fake tray."""
        self.associate(".pchicothree", f"{self.mods}\\icons_three.dll,0")
        key = r"HKCU\Control Panel\Desktop"
        self.session.wine("reg", "add", key, "/v", "LogPixels", "/t", "REG_DWORD", "/d", 144, "/f")
        try:
            run, _ = self.start_batch(["C:\\docs\\c.pchicothree"])
        finally:
            self.session.wine("reg", "delete", key, "/v", "LogPixels", "/f")
        run.holding_file(1).write_bytes(solid_ico(USER_COLOUR, 24))
        self.addCleanup((fake := testtools.FakeTray(self.session, "", "scale")).stop)
        self.assertEqual(testtools.broadcast_taskbar_created(self.session)[0], 0)
        added = first_true(lambda: [r for r in fake.requests() if r["message"] == "ADD"], 20)
        self.assertEqual([r["width"] for r in added or []], ["24"], fake.records())
        bgra = zip(*[iter(bytes.fromhex(added[0]["color"]))] * 4)
        own = {colour for row in icon_pixels(expected_icon("red.ico")) for colour in row}
        self.assertLessEqual({(r, g, b) for b, g, r, a in bgra if a}, own, "not the other run's")

    def check_tray_and_fade(self, size, pictures):
        """Starts one run with an icon per picture and compares what the tray shows before, during
        and after the fade with the pictures, crossed during it."""
        run, icons = self.start_batch([line for _, line, _ in pictures])
        # Away from the icons, so that no tip covers the panel.
        self.session.x("xdotool", "mousemove", 5, 1000)
        cross = cross_picture(size)
        # The transparent pixels are compared below: clear what Wine's docking left there.
        self.session.repaint_tray()

        def shows(screen, crossed_over):
            """Where each icon shows its picture (crossed or not), or None."""
            places = []
            for icon, (_, _, picture) in zip(icons, pictures):
                places.append(screen.find(icon.rect, crossed(picture, cross) if crossed_over
                                          else picture))
            return places if all(places) else None

        def assert_pictures(screen, places, crossed_over):
            for icon, (what, _, picture), place in zip(icons, pictures, places):
                with self.subTest(what, crossed=crossed_over):
                    self.assertIsNotNone(place, f"{what} is not shown; see {screen.path}")
                    if crossed_over:
                        picture = crossed(picture, cross)
                    # Transparent pixels show the panel behind the icon, as its corner does.
                    # (Inverting ones show what Wine's tray drew there before: not compared.)
                    background = screen.pixel(icon.x, icon.y)
                    x, y = place
                    for dy, row in enumerate(picture):
                        for dx, colour in enumerate(row):
                            if colour is None:
                                self.assertEqual(screen.pixel(x + dx, y + dy), background,
                                                 f"pixel {dx},{dy} of {what}")
                            elif isinstance(colour, Half):
                                # Blended over the panel, not over a dark rim.
                                shown = screen.pixel(x + dx, y + dy)
                                expected = colour.over(background)
                                self.assertLessEqual(
                                    max(abs(a - b) for a, b in zip(shown, expected)), 2,
                                    f"pixel {dx},{dy} of {what}: {shown}, not {expected}")
                    reds = screen.count(icon.rect, lambda rgb: rgb == CROSS_RED)
                    if crossed_over:
                        self.assertGreaterEqual(reds, 40 * size // 16)
                    else:
                        self.assertEqual(reds, 0)

        screen, places = wait_for_screen(self.session, f"tray-{size}",
                                         lambda screen: shows(screen, False))
        assert_pictures(screen, places or [None] * len(pictures), False)
        # Every pixel of the first picture is opaque: none of the 16-pixel image's colour shows
        # besides those.
        first = pictures[0][2]
        self.assertEqual(screen.count(icons[0].rect, lambda rgb: rgb == USER_COLOUR),
                         sum(row.count(USER_COLOUR) for row in first))

        choose_last_menu_item(self.session, run, icons[0],
                              lambda: EXIT_SELECTED in run.messages())
        dialog = wait_for_window(self.session, EXIT_TITLE)
        # The question is laid out for its display's scale: 7905 x 1545 twips.
        probed = testtools.probe_window(self.session, EXIT_TITLE)
        client, dpi = probed.rect_of(probed.fields, "client"), size * 6
        self.assertEqual((client.width, client.height),
                         ((7905 * dpi + 720) // 1440, (1545 * dpi + 720) // 1440))
        self.session.x("xdotool", "mousemove", 5, 1000)
        # The first tick of the fade comes 800 ms after the question opens.
        screen, places = wait_for_screen(self.session, f"fade-{size}",
                                         lambda screen: shows(screen, True))
        assert_pictures(screen, places or [None] * len(pictures), True)

        # Return answers the question's default button, No: the fade stops.
        press_return_until(self.session, run, dialog,
                           lambda: EXIT_CANCELLED in run.messages())
        screen, places = wait_for_screen(self.session, f"after-fade-{size}",
                                         lambda screen: shows(screen, False))
        assert_pictures(screen, places or [None] * len(pictures), False)
        self.assertTrue(run.running())


if __name__ == "__main__":
    unittest.main(verbosity=2)
