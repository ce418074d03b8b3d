#!/usr/bin/env python3
"""End-to-end tests of the tray under Wine: docked icons and their tooltips, launching by click
and by the popup menu, the exit question with the icon fade, the shutdown, launch failures, a
restarted shell and the limit of 30 icons. trayer is the tray and xdotool the user."""

import re
import sys
import tempfile
import time
import unittest
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))

import desktop  # noqa: E402
import harness  # noqa: E402
import pictures  # noqa: E402
import testtools  # noqa: E402
from harness import batch_text  # noqa: E402
from texts import (ADDING, CANCEL_ITEM, EMPTY_LAUNCH, EXIT_CANCELLED, EXIT_ITEM,  # noqa: E402
                   EXIT_ONE, EXIT_SELECTED, EXIT_TITLE, LAUNCH_ITEM, LAUNCHING, NO_BUTTON,
                   SECTION_END, YES_BUTTON, exit_many, launch_failed, launch_failed_box,
                   launching, launching_elevated, limit_reached, opening_location, unloading)
from waits import first_true  # noqa: E402

CMD = "C:\\windows\\system32\\cmd.exe"
TICK = 0.8  # the fade timer's interval
RETRY = 2.0  # the interval of the tries of icons the shell refused


def _resource_ids():
    text = (harness.REPO / "resources" / "resource_ids.h").read_text()
    return {name: int(value) for name, value in re.findall(r"#define (\w+) (\d+)", text)}


IDS = _resource_ids()


def marker_command(folder, name):
    """A command that leaves a marker file in the folder when the shell starts it."""
    return f"{CMD} /c echo x > {folder}\\{name}"


def launches(run):
    return [message for message in run.messages() if message.startswith(LAUNCHING)]


