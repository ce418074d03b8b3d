#include <gtest/gtest.h>

#include <stdexcept>

#include "fakes.h"
#include "startup/startup.h"

namespace perchlet {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kTitle = "Perchlet! v4.2.7";
constexpr const char* kBatch = R"(C:\b.txt)";

using testing::RecordingTray;

// A system whose working folder is the one the fake log path names.
struct Startup : ::testing::Test {
    testing::FakeSystem system;
    RecordingTray tray;
    Startup() { system.env.variables["APPDATA"] = R"(C:\Data)"; }
    StartupOutcome run(const std::string& arguments) {
        system.process.arguments = arguments;
        return subMain(system.program, tray);
    }
    Lines trace() const { return system.traceMessages(); }
};

TEST_F(Startup, TracesIdentityAndOptionsBeforeTheCommandLine) {
    system.files.contents[R"(C:\Apps\Perchlet.ini)"] = "ClickMode=Single";
    EXPECT_EQ(run("notepad.exe c:\\a.txt,My notes"), StartupOutcome::Run);
    EXPECT_EQ(system.program.strAppTitle, kTitle);
    EXPECT_EQ(trace(), (Lines{"Perchlet! v4.2.7 - Initializing!", "Reading Options...",
                              "ClickMode setting value read as 514",
                              R"(Perchlet command line is 'notepad.exe c:\a.txt,My notes')"}));
    EXPECT_EQ(tray.added, (std::vector<Lines>{{R"(notepad.exe c:\a.txt)", "My notes", ""}}));
    EXPECT_TRUE(system.boxes.shown.empty());
}

TEST_F(Startup, AnEmptyCommandLineAsksForOneAndEnds) {
    EXPECT_EQ(run(""), StartupOutcome::EndNow);
    EXPECT_EQ(trace().back(), "Perchlet command line is ''");
    ASSERT_EQ(system.boxes.shown.size(), 1u);
    EXPECT_EQ(system.boxes.shown[0].prompt,
              "Please supply an appropriate command line.\n\nRefer to the 'Getting started with "
              "Perchlet' document for full details");
    EXPECT_EQ(system.boxes.shown[0].flags, kIconWarning);
    EXPECT_EQ(system.boxes.shown[0].title, kTitle);
    EXPECT_TRUE(tray.added.empty());
}

TEST(StartupSwitch, BatchSwitchIsRecognisedInAnyCaseAtTheVeryStartOnly) {
    struct Case {
        const char* arguments;
        bool batch;
    } cases[] = {{"/BATCH:C:\\b.txt", true},
                 {"/batch:C:\\b.txt", true},
                 {"/BaTcH:C:\\b.txt", true},
                 {" /BATCH:C:\\b.txt", false}};
    for (const auto& c : cases) {
        testing::FakeSystem system;
        RecordingTray tray;
        system.files.contents[kBatch] = "from.batch";
        system.process.arguments = c.arguments;
        EXPECT_EQ(subMain(system.program, tray), StartupOutcome::Run) << c.arguments;
        ASSERT_EQ(tray.added.size(), 1u) << c.arguments;
        EXPECT_EQ(tray.added[0][0], c.batch ? "from.batch" : c.arguments);
    }
}

TEST_F(Startup, AMissingHiddenOrQuotedBatchFileIsReportedAndEnds) {
    system.files.contents[R"(C:\hidden.txt)"] = "x.exe";
    system.files.hidden.insert(R"(C:\hidden.txt)");
    system.files.contents[kBatch] = "x.exe";
    for (const std::string name : {R"(C:\none.txt)", R"(C:\hidden.txt)", R"("C:\b.txt")"}) {
        system.boxes.shown.clear();
        EXPECT_EQ(run("/BATCH:" + name), StartupOutcome::EndNow);
        const std::string text =
            "Couldn't find '" + name + "' file as specified on command line - exiting!";
        EXPECT_EQ(trace().back(), text);
        ASSERT_EQ(system.boxes.shown.size(), 1u);
        EXPECT_EQ(system.boxes.shown[0].prompt, text);
        EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
    }
    EXPECT_TRUE(tray.added.empty());
}

TEST_F(Startup, BatchLinesSkipCommentsAndBlankLinesAndParseTheRest) {
    system.files.contents[kBatch] =
        "; comment\r\n   \r\n\r\n\t\r\n  ;not a comment\nbad \"quote\na.exe,tip\r\n%X%\\b.exe";
    system.env.variables["X"] = R"(C:\X)";
    EXPECT_EQ(run("/batch:C:\\b.txt"), StartupOutcome::Run);
    const Lines expected{
        R"(Opening Batch command file 'C:\b.txt')",   "Read batch command line '\t'",
        "Read batch command line '  ;not a comment'", "Read batch command line 'bad \"quote'",
        "Read batch command line 'a.exe,tip'",        R"(Read batch command line '%X%\b.exe')"};
    const Lines all = trace();
    EXPECT_EQ(Lines(all.end() - static_cast<long>(expected.size()), all.end()), expected);
    EXPECT_EQ(tray.added, (std::vector<Lines>{{"\t", "", ""},
                                              {"  ;not a comment", "", ""},
                                              {"a.exe", "tip", ""},
                                              {R"(C:\X\b.exe)", "", ""}}));
    EXPECT_EQ(system.boxes.shown.size(), 1u);  // the parser's malformed-line box
}

TEST_F(Startup, ABatchFileOfCommentsOnlyEndsWithTheOpeningLine) {
    system.files.contents[kBatch] = "; one\r\n;two\r\n";
    EXPECT_EQ(run("/BATCH:C:\\b.txt"), StartupOutcome::Run);
    EXPECT_EQ(trace().back(), R"(Opening Batch command file 'C:\b.txt')");
    EXPECT_TRUE(tray.added.empty());
}

TEST(StartupFolder, ChoosesAppDataThenTempThenTheSystemTempFolder) {
    struct Case {
        const char* appData;
        const char* temp;
        const char* folder;
        bool created;
    } cases[] = {
        {R"(C:\Data)", R"(C:\Temp)", R"(C:\Data\Perchlet)", true},
        {"", R"(C:\Temp)", R"(C:\Temp)", false},
        {"", "", R"(C:\Windows\Temp)", false},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        RecordingTray tray;
        system.env.variables = {{"APPDATA", c.appData}, {"TEMP", c.temp}};
        system.process.arguments = "x.exe";
        subMain(system.program, tray);
        EXPECT_EQ(system.program.strDataFolder, c.folder);
        EXPECT_EQ(system.files.folders.count(c.folder), c.created ? 1u : 0u) << c.folder;
        EXPECT_EQ(system.files.lines(std::string(c.folder) + "\\Perchlet.log").front(),
                  "31/10/2009 14:05:09    Perchlet! v4.2.7 - Initializing!");
    }
}

TEST(StartupLog, GoesOnWithoutALogWhenTheFolderOrTheLogCannotBeMade) {
    struct Case {
        bool folderFails;
        const char* box;
    } cases[] = {
        {true, R"(Couldn't create the working folder 'C:\Data\Perchlet')"},
        {false, R"(Couldn't open the trace log 'C:\Data\Perchlet\Perchlet.log')"},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        RecordingTray tray;
        system.env.variables["APPDATA"] = R"(C:\Data)";
        if (c.folderFails) {
            system.files.uncreatable.insert(R"(C:\Data\Perchlet)");
        }
        system.files.unopenable.insert(testing::FakeSystem::kLogPath);
        system.process.arguments = "x.exe";
        EXPECT_EQ(subMain(system.program, tray), StartupOutcome::Run);
        ASSERT_EQ(system.boxes.shown.size(), 1u) << c.box;
        EXPECT_TRUE(startsWith(system.boxes.shown[0].prompt, c.box));
        EXPECT_EQ(system.boxes.shown[0].flags, kIconWarning);
        EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
        EXPECT_FALSE(system.program.logFile);
        EXPECT_EQ(tray.added.size(), 1u);
    }
}

TEST(StartupBatch, AnUnreadableBatchFileRemovesTheIconsAndEnds) {
    struct Case {
        bool unopenable;
        const char* reason;
        std::size_t added;
    } cases[] = {{false, "Input past end of file", 1}, {true, "File not found", 0}};
    for (const auto& c : cases) {
        testing::FakeSystem system;
        RecordingTray tray;
        system.env.variables["APPDATA"] = R"(C:\Data)";
        system.files.contents[kBatch] = "a.exe\r\nb.exe\r\n";
        system.files.failReadAfterLines[kBatch] = 1;
        if (c.unopenable) {
            system.files.unopenable.insert(kBatch);
        }
        system.process.arguments = "/BATCH:C:\\b.txt";
        EXPECT_EQ(subMain(system.program, tray), StartupOutcome::EndNow) << c.reason;
        EXPECT_EQ(tray.added.size(), c.added) << c.reason;
        EXPECT_EQ(tray.removals, 1) << c.reason;
        const std::string text =
            std::string(R"(Couldn't read 'C:\b.txt' file as specified on command line ()") +
            c.reason + ") - exiting!";
        EXPECT_EQ(system.traceMessages().back(), text);
        ASSERT_EQ(system.boxes.shown.size(), 1u) << c.reason;
        EXPECT_EQ(system.boxes.shown[0].prompt, text);
        EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
    }
}

TEST(StartupFailure, AnyFailureFromAddingAnIconRemovesTheIconsAndEnds) {
    struct Case {
        const char* arguments;
        int failOnCall;
        std::exception_ptr failure = std::make_exception_ptr(RunError(7, "Out of memory"));
        std::string report = "Error  7 (Out of memory) occurred in subMain";
    } cases[] = {{"a.exe", 1},
                 {"/BATCH:C:\\b.txt", 2},
                 {"/BATCH:C:\\b.txt", 2, std::make_exception_ptr(std::bad_alloc())},
                 {"/BATCH:C:\\b.txt", 3, std::make_exception_ptr(std::logic_error("x")),
                  "Error  51 (Internal error) occurred in subMain"}};
    for (const auto& [arguments, failOnCall, failure, report] : cases) {
        testing::FakeSystem system;
        RecordingTray tray;
        tray.failOnCall = failOnCall;
        tray.failure = failure;
        system.env.variables["APPDATA"] = R"(C:\Data)";
        system.files.contents[kBatch] = "a.exe\r\nb.exe\r\nc.exe\r\n";
        system.process.arguments = arguments;
        EXPECT_EQ(subMain(system.program, tray), StartupOutcome::EndNow) << arguments;
        EXPECT_EQ(tray.added.size(), static_cast<std::size_t>(failOnCall)) << arguments;
        EXPECT_EQ(tray.removals, 1) << arguments;
        EXPECT_EQ(system.traceMessages().back(), report) << arguments;
        ASSERT_EQ(system.boxes.shown.size(), 1u) << arguments;
        EXPECT_EQ(system.boxes.shown[0].prompt, report) << arguments;
        EXPECT_EQ(system.boxes.shown[0].flags, kIconError) << arguments;
    }
}

TEST_F(Startup, TwoRunsAppendToOneLogAndTheSecondFindsTheFolder) {
    run("first.exe");
    // Creating the folder again would fail and show a box.
    system.files.uncreatable.insert(R"(C:\Data\Perchlet)");
    system.process.arguments = "second.exe";
    Program second{Services{system.env, system.files, system.boxes, system.clock, system.process}};
    EXPECT_EQ(subMain(second, tray), StartupOutcome::Run);
    EXPECT_TRUE(system.boxes.shown.empty());
    const Lines one{"Perchlet! v4.2.7 - Initializing!", "Reading Options...",
                    R"(Options file 'C:\Apps\Perchlet.ini' not found...)"};
    Lines expected = one;
    expected.push_back("Perchlet command line is 'first.exe'");
    expected.insert(expected.end(), one.begin(), one.end());
    expected.push_back("Perchlet command line is 'second.exe'");
    EXPECT_EQ(trace(), expected);
}

}  // namespace
}  // namespace perchlet
