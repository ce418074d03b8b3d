#include <gtest/gtest.h>

#include "common/line_reader.h"
#include "fakes.h"
#include "startup/options.h"

namespace perchlet {
namespace {

using Lines = std::vector<std::string>;
constexpr const char* kIni = R"(C:\Apps\Perchlet.ini)";
constexpr const char* kUnknownEmptyKey =
    "Warning: Unrecognised setting '' found in Perchlet.ini, ignoring.";

TEST(OptionItems, SplitAtCommasLikeFreeFormInput) {
    struct Case {
        const char* line;
        Lines items;
    } cases[] = {
        {"a,b", {"a", "b"}},
        {"  a  ,   b  ", {"a", "b"}},
        {R"("x,y" junk, z)", {"x,y", "z"}},
        {R"("unclosed, x)", {"unclosed, x"}},
        {R"(a"b,c)", {R"(a"b)", "c"}},
        {"a,", {"a", ""}},
        {",,", {"", "", ""}},
        {"", {""}},
        {"; note, more", {"; note", "more"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(splitOptionItems(c.line), c.items) << c.line;
    }
}

TEST(OptionsFile, SetsAndTracesEachSetting) {
    struct Case {
        const char* content;
        Options options;
        Lines trace;  // after "Reading Options..."
    } cases[] = {
        {"clickmode=single", {false, 514, false}, {"ClickMode setting value read as 514"}},
        {"   ClickMode=Single   \r\n",
         {false, 514, false},
         {"ClickMode setting value read as 514"}},
        {"ClickMode=Double\r\nClickMode=\r\n",
         {false, 515, false},
         {"ClickMode setting value read as 515", "ClickMode setting value read as 515"}},
        {"ExitDisabled=No\nRightMouseMenuDisabled=0",
         {true, 0, true},
         {"ExitDisabled setting value read as True",
          "RightMouseMenuDisabled setting value read as True"}},
        {"exitdisabled=false\r\nRightMouseMenuDisabled=FALSE",
         {false, 0, false},
         {"ExitDisabled setting value read as False",
          "RightMouseMenuDisabled setting value read as False"}},
        {"CLICKMODE = SINGLE",
         {false, 0, false},
         {"Warning: Unrecognised setting 'CLICKMODE ' found in Perchlet.ini, ignoring."}},
        {"Mode=a=b", {}, {"Warning: Unrecognised setting 'MODE' found in Perchlet.ini, ignoring."}},
        // Upper case for ASCII letters only: "öß" stays whole.
        {"Gr\xC3\xB6\xC3\x9F=1",
         {},
         {"Warning: Unrecognised setting 'GR\xC3\xB6\xC3\x9F' found in Perchlet.ini, ignoring."}},
        {"; note, more\r\nClickMode=Single\r\n; later, double\r\n\r\n   \r\n",
         {false, 515, false},
         {kUnknownEmptyKey, "ClickMode setting value read as 514",
          "ClickMode setting value read as 515"}},
        {"ClickMode=Single,ExitDisabled=yes",
         {true, 514, false},
         {"ClickMode setting value read as 514", "ExitDisabled setting value read as True"}},
        {"ClickMode=Double\r\nClickMode=Single",
         {false, 514, false},
         {"ClickMode setting value read as 515", "ClickMode setting value read as 514"}},
        {"[Perchlet]\r\nClickMode=Single\r\nExitDisabled=False\r\n[Other]\r\n",
         {true, 514, false},
         {kUnknownEmptyKey, "ClickMode setting value read as 514",
          "ExitDisabled setting value read as False", "ExitDisabled setting value read as True"}},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        system.files.contents[kIni] = c.content;
        EXPECT_TRUE(funcReadOptions(system.program)) << c.content;
        EXPECT_EQ(system.program.options.ExitDisabled, c.options.ExitDisabled) << c.content;
        EXPECT_EQ(system.program.options.ClickMode, c.options.ClickMode) << c.content;
        EXPECT_EQ(system.program.options.RightMouseMenuDisabled, c.options.RightMouseMenuDisabled)
            << c.content;
        Lines expected{"Reading Options..."};
        expected.insert(expected.end(), c.trace.begin(), c.trace.end());
        EXPECT_EQ(system.traceMessages(), expected) << c.content;
        EXPECT_TRUE(system.boxes.shown.empty()) << c.content;
    }
}

TEST(OptionsFile, AMissingOrHiddenFileKeepsTheDefaultsQuietly) {
    for (const bool hidden : {false, true}) {
        testing::FakeSystem system;
        system.openLog();
        if (hidden) {
            system.files.contents[kIni] = "ClickMode=Single";
            system.files.hidden.insert(kIni);
        }
        EXPECT_FALSE(funcReadOptions(system.program));
        EXPECT_EQ(system.program.options.ClickMode, 0);
        EXPECT_EQ(
            system.traceMessages(),
            (Lines{"Reading Options...", R"(Options file 'C:\Apps\Perchlet.ini' not found...)"}));
        EXPECT_TRUE(system.boxes.shown.empty());
    }
}

TEST(OptionsFile, ReadFailuresAreReportedAndKeepEarlierSettings) {
    struct Case {
        bool unopenable;
        const char* report;
        std::int32_t clickMode;
    } cases[] = {
        {false, "Error 62 (Input past end of file) occurred during funcReadOptions", 514},
        {true, "Error 53 (File not found) occurred during funcReadOptions", 0},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        system.files.contents[kIni] = "ClickMode=Single\r\nExitDisabled=True\r\n";
        system.files.failReadAfterLines[kIni] = 1;
        if (c.unopenable) {
            system.files.unopenable.insert(kIni);
        }
        EXPECT_FALSE(funcReadOptions(system.program)) << c.report;
        EXPECT_EQ(system.program.options.ClickMode, c.clickMode);
        EXPECT_FALSE(system.program.options.ExitDisabled);
        EXPECT_EQ(system.traceMessages().back(), c.report);
        ASSERT_EQ(system.boxes.shown.size(), 1u);
        EXPECT_EQ(system.boxes.shown[0].prompt, c.report);
        EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
        EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
    }
}

TEST(OptionsFile, SurvivesBinaryJunkAHugeLineAndRefusesAFileOverTheLimit) {
    std::string junk;
    for (int round = 0; round < 64; ++round) {
        for (int byte = 0; byte < 256; ++byte) {
            junk += static_cast<char>((byte * 7 + round) % 256);
        }
    }
    testing::FakeSystem system;
    system.openLog();
    system.files.contents[kIni] = junk;
    EXPECT_TRUE(funcReadOptions(system.program));

    system.files.contents[kIni] = "ClickMode=" + std::string(10 * 1024 * 1024, 'x');
    EXPECT_TRUE(funcReadOptions(system.program));
    EXPECT_EQ(system.program.options.ClickMode, 515);

    system.files.contents[kIni] = "ClickMode=Single\r\n" + std::string(kTextFileLimit, ';');
    EXPECT_FALSE(funcReadOptions(system.program));
    EXPECT_EQ(system.program.options.ClickMode, 515);  // nothing of it is read
    EXPECT_EQ(system.traceMessages().back(), system.boxes.shown.at(0).prompt);
    EXPECT_EQ(system.boxes.shown[0].prompt, R"(Warning: Options file 'C:\Apps\Perchlet.ini' )"
                                            "is larger than 16 MiB, ignoring it.");
    EXPECT_EQ(system.boxes.shown[0].flags, kIconWarning);
}

}  // namespace
}  // namespace perchlet