class TrayTest(harness.WineTestCase):

    def setUp(self):
        pictures.Screen.use_folder(self.session, f"tray/{self._testMethodName}")
        self._runs = []

    # -- runs -------------------------------------------------------------------------------

    def start_tray(self, lines, ini=None, icons=None, debug=""):
        """Starts Perchlet on a batch file and waits for its icons. `lines` may be a function
        of the run's folder (a Windows path), for commands that leave files there. Returns the
        run and its icons in the order they were docked."""
        # One run at a time: what an earlier case of the test left open would be in the way.
        for earlier in self._runs:
            earlier.kill()
        desktop.park_pointer(self.session)
        # Icons of an earlier run that are still going away would move the new ones.
        first_true(lambda: not self.session.tray_icons(), 10)
        before = self.session.tray_icons()
        written = {}

        def prepare(folder):
            written["lines"] = lines(self.session.windows_path(folder)) if callable(lines) \
                else lines
            (folder / "cmds.txt").write_bytes(batch_text(written["lines"]).encode(harness.ANSI))
        run = self.start("/BATCH:cmds.txt", prepare=prepare, debug=debug,
                         files={} if ini is None else {"Perchlet.ini": ini})
        self._runs.append(run)
        expected = len(written["lines"]) if icons is None else icons
        # The ids its icons have with the shell, from the commands as written.
        run.icon_ids = testtools.icon_ids([line.split(",")[0] for line in written["lines"]])

        def added():
            return [m for m in run.messages() if m.startswith(ADDING)]
        # Waiting on the log answers the message boxes that start-up may show.
        run.wait_until(lambda: len(added()) >= expected, 30, f"{expected} icon(s) added")
        docked = self.wait_for_docked(run, expected, before, 15)
        self.assertEqual(len(added()), expected)
        self.assertTrue(pictures.wait_for_drawn_icons(self.session, docked), "the icons are drawn")
        return run, docked

    def wait_for_launches(self, run, count, settle=0.8):
        """Waits for `count` launch traces in all, then a little longer to see that no more
        follow; returns the launch traces."""
        if count:
            run.wait_until(lambda: len(launches(run)) >= count, 15, f"{count} launch(es)")
        time.sleep(settle)
        return launches(run)

    def wait_for_file(self, run, path):
        run.wait_until(lambda: path.exists(), 15, f"{path.name} from the launched command")

    # -- the popup menu and the exit dialog -------------------------------------------------

    def open_menu(self, icon, name):
        items, _ = desktop.open_menu(self.session, icon, name)
        return items

    def wait_menu_closed(self):
        self.assertTrue(desktop.wait_menu_closed(self.session), "the popup menu should have closed")

    def open_exit_dialog(self, run, icon, name, menu_check=True):
        """Chooses "Exit Perchlet..." in the icon's menu; returns the dialog's X window and the
        time the item was clicked, which starts the fade timer. A test that times the fade
        checks that the menu has closed itself, once it has looked at the pictures."""
        items = self.open_menu(icon, name)
        chosen = time.monotonic()
        desktop.choose(self.session, items.exit)
        dialogs = first_true(lambda: desktop.exit_dialogs(self.session), 10)
        self.assertEqual(len(dialogs), 1, f"one exit dialog; log: {run.messages()!r}")
        if menu_check:
            self.assertFalse(desktop.popup_menus(self.session), "the menu has closed")
        return dialogs[0], chosen

    def dialog_key(self, dialog, key):
        self.session.x("xdotool", "windowfocus", dialog, "key", key, check=True)

    def wait_dialog_closed(self):
        self.assertTrue(first_true(lambda: not desktop.exit_dialogs(self.session), 5),
                        "the exit dialog should have closed")

    # -- tooltips ---------------------------------------------------------------------------

    def tooltip(self, icons, icon, name):
        """Hovers over an icon and returns the picture of the tooltip the shell shows."""
        session = self.session
        desktop.park_pointer(session)
        first_true(lambda: not desktop.tooltip_windows(session, icons), 5)
        tips = []
        for attempt in range(4):
            # The tooltip needs the pointer to move over the icon; a nudge starts it again.
            x, y = icon.center
            session.x("xdotool", "mousemove", x + attempt % 2, y, check=True)
            tips = first_true(lambda: desktop.tooltip_windows(session, icons), 1.5)
            if tips:
                break
        self.assertEqual(len(tips), 1, f"one tooltip over the icon at {icon.center}")
        rect = tips[0]
        screen, _ = pictures.wait_for_steady(session, name, [rect], 2.0)
        desktop.park_pointer(session)
        return rect, screen.crop(rect)

    # -- docking, tooltips and the click ----------------------------------------------------

    def test_three_commands_dock_in_order_and_a_click_launches_each(self):
        def lines(folder):
            return [marker_command(folder, "entry1.txt") + ",First tip",
                    marker_command(folder, "entry2.txt"),
                    marker_command(folder, "entry3.txt") + ",Third"]
        run, icons = self.start_tray(lines, ini="ClickMode=SINGLE\r\n")
        pictures.Screen.capture(self.session, "three-icons")
        xs = [icon.x for icon in icons]
        self.assertIn(xs, (sorted(xs), sorted(xs, reverse=True)),
                      "the icons stand side by side in the order of the commands")

        # Each icon launches its own command, with the parameters in the trace.
        for number, icon in enumerate(icons, start=1):
            with self.subTest(entry=number):
                self.session.click_icon(icon)
                self.wait_for_launches(run, number)
                self.assertEqual(launches(run)[number - 1], launching(
                    CMD, f"/c echo x > {run.win_folder}\\entry{number}.txt"))
                self.wait_for_file(run, run.path(f"entry{number}.txt"))
        self.assertEqual(len(launches(run)), 3)

        # Tooltips: the two that were given, and the whole command for the one without.
        widths = [self.tooltip(icons, icon, f"three-tooltip{n}")[0].width
                  for n, icon in enumerate(icons, start=1)]
        self.assertGreater(widths[1], widths[0], "the command text is longer than 'First tip'")
        self.assertGreater(widths[0], widths[2], "'First tip' is longer than 'Third'")

    def test_tooltip_is_the_given_text_or_the_command_cut_to_the_field(self):
        # No comma (it would end the field) and no blank at the cut.
        long_tip = "Eighty characters of tooltip text: more than the field of the shell holds."
        long_tip = (long_tip + "0123456789")[:80]
        self.assertNotEqual(long_tip[62], " ")
        command = f"{CMD} /c rem three"
        lines = [f"{CMD} /c rem one,{long_tip}",
                 f"{CMD} /c rem two,{long_tip[:63]}",
                 command,
                 f"{CMD} /c rem four,{command}",
                 f"{CMD} /c rem five,{long_tip[:62]}"]
        run, icons = self.start_tray(lines)
        tips = [self.tooltip(icons, icon, f"tooltip{n}")[1] for n, icon in enumerate(icons, 1)]
        self.assertEqual(tips[0], tips[1], "80 characters show as their first 63")
        self.assertNotEqual(tips[1], tips[4], "a character less shows (the check can see it)")
        self.assertEqual(tips[2], tips[3], "without a tooltip the command text shows")
        self.assertNotEqual(tips[0], tips[2])

    def test_click_modes(self):
        cases = [
            # (what, Perchlet.ini, [(action, launches in all after it)])
            ("SINGLE: a click launches once, a double click twice", "ClickMode=SINGLE\r\n",
             [("click", 1), ("double", 3)]),
            ("any other mode: a click launches nothing, a double click once",
             "ClickMode=DOUBLE\r\n", [("click", 0), ("double", 1)]),
            ("no options file: no click launches, the menu does", None,
             [("click", 0), ("double", 0), ("menu", 1)]),
        ]
        for what, ini, steps in cases:
            with self.subTest(what):
                run, (icon,) = self.start_tray(
                    lambda folder: [marker_command(folder, "marker.txt")], ini=ini)
                for action, expected in steps:
                    if action == "menu":
                        desktop.choose(self.session,
                                       self.open_menu(icon, "click-modes-menu").launch)
                    else:
                        self.session.click_icon(icon, double=action == "double")
                    # Apart by more than the double-click time, so no two clicks pair up. An
                    # action that launches nothing is seen by the next one's count.
                    self.assertEqual(len(self.wait_for_launches(run, expected)), expected,
                                     f"after the {action}")
                self.wait_for_file(run, run.path("marker.txt"))
                self.assertEqual(set(launches(run)), {launching(
                    CMD, f"/c echo x > {run.win_folder}\\marker.txt")})
                run.kill()

    # -- the popup menu ---------------------------------------------------------------------

    def test_menu_launches_the_clicked_entry_and_cancel_does_nothing(self):
        run, icons = self.start_tray(
            lambda folder: [marker_command(folder, f"entry{n}.txt") for n in (1, 2, 3)])
        session = self.session

        # The menu opens as the right button goes down.
        x, y = icons[0].center
        session.x("xdotool", "mousemove", x, y, "mousedown", "3", check=True)
        try:
            self.assertTrue(first_true(lambda: desktop.popup_menus(session), 5),
                            "the menu opens before the button is released")
        finally:
            session.x("xdotool", "mouseup", "3", check=True)
        session.x("xdotool", "key", "Escape", check=True)
        self.wait_menu_closed()
        desktop.park_pointer(session)

        # "Launch!" launches the entry whose icon was clicked, not the newest one.
        items = self.open_menu(icons[0], "menu-entry1")
        self.assertEqual(items.greyed, {LAUNCH_ITEM: False, CANCEL_ITEM: False, EXIT_ITEM: False})
        desktop.choose(session, items.launch)
        self.wait_menu_closed()
        self.assertEqual(self.wait_for_launches(run, 1), [
            launching(CMD, f"/c echo x > {run.win_folder}\\entry1.txt")])
        self.wait_for_file(run, run.path("entry1.txt"))
        settled = len(run.messages())

        # "Cancel Menu", and a click elsewhere, close the menu and do nothing else.
        desktop.choose(session, self.open_menu(icons[1], "menu-cancel").cancel)
        self.wait_menu_closed()
        self.open_menu(icons[1], "menu-elsewhere")
        desktop.park_pointer(session)
        # Wine grabs the pointer for a menu a moment after showing it, and a click before the
        # grab goes past the menu unseen: a menu that stays open gets a second click.
        session.click(400, 700)
        if not first_true(lambda: not desktop.popup_menus(session), 2):
            session.click(400, 700)
        self.wait_menu_closed()

        # Launching entry 2 now adds its one trace line and nothing before it.
        desktop.choose(session, self.open_menu(icons[1], "menu-entry2").launch)
        self.assertEqual(len(self.wait_for_launches(run, 2)), 2)
        self.assertEqual(run.messages()[settled:], [
            launching(CMD, f"/c echo x > {run.win_folder}\\entry2.txt")])
        self.wait_for_file(run, run.path("entry2.txt"))
        self.assertFalse(run.path("entry3.txt").exists())

    def test_menu_options(self):
        session = self.session

        # RightMouseMenuDisabled: the right button does nothing, a left click still launches.
        run, (icon,) = self.start_tray(
            lambda folder: [marker_command(folder, "marker.txt")],
            ini="ClickMode=SINGLE\r\nRightMouseMenuDisabled=True\r\n")
        session.click_icon(icon, button=3)
        seen = first_true(lambda: desktop.popup_menus(session), 1.5)
        self.assertFalse(seen, "no menu with RightMouseMenuDisabled")
        session.click_icon(icon)
        self.assertEqual(len(self.wait_for_launches(run, 1)), 1)
        self.assertFalse(desktop.popup_menus(session))
        run.kill()

        # ExitDisabled: the exit item is greyed and choosing it does nothing.
        run, (icon,) = self.start_tray(lambda folder: [marker_command(folder, "marker.txt")],
                                       ini="ExitDisabled=True\r\n")
        items = self.open_menu(icon, "menu-exit-disabled")
        self.assertEqual(items.greyed, {LAUNCH_ITEM: False, CANCEL_ITEM: False, EXIT_ITEM: True})
        desktop.choose(session, items.exit)
        self.assertFalse(first_true(lambda: desktop.exit_dialogs(session), 2 * TICK))
        session.x("xdotool", "key", "Escape", check=True)
        self.wait_menu_closed()
        desktop.choose(session, self.open_menu(icon, "menu-exit-disabled-launch").launch)
        self.assertEqual(len(self.wait_for_launches(run, 1)), 1)
        self.assertNotIn(EXIT_SELECTED, run.messages())
        self.assertFalse(desktop.exit_dialogs(session))

    def test_shift_right_click_extended_menu(self):
        """Shift with the right button opens the menu with the task bar's shortcuts. Both are
        chosen: the verb and the folder handed to the shell are traced, and the folder shows."""
        session = self.session
        run, (icon,) = self.start_tray(lambda folder: [marker_command(folder, "admin.txt")])
        parameters = f"/c echo x > {run.win_folder}\\admin.txt"
        for ups in (2, 1):  # from no selection Up selects the last item, "Open file location"
            session.x("xdotool", "mousemove", *icon.center, "keydown", "shift", "click", "3",
                      "keyup", "shift", check=True)
            run.wait_until(lambda: desktop.popup_menus(session), 10, "the popup menu")
            session.x("xdotool", "key", *["Up"] * ups, "Return", check=True)
            self.wait_menu_closed()
        run.wait_for_log(opening_location(CMD, "C:\\windows\\system32"))
        self.wait_for_file(run, run.path("admin.txt"))
        # Wine's shell shows the folder in its explorer, titled with the folder's name.
        browsers = first_true(lambda: session.windows_titled("system32"), 15)
        self.assertTrue(browsers, "the folder is shown")
        for browser in browsers:
            session.x("xdotool", "windowfocus", browser, "key", "alt+F4")
        self.assertTrue(first_true(lambda: not session.windows_titled("system32"), 5))
        self.assertEqual(run.messages()[-2:], [launching_elevated(CMD, parameters),
                                               opening_location(CMD, "C:\\windows\\system32")])
        self.assertFalse(run.boxes())

    # -- exit -------------------------------------------------------------------------------

    def test_exit_question_and_yes(self):
        cases = [
            # (icons, question)
            (1, EXIT_ONE),
            (3, exit_many(3)),
        ]
        for count, question in cases:
            with self.subTest(icons=count):
                run, icons = self.start_tray([f"{CMD} /c rem {n}" for n in range(1, count + 1)])
                settled = len(run.messages())
                dialog, _ = self.open_exit_dialog(run, icons[-1], f"exit{count}-menu")
                probed = testtools.probe_window(self.session, EXIT_TITLE)
                self.assertIsNotNone(probed)
                self.assertEqual(probed.child(IDS["IDC_LABMSG"])["text"], question)
                self.assert_dialog_design(probed)
                pictures.Screen.capture(self.session, f"exit{count}-dialog")

                # "Exit Perchlet..." again, from the first icon, while the question is open:
                # still one question.
                desktop.choose(self.session, self.open_menu(icons[0], f"exit{count}-again").exit)
                self.wait_menu_closed()
                self.assertFalse(
                    first_true(lambda: len(desktop.exit_dialogs(self.session)) > 1, 1.5),
                    "a second exit dialog")
                self.assertEqual(desktop.exit_dialogs(self.session), [dialog])
                self.assertEqual(run.messages()[settled:], [EXIT_SELECTED])

                # A real click on "Yes".
                self.session.click(*probed.rect_of(probed.child(IDS["IDC_BUTYES"])).center)
                self.assertEqual(run.wait_for_exit(), 0)
                self.assertEqual(run.messages()[settled:], [
                    EXIT_SELECTED, unloading(count),
                    SECTION_END])
                self.assertTrue(first_true(lambda: not self.session.tray_icons(), 5),
                                "no icon stays in the tray")

    def assert_dialog_design(self, probed):
        window = probed.fields
        style = int(window["style"], 16)
        exstyle = int(window["exstyle"], 16)
        self.assertEqual(window["text"], EXIT_TITLE)
        self.assertTrue(exstyle & 0x80, "a tool window (WS_EX_TOOLWINDOW)")
        self.assertFalse(style & 0x40000, "not resizable (WS_THICKFRAME)")
        self.assertFalse(style & 0x30000, "no minimise or maximise box")
        client = probed.rect_of(window, "client")
        if window["dpi"] == "96":
            # 7905 x 1545 twips at 15 twips a pixel.
            self.assertEqual((client.width, client.height), (527, 103))
        screen_width, screen_height = map(int, window["screen"].split(","))
        frame = probed.rect_of(window)
        self.assertLessEqual(abs(frame.x * 2 + frame.width - screen_width), 1, "centred")
        self.assertLessEqual(abs(frame.y * 2 + frame.height - screen_height), 1, "centred")
        yes = probed.child(IDS["IDC_BUTYES"])
        no = probed.child(IDS["IDC_BUTNO"])
        self.assertEqual((yes["text"], no["text"]), (YES_BUTTON, NO_BUTTON))
        self.assertLess(probed.rect_of(yes).x, probed.rect_of(no).x, "Yes stands left of No")
        self.assertEqual(int(window["focus"]), IDS["IDC_BUTNO"], "No has the focus")

    def test_exit_dialog_fades_the_icons_and_no_keeps_them(self):
        session = self.session
        run, icons = self.start_tray([f"{CMD} /c rem {n},Entry {n}" for n in (1, 2, 3)])
        settled = len(run.messages())
        self.assertEqual(pictures.crossed(pictures.Screen.capture(session, "before"), icons),
                         [False] * 3)
        _, tip_before = self.tooltip(icons, icons[1], "tooltip-before")

        dialog, chosen = self.open_exit_dialog(run, icons[0], "menu", menu_check=False)
        # The first tick comes one interval after the timer starts.
        self.assertTrue(self.wait_for_pictures(icons, True, 2 * TICK + 0.5, "crossed"),
                        "every icon shows its crossed picture within two ticks")
        first_fade = self.pictures_seen_at - chosen
        self.assertFalse(desktop.popup_menus(session), "the menu has closed")
        # ... and its normal picture again at the next tick: the pictures alternate.
        normal = self.wait_for_pictures(icons, False, 2 * TICK, "uncrossed")
        self.assertTrue(normal, "the icons go back to their normal pictures at the next tick")
        # The reference for the normal pictures is one the shell has just drawn anew: at
        # docking, the tray may still show what was on the screen before in part of an icon.
        normal_pictures = [normal.crop(icon.rect) for icon in icons]

        # Escape is no answer: the question stays and the fade goes on. Waiting for the
        # normal pictures and then the crossed ones finds the start of a crossed phase.
        self.dialog_key(dialog, "Escape")
        self.assertTrue(self.wait_for_pictures(icons, False, 2 * TICK, "normal-after-escape"))
        self.assertTrue(self.wait_for_pictures(icons, True, 2 * TICK, "crossed-after-escape"))
        self.assertEqual(desktop.exit_dialogs(session), [dialog])
        self.assertEqual(run.messages()[settled:], [EXIT_SELECTED])

        # Enter answers No, here while the crossed pictures show: the fade stops and every
        # icon shows its normal picture at once.
        self.dialog_key(dialog, "Return")
        run.wait_for_log(EXIT_CANCELLED)
        self.wait_dialog_closed()
        self.assert_normal_for_a_while(icons, normal_pictures, "after-no")

        # The next question goes on from the phase where the last fade stopped: its first
        # tick shows the normal pictures, the crossed ones come one interval later.
        dialog, chosen = self.open_exit_dialog(run, icons[2], "menu-again", menu_check=False)
        self.assertTrue(self.wait_for_pictures(icons, True, 3 * TICK + 0.5, "crossed-again"))
        second_fade = self.pictures_seen_at - chosen
        self.assertFalse(desktop.popup_menus(session), "the menu has closed")
        probed = testtools.probe_window(session, EXIT_TITLE)
        self.assertEqual(probed.child(IDS["IDC_LABMSG"])["text"], exit_many(3))
        self.assertGreater(second_fade - first_fade, TICK / 2,
                           "the crossed pictures wait for the second tick of this fade")

        # Alt+F4 on the dialog acts as No.
        self.dialog_key(dialog, "alt+F4")
        self.wait_dialog_closed()
        self.assert_normal_for_a_while(icons, normal_pictures, "after-alt-f4")
        self.assertEqual(run.messages()[settled:], [
            EXIT_SELECTED, EXIT_CANCELLED, EXIT_SELECTED, EXIT_CANCELLED])
        self.assertTrue(run.running())
        self.assertEqual(len(session.tray_icons()), 3)
        _, tip_after = self.tooltip(icons, icons[1], "tooltip-after")
        self.assertEqual(tip_after, tip_before, "the fade keeps the tooltip")
        print(f"crossed pictures {first_fade:.2f} s after choosing exit, "
              f"{second_fade:.2f} s the second time", file=sys.stderr)

    def wait_for_pictures(self, icons, crossed, timeout, name):
        """Takes screenshots until every icon shows its crossed (or every its normal) picture;
        returns that screenshot, or None when the time is up."""
        def look():
            # When the screenshot was begun, not when it was read: on a busy machine taking and
            # reading it lasts a good part of a tick.
            taken = time.monotonic()
            screen = pictures.Screen.capture(self.session, name)
            if pictures.crossed(screen, icons) != [crossed] * len(icons):
                return None
            self.pictures_seen_at = taken
            return screen
        return first_true(look, timeout, poll=0.05)

    def assert_normal_for_a_while(self, icons, normal_pictures, name):
        """Over more than two ticks, every icon keeps showing its normal picture."""
        def look():
            screen = pictures.Screen.capture(self.session, name)
            self.assertEqual(pictures.crossed(screen, icons), [False] * len(icons), screen.path)
            for icon, normal in zip(icons, normal_pictures):
                self.assertTrue(pictures.same_picture(screen.crop(icon.rect), normal),
                                f"the normal picture of the icon at {icon.x}; see {screen.path}")
            return False  # looks again until the time is up
        first_true(look, 2.5 * TICK, poll=0.2)

    # -- launch failures --------------------------------------------------------------------

    def test_launch_failures_are_reported(self):
        docs = Path(tempfile.mkdtemp(prefix="perchlet-docs-", dir=self.session.drive_c))
        (docs / "paper.zzq").write_text("no program opens this")
        paper = self.session.windows_path(docs / "paper.zzq")
        cases = [
            # (target, the shell's failure text)
            ("C:\\perchlet-nowhere\\missing.exe", "The specified file was not found"),
            (paper, "There is no application associated with the given file name extension"),
        ]
        # "50% off" fails its expansion, which start-up reports, and stays as an empty command.
        run, icons = self.start_tray([target for target, _ in cases] + ["50% off"],
                                     ini="ClickMode=SINGLE\r\n", debug="+ole")
        # COM is set up for the shell's extensions at the first launch, not at start-up.
        # Apartment, no OLE1 DDE; Wine traces the reserved pointer in the program's width.
        null = "0" * (8 if harness.build_arch() == "x86" else 16)
        com_setup = f"trace:ole:CoInitializeEx {null}, 0x6"

        def com_setups():
            return run.stderr_text().count(com_setup)
        self.assertEqual(com_setups(), 0)
        for (target, text), icon in zip(cases, icons):
            with self.subTest(target=target):
                shown = len(run.boxes())
                self.session.click_icon(icon)
                run.wait_for_boxes(shown + 1)
                box = run.boxes()[shown]
                self.assertFalse(box.truncated)
                self.assertEqual(box.text, launch_failed_box(target, text))
                messages = run.messages()
                at = messages.index(launching(target))
                self.assertEqual(messages[at + 1:],
                                 [launch_failed(text)])

        # An empty command is not handed to the shell: a warning in the trace, and no box.
        shown = len(run.boxes())
        settled = len(run.messages())
        self.session.click_icon(icons[-1])
        run.wait_for_log(EMPTY_LAUNCH)
        self.assertEqual(self.wait_for_launches(run, 0), [launching(t) for t, _ in cases])
        self.assertEqual(run.messages()[settled:], [EMPTY_LAUNCH])
        self.assertEqual(len(run.boxes()), shown)
        self.assertTrue(run.running())
        self.assertEqual(com_setups(), 1, "once, before the first launch")

    # -- a restarted shell ------------------------------------------------------------------

    def test_taskbar_created_brings_every_icon_back(self):
        session = self.session
        run, icons = self.start_tray(
            lambda folder: [marker_command(folder, f"entry{n}.txt") + f",Entry {n}"
                            for n in (1, 2, 3)], ini="ClickMode=SINGLE\r\n")
        tips = {self.tooltip(icons, icon, "restart-tip-before")[1] for icon in icons}
        self.assertEqual(len(tips), 3)

        # The shell forgets the icons, as a restarted one has.
        code, output = testtools.forget_icons(session, run, run.icon_ids)
        self.assertEqual(code, 0, output)
        self.assertTrue(first_true(lambda: not session.tray_icons(), 10), "the icons went away")
        self.assertTrue(run.running())

        code, output = testtools.broadcast_taskbar_created(session)
        self.assertEqual(code, 0, output)
        back = session.wait_for_tray_icons(3)
        self.assertEqual(len(back), 3)
        self.assertFalse({icon.window for icon in back} & {icon.window for icon in icons},
                         "docked anew")
        # A second broadcast adds no icon twice.
        code, output = testtools.broadcast_taskbar_created(session)
        self.assertEqual(code, 0, output)
        self.assertFalse(first_true(lambda: len(session.tray_icons()) != 3, 1.5))
        back = sorted(session.tray_icons(), key=lambda icon: icon.window)
        pictures.Screen.capture(session, "restart-back")

        # They are the same icons: their tooltips, and each launches its own entry.
        self.assertEqual({self.tooltip(back, icon, "restart-tip-after")[1] for icon in back},
                         tips)
        for icon in back:
            session.click_icon(icon)
        self.wait_for_launches(run, 3)
        self.assertEqual(sorted(launches(run)), [
            launching(CMD, f"/c echo x > {run.win_folder}\\entry{n}.txt") for n in (1, 2, 3)])

    # -- a task bar that is late or busy --------------------------------------------------

    def test_refused_icons_are_asked_for_again_until_shown(self):
        session = self.session
        # Start-up: entry 1 refused, the others left to the retries. The first retry is refused;
        # on the next, entry 2's addition is taken but reported as failed (a call that timed out).
        # Then the tray takes what it is handed, except entry 1's after the task bar comes back.
        fake = testtools.FakeTray(session, "R" + "RR" + "FFFFL" + "FFFFF" + "R", "refusing")
        self.addCleanup(fake.stop)
        tips = {1: "Entry 1", 2: "Entry 2", 3: "Entry 3"}
        run, icons = self.start_tray([f"{CMD} /c rem {n},{tip}" for n, tip in tips.items()])
        # The shell is handed each command's own id; the requests name the entries by it.
        entry_of = {uid: n for n, uid in enumerate(run.icon_ids, 1)}

        def asked(requests):
            return [(r["message"], entry_of[int(r["uid"])], r["action"], r["reply"])
                    for r in requests]

        def version_set(n):
            return ("SETVERSION", n, "passed", "1")

        def settled(count):
            # The tries are over: nothing more comes over two more retry intervals.
            self.assertTrue(first_true(lambda: len(fake.requests()) >= count, 10), fake.records())
            time.sleep(2 * RETRY + 0.5)
            requests = fake.requests()
            self.assertEqual(len(requests), count, "no request after all icons are shown")
            return requests

        requests = settled(13)
        self.assertEqual(asked(requests), [
            ("ADD", 1, "refused", "0"),  # the only request for three icons: the rest wait
            # the next tick: a change first, as an addition may have been taken after all; a
            # refusal ends the tick
            ("MODIFY", 1, "refused", "0"), ("ADD", 1, "refused", "0"),
            # each icon taken is asked to report the keyboard's choice and menu key
            ("MODIFY", 1, "passed", "0"), ("ADD", 1, "passed", "1"), version_set(1),
            ("MODIFY", 2, "passed", "0"), ("ADD", 2, "lost", "0"),
            ("MODIFY", 2, "passed", "1"), version_set(2),
            ("MODIFY", 3, "passed", "0"), ("ADD", 3, "passed", "1"), version_set(3)])
        for request in requests:
            if request["message"] == "SETVERSION":
                continue
            # Every try hands the whole entry over: its tip, its message and its icon.
            self.assertEqual(request["tip"], tips[entry_of[int(request["uid"])]])
            self.assertEqual((request["flags"], request["width"], request["height"]),
                             ("7", "16", "16"))
        self.assertEqual(len(session.tray_icons()), 3, "each icon docked once")
        self.assertFalse([m for m in run.messages() if m.startswith("Warning: ")])

        # The task bar is created again and refuses entry 1 once more: it comes back too.
        code, output = testtools.forget_icons(session, run, run.icon_ids)
        self.assertEqual(code, 0, output)
        self.assertTrue(first_true(lambda: not session.tray_icons(), 10), "the icons went away")
        code, output = testtools.broadcast_taskbar_created(session)
        self.assertEqual(code, 0, output)
        requests = settled(23)
        self.assertEqual(asked(requests[13:]), [
            ("ADD", 1, "refused", "0"),
            ("MODIFY", 1, "passed", "0"), ("ADD", 1, "passed", "1"), version_set(1),
            ("MODIFY", 2, "passed", "0"), ("ADD", 2, "passed", "1"), version_set(2),
            ("MODIFY", 3, "passed", "0"), ("ADD", 3, "passed", "1"), version_set(3)])
        back = session.wait_for_tray_icons(3)
        self.assertEqual(len(back), 3)
        self.assertEqual(len(session.tray_icons()), 3, "each icon docked once")
        self.assertTrue(run.running())

        # Another run, a line added at the top, the others reordered and one repeated: each
        # command keeps its id, and the repetition gets one of its own.
        self.start_tray([f"{CMD} /c rem {n},Entry {n}" for n in (4, 3, 1, 2, 1)])
        added = [(r["tip"], int(r["uid"])) for r in fake.requests()[23:] if r["message"] == "ADD"]
        self.assertEqual(added[1:4], [(tips[n], run.icon_ids[n - 1]) for n in (3, 1, 2)])
        self.assertEqual(len({uid for _, uid in added}), 5)

    # -- the limit --------------------------------------------------------------------------

    def test_a_31st_command_is_refused(self):
        lines = [f"{CMD} /c rem {n},Entry {n}" for n in range(1, 32)]
        run, icons = self.start_tray(lines, icons=30)
        # The refusal is the last thing start-up writes: no icon is added for it.
        run.wait_for_log(limit_reached(f"{CMD} /c rem 31"))
        self.assertEqual(run.messages()[-1], limit_reached(f"{CMD} /c rem 31"))
        self.assertEqual(len(self.session.tray_icons()), 30)
        pictures.Screen.capture(self.session, "thirty-icons")

        settled = len(run.messages())
        self.open_exit_dialog(run, icons[-1], "thirty-menu")
        probed = testtools.probe_window(self.session, EXIT_TITLE)
        self.assertEqual(probed.child(IDS["IDC_LABMSG"])["text"], exit_many(30))
        self.session.click(*probed.rect_of(probed.child(IDS["IDC_BUTYES"])).center)
        self.assertEqual(run.wait_for_exit(), 0)
        self.assertEqual(run.messages()[settled:], [
            EXIT_SELECTED, unloading(30), SECTION_END])
        self.assertTrue(first_true(lambda: not self.session.tray_icons(), 5))


if __name__ == "__main__":
    unittest.main(verbosity=2)
