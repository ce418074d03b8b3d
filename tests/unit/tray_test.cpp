#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "common/unicode.h"
#include "exit/fade.h"
#include "fakes.h"
#include "icon_fakes.h"
#include "icons/icon_choice.h"
#include "tray/entry_plan.h"
#include "tray/entry_table.h"
#include "tray/icon_ids.h"
#include "tray/launch.h"
#include "tray/new_icons.h"
#include "tray/tray_entries.h"
#include "tray/tray_logic.h"

namespace perchlet {
namespace {

class FakeShell : public Shell {
public:
    std::intptr_t result = 42;
    std::optional<std::intptr_t> elevatedResult = 42;  // none: the consent prompt was cancelled
    std::vector<std::pair<std::string, std::string>> opened;
    std::vector<std::string> located;
    std::intptr_t open(const std::string& target, const std::string& parameters) override {
        opened.emplace_back(target, parameters);
        return result;
    }
    std::optional<std::intptr_t> runAsAdministrator(const std::string&,
                                                    const std::string&) override {
        return elevatedResult;
    }
    void openLocation(const std::string& path) override {
        located.push_back(path);
        if (path.find("denied") != std::string::npos) {
            throw RunError(5, "Access is denied");
        }
    }
};

TEST(TrayEvents, LaunchMenuOrNothingByMessageAndOptions) {
    struct Case {
        std::int32_t clickMode;
        bool menuDisabled;
        std::uint32_t message;
        TrayAction action;
        HeldKeys keys = {};
    } cases[] = {
        {514, false, 0x202, TrayAction::Launch},  // single click
        {514, false, 0x203, TrayAction::None},    // the double click is not the chosen one
        {515, false, 0x203, TrayAction::Launch}, {515, false, 0x202, TrayAction::None},
        {0, false, 0x202, TrayAction::None},      // no ClickMode: no click launches
        {0, false, 0x200, TrayAction::None},      // mouse movement
        {0, false, 0x204, TrayAction::OpenMenu},  // right button pressed
        {0, false, 0x205, TrayAction::None},      // right button released
        {0, true, 0x204, TrayAction::None},      {514, true, 0x202, TrayAction::Launch},
        {514, false, 0x401, TrayAction::Launch},  // Enter: the launching click of the mode
        {515, true, 0x401, TrayAction::Launch},  {0, false, 0x401, TrayAction::None},
        {0, false, 0x7B, TrayAction::KeyMenu},  // the menu key: the right button's, at the icon
        {0, true, 0x7B, TrayAction::None},       {514, false, 0x400, TrayAction::None},
    };
    // Shift shows more on the right button, Ctrl+Shift elevates the launching click; the
    // keyboard's menu (Shift+F10 too) and choice stay as they are.
    const HeldKeys shift{true, false}, both{true, true};
    const Case held[] = {
        {0, false, 0x204, TrayAction::ExtendedMenu, shift},
        {0, true, 0x204, TrayAction::None, shift},
        {0, false, 0x7B, TrayAction::KeyMenu, shift},
        {515, true, 0x203, TrayAction::LaunchAsAdministrator, both},
        {514, false, 0x202, TrayAction::Launch, shift},
        {514, false, 0x401, TrayAction::Launch, both},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    all.insert(all.end(), std::begin(held), std::end(held));
    for (const auto& c : all) {
        Options options;
        options.ClickMode = c.clickMode;
        options.RightMouseMenuDisabled = c.menuDisabled;
        EXPECT_EQ(decideTrayEvent(c.message, options, c.keys), c.action)
            << c.clickMode << " " << c.menuDisabled << " " << c.message << " " << c.keys.shift;
    }
}

TEST(TrayEvents, TheMouseOwnContextMenuAndARepeatedKeyChoiceDoNothing) {
    // (message, time in ms, icon, action): a right click, a move, the menu key; Enter sent
    // twice, again later, then on another icon.
    const std::tuple<std::uint32_t, std::uint64_t, std::uint32_t, TrayAction> steps[] = {
        {0x204, 10, 1, TrayAction::OpenMenu}, {0x205, 20, 1, TrayAction::None},
        {0x7B, 20, 1, TrayAction::None},      {0x200, 900, 1, TrayAction::None},
        {0x7B, 990, 1, TrayAction::KeyMenu},  {0x401, 1000, 1, TrayAction::Launch},
        {0x401, 1010, 1, TrayAction::None},   {0x401, 1600, 1, TrayAction::Launch},
        {0x401, 1610, 2, TrayAction::Launch},
    };
    Options options;
    options.ClickMode = 514;
    TrayEventReader reader;
    for (const auto& [message, time, id, action] : steps) {
        EXPECT_EQ(reader.read(id, message, time, 500, options), action) << message << "@" << time;
    }
}

TEST(TrayMenu, OnlyLaunchAndExitDoAnything) {
    EXPECT_EQ(menuItemAction(1), MenuAction::Launch);
    EXPECT_EQ(menuItemAction(5), MenuAction::Exit);
    for (int index : {0, 2, 3, 4, 6}) {
        EXPECT_EQ(menuItemAction(index), MenuAction::None) << index;
    }
}

TEST(TrayPictures, TheTaskbarDisplaysScaleThenTheSystemsThen16) {
    // (at the task bar's scale, at the system's, the side): 0 or beyond 256 is untold.
    const std::tuple<int, int, int> cases[] = {{24, 16, 24}, {16, 32, 16}, {0, 20, 20},
                                               {0, 0, 16},   {-1, 0, 16},  {4096, 24, 24}};
    for (const auto& [atTaskbar, system, side] : cases) {
        EXPECT_EQ(trayPictureSide(atTaskbar, system), side) << atTaskbar << " " << system;
    }
}

TEST(TrayTip, EndsWithANulWithinTheFieldAndPadsWithBlanks) {
    const std::u16string pair = u"\U0001F600";  // two UTF-16 units
    struct Case {
        std::u16string tip;
        std::size_t kept;  // UTF-16 units before the NUL
    } cases[] = {
        {u"", 0},
        {u"x", 1},
        {std::u16string(62, u'x'), 62},
        {std::u16string(63, u'x'), 63},
        {std::u16string(64, u'x'), 63},
        {std::u16string(80, u'x'), 63},
        {std::u16string(70, u'\u8868'), 63},    // CJK: one unit each
        {std::u16string(61, u'x') + pair, 63},  // the pair just fits
        {std::u16string(62, u'x') + pair, 62},  // the pair would straddle the NUL: left out
    };
    for (const auto& c : cases) {
        const std::string tip = utf8FromUtf16(c.tip);
        const auto field = tipField(tip);
        EXPECT_EQ(std::u16string(field.data(), c.kept), c.tip.substr(0, c.kept)) << tip;
        EXPECT_EQ(field[c.kept], u'\0') << tip;
        for (std::size_t i = c.kept + 1; i < field.size(); ++i) {
            EXPECT_EQ(field[i], u' ') << tip << " at " << i;
        }
    }
}

TEST(ExitTexts, SingularForOneIconAndTheCountOtherwise) {
    EXPECT_EQ(exitQuestion(1),
              "Exiting Perchlet will remove the icon currently managed by it. Are you sure?");
    EXPECT_EQ(exitQuestion(3),
              "Exiting Perchlet will remove the 3 icons currently managed by it. Are you sure?");
    EXPECT_EQ(shutdownTraceLine(1), "Unloading 1 icons and terminating...");
    EXPECT_EQ(kSectionEnd, std::string(75, '-'));
}

TEST(Fade, AlternatesAndCarriesItsPhaseOverAStop) {
    FadePhase phase;
    EXPECT_EQ(phase.tick(), FadeDirection::Up);
    EXPECT_EQ(phase.tick(), FadeDirection::Down);
    EXPECT_EQ(phase.tick(), FadeDirection::Up);
    // A stop here leaves the phase up: the next fade begins with the normal pictures.
    EXPECT_EQ(phase.tick(), FadeDirection::Down);
}

TEST(NewIcons, ShownTogetherAtTheEndOrEveryQuarterSecond) {
    struct Case {
        std::vector<std::uint64_t> madeAt;  // entries 1, 2, ... made at these times
        std::vector<std::int32_t> shown;    // the entries shown, 0 before each batch
    } cases[] = {
        {{0, 10, 249}, {0, 1, 2, 3}},
        {{100, 250, 260, 499, 500}, {0, 1, 2, 0, 3, 4, 5, 0}},
        {{1000}, {0, 1, 0}},  // a late first entry shows at once
    };
    for (const auto& c : cases) {
        NewIcons icons(0);
        std::vector<std::int32_t> shown;
        const auto show = [&](std::int32_t n) { shown.push_back(n); };
        std::int32_t n = 0;
        for (const std::uint64_t at : c.madeAt) {
            if (icons.add(++n, at)) {
                shown.push_back(0);
                icons.show(at, show);
            }
        }
        shown.push_back(0);  // start-up's end
        icons.show(0, show);
        EXPECT_EQ(shown, c.shown) << c.madeAt.size();
    }
}

// A box shown while an entry's icon is chosen runs a message loop, in which the user may choose
// "Exit Perchlet..." on an icon already shown: the question and the fade meet only whole entries.
TEST(TrayEntries, AnExitChosenWhileAnIconsBoxWaitsMeetsOnlyStoredEntries) {
    testing::FakeSystem system;
    system.openLog();
    testing::FakeIconServices icons;
    TrayEntryTable<std::string> entries;
    ASSERT_EQ(entries.store(std::make_unique<std::string>("first")), 1);
    std::string question;
    std::vector<std::string> faded;
    system.boxes.whileShown = [&] {
        question = exitQuestion(entries.count());
        for (std::int32_t n = 1; n <= entries.count(); ++n) {
            faded.push_back(entries.find(n) != nullptr ? *entries.find(n) : "missing");
        }
    };
    const std::string command = "C:\\Gone\\missing.exe";  // its icon source is not there
    const std::int32_t n = addTrayEntry(system.program, entries, command, [&](std::int32_t next) {
        chooseIconFile(system.program, icons.services, command, analyseCommand(command), "", next);
        return std::make_unique<std::string>("second");
    });
    ASSERT_EQ(system.boxes.shown.size(), 1u);
    EXPECT_EQ(system.boxes.shown[0].flags, kIconWarning);
    EXPECT_EQ(question, exitQuestion(1));
    EXPECT_EQ(faded, std::vector<std::string>{"first"});

    // Stored, it counts; a removed entry keeps its number from being given again, and a failed
    // addition leaves none and its number to the next.
    EXPECT_EQ(n, 2);
    entries.remove(1);
    const RunError failure(5, "Access is denied");
    EXPECT_EQ(addTrayEntry(system.program, entries, "x.exe",
                           [&](std::int32_t) -> std::unique_ptr<std::string> { throw failure; }),
              0);
    EXPECT_EQ(system.traceMessages().back(), errorReport(failure, "AddIconToTray"));
    EXPECT_EQ(entries.find(1), nullptr);
    EXPECT_EQ(*entries.find(2), "second");
    EXPECT_EQ(entries.find(3), nullptr);
    EXPECT_EQ(entries.nextNumber(), 3);
    while (entries.store(std::make_unique<std::string>("more")) != 0) {
    }
    EXPECT_EQ(entries.count(), kMaxTrayEntries);
    EXPECT_TRUE(entries.full());
    EXPECT_EQ(addTrayEntry(system.program, entries, "x.exe",
                           [](std::int32_t) { return std::make_unique<std::string>("over"); }),
              0);
    EXPECT_EQ(system.traceMessages().back(),
              "Warning: Tray icon limit of 30 reached, ignoring command 'x.exe'");
}

// The Win32 side of the entries, as calls in order.
class FakeTrayHost : public TrayHost {
public:
    std::vector<std::string> calls;
    std::string unloadable;            // the icon file that cannot be loaded
    std::int32_t windowGone = 0;       // the icon whose fade raises
    std::function<void()> whileAsked;  // what the user does while the question is open
    std::uint64_t time = 0;
    std::vector<std::uint32_t> ids;  // of the icons made, in order: the calls name them 1, 2, ...
    int menuChoice = kMenuExit;

    class Icon : public EntryIcon {
    public:
        Icon(FakeTrayHost& host, EntryIconSpec spec)
            : host_(host), spec_(std::move(spec)), number_(host.ids.size()) {}
        ~Icon() override { host_.calls.push_back("remove " + id()); }
        void show() override { host_.calls.push_back("show " + id() + " " + spec_.tooltip); }
        void showFadePicture(FadeDirection direction) override {
            if (static_cast<std::int32_t>(number_) == host_.windowGone) {
                throw RunError(1400, "Invalid window handle.");
            }
            host_.calls.push_back((direction == FadeDirection::Up ? "up " : "down ") + id());
        }
        int showMenu(bool, Extras extras) override {
            host_.calls.push_back("menu " + id() +
                                  (!extras.shown          ? ""
                                   : extras.locationOpens ? " extended"
                                                          : " extended greyed"));
            return host_.menuChoice;
        }

    private:
        std::string id() const { return std::to_string(number_); }
        FakeTrayHost& host_;
        EntryIconSpec spec_;
        std::size_t number_;
    };

    void openWindow() override {}
    MadeIcon makeIcon(const EntryIconSpec& spec) override {
        ids.push_back(spec.id);
        calls.push_back("make " + std::to_string(ids.size()) + " " + spec.iconFile);
        return {std::make_unique<Icon>(*this, spec), spec.iconFile != unloadable};
    }
    void startFadeTimer() override { calls.push_back("start"); }
    void stopFadeTimer() override { calls.push_back("stop"); }
    bool bringQuestionForward() override { return asking; }
    void askExit(const std::string& question) override {
        calls.push_back(question);
        asking = true;
        whileAsked();
        asking = false;
    }
    std::uint64_t now() override { return time; }
    std::uint64_t doubleClickTime() override { return 500; }
    void endProgram() override { calls.push_back("end"); }
    bool asking = false;
};

// One run through the entries' life: additions batched, a click, the menu's exit with its fade
// (one fault report per fade), a second exit while the question is open, No, then Yes.
TEST(TrayEntries, AddClickFadeAndAnswersReachTheIconsAndHostInOrder) {
    testing::FakeSystem system;
    system.openLog();
    system.program.options.ClickMode = 514;
    system.files.contents["C:\\Icons\\a.ico"] = system.files.contents["C:\\Icons\\bad.ico"] = "";
    testing::FakeIconServices icons;
    FakeShell shell;
    FakeTrayHost host;
    host.unloadable = "C:\\Icons\\bad.ico";
    TrayEntries entries(system.program, shell, icons.services, host, 0);
    const auto add = [&](std::string command, std::string tip, std::string icon) {
        entries.AddIconToTray({command, tip, icon});
    };
    const auto exitFromMenu = [&](std::size_t n) {
        entries.iconEvent(host.ids[n - 1], kRightButtonDown);
    };
    const RunError gone(1400, "Invalid window handle.");
    struct Step {
        std::function<void()> act;
        std::vector<std::string> calls;
        std::vector<std::string> trace;  // the lines it adds
    } steps[] = {
        {[&] { add("notepad.exe C:\\a.txt", "Notes", "C:\\Icons\\a.ico"); },
         {"make 1 C:\\Icons\\a.ico"},
         {"Adding new icon to Tray for 'notepad.exe C:\\a.txt'"}},
        {[&] {  // a quarter second on: both show
             host.time = 250;
             add("C:\\b.doc", "", "C:\\Icons\\bad.ico");
         },
         {"make 2 C:\\Icons\\bad.ico", "show 1 Notes", "show 2 C:\\b.doc"},
         {"Adding new icon to Tray for 'C:\\b.doc'",
          "Warning: icon 'C:\\Icons\\bad.ico' couldn't be loaded, using default instead"}},
        {[&] { entries.showNewIcons(); }, {}, {}},
        {[&] { entries.iconEvent(host.ids[0], 0x202); },
         {},
         {"Launching 'notepad.exe' (with parameters of 'C:\\a.txt')"}},
        {[&] { entries.iconEvent(3, 0x202); }, {}, {}},  // no such icon
        {[&] {
             host.whileAsked = [&] {
                 entries.tmrFade_Timer();
                 exitFromMenu(1);  // brings the open question forward
                 host.windowGone = 2;
                 entries.tmrFade_Timer();
                 entries.tmrFade_Timer();
                 entries.exitCancelled();
             };
             exitFromMenu(2);
         },
         {"menu 2", "start", exitQuestion(2), "up 1", "up 2", "menu 1", "down 1", "up 1", "stop",
          "down 1"},
         {"Exit selected...", errorReport(gone, "subFade"), "Exit cancelled!"}},
        {[&] {
             host.whileAsked = [&] {
                 entries.tmrFade_Timer();  // a new fade reports its fault again
                 entries.exitConfirmed();
             };
             exitFromMenu(1);
         },
         {"menu 1", "start", exitQuestion(2), "down 1", "remove 1", "remove 2", "end"},
         {"Exit selected...", errorReport(gone, "subFade"), shutdownTraceLine(2), kSectionEnd}},
    };
    for (std::size_t index = 0; index < std::size(steps); ++index) {
        host.calls.clear();
        const std::size_t traced = system.traceMessages().size();
        steps[index].act();
        const auto trace = system.traceMessages();
        EXPECT_EQ(host.calls, steps[index].calls) << "step " << index;
        EXPECT_EQ(std::vector<std::string>(trace.begin() + traced, trace.end()), steps[index].trace)
            << "step " << index;
    }
    EXPECT_EQ(shell.opened.size(), 1u);
}

// Each entry owns its icon: removing every entry (a start-up that fails) or dropping the entries
// takes each icon from the shell once, and one made but not yet shown is never shown after.
TEST(TrayEntries, EveryIconGoesWithItsEntryAndAnUnshownOneNeverShows) {
    testing::FakeSystem system;
    system.openLog();
    system.files.contents["C:\\Icons\\a.ico"] = "";
    testing::FakeIconServices icons;
    FakeShell shell;
    FakeTrayHost host;
    // Dropped, the table lets its entries go from the last.
    const std::pair<bool, std::vector<std::string>> cases[] = {
        {true, {"remove 1", "remove 2", "remove 3"}},
        {false, {"remove 3", "remove 2", "remove 1"}}};
    for (const auto& [removeAll, removals] : cases) {
        host.calls.clear();
        host.ids.clear();
        host.time = 0;
        {
            TrayEntries entries(system.program, shell, icons.services, host, 0);
            entries.AddIconToTray({"a.exe", "A", "C:\\Icons\\a.ico"});
            host.time = 250;
            entries.AddIconToTray({"b.exe", "", "C:\\Icons\\a.ico"});   // both show
            entries.AddIconToTray({"c.exe", "C", "C:\\Icons\\a.ico"});  // waits for the next batch
            if (removeAll) {
                entries.removeAllIcons();
                entries.showNewIcons();
                entries.iconEvent(host.ids[0], kRightButtonDown);  // gone: no menu
            }
        }
        const std::string made = "C:\\Icons\\a.ico";
        std::vector<std::string> calls{"make 1 " + made, "make 2 " + made, "show 1 A",
                                       "show 2 b.exe", "make 3 " + made};
        calls.insert(calls.end(), removals.begin(), removals.end());
        EXPECT_EQ(host.calls, calls) << removeAll;
    }
}

// The icons' ids follow the command, not its line: with given hashes (the length, 0, the top)
// repetitions and collisions take the next free id.
TEST(IconIds, SameCommandSameIdRepetitionsAndCollisionsTakeTheNextFree) {
    const IconIds::Hash given = [](std::string_view c) -> std::uint32_t {
        return c == "top" ? 0xFFFFFFFFu : c == "zero" ? 0u : c.size();
    };
    const std::pair<std::vector<std::string>, std::vector<std::uint32_t>> cases[] = {
        {{"ab", "cd", "ab", "x"}, {2, 3, 4, 1}}, {{"top", "top", "zero"}, {0xFFFFFFFFu, 1, 2}}};
    for (const auto& [lines, expected] : cases) {
        IconIds ids(given);
        std::vector<std::uint32_t> taken;
        for (const auto& line : lines) {
            taken.push_back(ids.take(line));
        }
        EXPECT_EQ(taken, expected) << lines.size();
    }
    EXPECT_EQ(commandHash("a"), 0xE40C292Cu);  // FNV-1a's published value
}

// The extended menu and the elevating click: the trace lines and boxes of each; the location
// item greyed for a target that is not there.
TEST(TrayEntries, TheTaskBarsShortcutsReachTheShell) {
    testing::FakeSystem system;
    system.openLog();
    system.program.options.ClickMode = 514;
    system.files.contents["C:\\Tools\\a.exe"] = system.files.contents["C:\\denied\\b"] = "";
    testing::FakeIconServices icons;
    FakeShell shell;
    FakeTrayHost host;
    TrayEntries entries(system.program, shell, icons.services, host, 0);
    for (const char* command : {"C:\\Tools\\a.exe -x", "C:\\gone", "C:\\denied\\b"}) {
        entries.AddIconToTray({command, "", ""});
    }
    const std::string
        runas = "Launching 'C:\\Tools\\a.exe' (with parameters of '-x') with the verb 'runas'|",
        cancelled = "Launch cancelled at the administrator's consent prompt|",
        failed = "Error: Launch failed - Windows returned 'The specified file was not found'|",
        open = "Opening file location of 'C:\\Tools\\a.exe' in folder 'C:\\Tools'|",
        denied =
            "Opening file location of 'C:\\denied\\b' in folder 'C:\\denied'|Error: "
            "Opening file location failed - Windows returned 'Access is denied'|";
    const std::tuple<std::size_t, int, std::optional<std::intptr_t>, std::string, std::string,
                     std::size_t>
        cases[] = {{1, kMenuRunAsAdministrator, 42, "menu 1 extended", runas, 0},
                   {1, 0, std::nullopt, "", runas + cancelled, 0},  // choice 0: Ctrl+Shift+click
                   {1, 0, 2, "", runas + failed, 1},
                   {1, kMenuOpenLocation, 42, "menu 1 extended", open, 0},
                   {2, kMenuCancel, 42, "menu 2 extended greyed", "", 0},
                   {3, kMenuOpenLocation, 42, "menu 3 extended", denied, 1}};
    for (const auto& [icon, choice, elevated, menu, trace, boxes] : cases) {
        host.calls.clear();
        host.menuChoice = choice;
        shell.elevatedResult = elevated;
        const std::size_t traced = system.traceMessages().size(), shown = system.boxes.shown.size();
        entries.iconEvent(host.ids[icon - 1], choice == 0 ? 0x202 : kRightButtonDown,
                          {true, choice == 0});
        std::string added;
        for (std::size_t line = traced; line < system.traceMessages().size(); ++line) {
            added += system.traceMessages()[line] + "|";
        }
        EXPECT_EQ(added, trace) << menu;
        EXPECT_EQ(host.calls, menu.empty() ? std::vector<std::string>{} : std::vector{menu});
        EXPECT_EQ(system.boxes.shown.size() - shown, boxes) << menu;
    }
    EXPECT_EQ(shell.located, (std::vector<std::string>{"C:\\Tools\\a.exe", "C:\\denied\\b"}));
    EXPECT_TRUE(shell.opened.empty());
}

class Launching : public ::testing::Test {
protected:
    Launching() { system.openLog(); }
    testing::FakeSystem system;
    FakeShell shell;
};

TEST_F(Launching, TracesTheTargetWithItsParameters) {
    EXPECT_EQ(funcLaunchCommand(system.program, shell, "notepad.exe", ""), 42);
    EXPECT_EQ(funcLaunchCommand(system.program, shell, "notepad.exe", "c:\\a.txt"), 42);
    EXPECT_EQ(
        system.traceMessages(),
        (std::vector<std::string>{"Launching 'notepad.exe' (without parameters)",
                                  "Launching 'notepad.exe' (with parameters of 'c:\\a.txt')"}));
    EXPECT_TRUE(system.boxes.shown.empty());
    ASSERT_EQ(shell.opened.size(), 2u);
    EXPECT_EQ(shell.opened[1].second, "c:\\a.txt");
}

TEST_F(Launching, AnEmptyTargetOnlyWarnsInTheTrace) {
    EXPECT_FALSE(funcLaunchCommand(system.program, shell, "", "x").has_value());
    EXPECT_EQ(system.traceMessages(),
              std::vector<std::string>{
                  "Warning: Abandoning launch attempt as command to launch appears to be empty.."});
    EXPECT_TRUE(shell.opened.empty());
    EXPECT_TRUE(system.boxes.shown.empty());
}

TEST_F(Launching, KnownFailuresAreTracedAndShownOthersPassQuietly) {
    std::size_t named = 0;
    for (std::intptr_t result = -1; result <= 40; ++result) {
        testing::FakeSystem fresh;
        fresh.openLog();
        shell.result = result;
        EXPECT_EQ(funcLaunchCommand(fresh.program, shell, "x.doc", ""), result);
        const char* text = shellFailureText(result);
        if (text == nullptr) {
            EXPECT_EQ(fresh.traceMessages().size(), 1u) << result;
            EXPECT_TRUE(fresh.boxes.shown.empty()) << result;
            continue;
        }
        ++named;
        EXPECT_EQ(fresh.traceMessages().back(),
                  std::string("Error: Launch failed - Windows returned '") + text + "'");
        ASSERT_EQ(fresh.boxes.shown.size(), 1u);
        EXPECT_EQ(fresh.boxes.shown[0].prompt,
                  std::string("Launching 'x.doc' (without parameters) failed unexpectedly.\r\r"
                              "The error returned from Windows was '") +
                      text + "'");
        EXPECT_EQ(fresh.boxes.shown[0].flags, kIconWarning);
    }
    EXPECT_EQ(named, 13u);
    EXPECT_STREQ(shellFailureText(2), "The specified file was not found");
    EXPECT_STREQ(shellFailureText(31),
                 "There is no application associated with the given file name extension");
}

}  // namespace
}  // namespace perchlet
