#include <gtest/gtest.h>

#include "cmdline/parser.h"
#include "fakes.h"

namespace perchlet {
namespace {

using Fields = std::array<std::string, 3>;

Fields fieldsOf(const std::optional<InputFields>& parsed) {
    if (!parsed) {
        return {"(rejected)", "", ""};
    }
    return {parsed->strCommand, parsed->strToolTip, parsed->strIconSpec};
}

TEST(Parser, SplitsFieldsAndRemovesOnePairOfEnclosingQuotes) {
    struct Case {
        const char* line;
        Fields fields;
    } cases[] = {
        {"notepad.exe", {"notepad.exe", "", ""}},
        {"cmd,tip,icon.ico", {"cmd", "tip", "icon.ico"}},
        {R"("C:\a,b\x.exe",tip)", {R"(C:\a,b\x.exe)", "tip", ""}},
        {R"("C:\Program Files\x.exe",tip)", {R"(C:\Program Files\x.exe)", "tip", ""}},
        {R"("C:\Program Files\x.exe" /p,tip)", {R"("C:\Program Files\x.exe" /p)", "tip", ""}},
        {R"("a" ,b)", {R"("a" )", "b", ""}},
        {R"(a, "b")", {"a", R"( "b")", ""}},
        {"a,,c", {"a", "", "c"}},
        {",tip", {"", "tip", ""}},
        {"a,b,", {"a", "b", ""}},
        {"a,b,c,", {"a", "b", "c"}},
        {R"("a,b",)", {"a,b", "", ""}},
        {R"("",tip)", {"", "tip", ""}},
        {R"(say "hi" now)", {R"(say "hi" now)", "", ""}},
        {"", {"", "", ""}},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        EXPECT_EQ(fieldsOf(subParseInputLine(system.program, c.line)), c.fields) << c.line;
        EXPECT_TRUE(system.traceMessages().empty()) << c.line;
        EXPECT_TRUE(system.boxes.shown.empty()) << c.line;
    }
}

TEST(Parser, ExpandsOnlyTheCommandField) {
    testing::FakeSystem system;
    system.env.variables["Tools"] = R"(C:\Tools)";
    const auto parsed =
        subParseInputLine(system.program, R"(%TOOLS%\run.exe,%tools% tip,%Tools%.ico)");
    EXPECT_EQ(fieldsOf(parsed), (Fields{R"(C:\Tools\run.exe)", "%tools% tip", "%Tools%.ico"}));
    EXPECT_EQ(parsed->strWritten, R"(%TOOLS%\run.exe)");  // what names its icon
}

TEST(Parser, AFailedExpansionStillAcceptsTheLineWithAnEmptyCommand) {
    testing::FakeSystem system;
    system.openLog();
    EXPECT_EQ(fieldsOf(subParseInputLine(system.program, "50% off,tip")), (Fields{"", "tip", ""}));
    EXPECT_EQ(system.traceMessages().size(), 1u);
    EXPECT_EQ(system.boxes.shown.size(), 1u);
}

TEST(Parser, RunTimeErrorsAreTracedShownAndRejectTheLine) {
    struct Case {
        const char* line;
        const char* report;
    } cases[] = {
        {"a,b,c,d", "Error  9 (Subscript out of range) occurred in subParseInputLine"},
        {"a,b,c,,", "Error  9 (Subscript out of range) occurred in subParseInputLine"},
        {R"(",""",)", "Error  5 (Invalid procedure argument) occurred in subParseInputLine"},
        {R"(",""")", "Error  5 (Invalid procedure argument) occurred in subParseInputLine"},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        EXPECT_FALSE(subParseInputLine(system.program, c.line).has_value()) << c.line;
        EXPECT_EQ(system.traceMessages(), std::vector<std::string>{c.report}) << c.line;
        ASSERT_EQ(system.boxes.shown.size(), 1u) << c.line;
        EXPECT_EQ(system.boxes.shown[0].prompt, c.report);
        EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
        EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
    }
}

TEST(Parser, OddQuotesAreReportedInABoxOnlyAndRejectTheLine) {
    for (const char* line : {R"(say "hi,tip)", R"(")", R"("a"b"c)"}) {
        testing::FakeSystem system;
        system.openLog();
        EXPECT_FALSE(subParseInputLine(system.program, line).has_value()) << line;
        EXPECT_TRUE(system.traceMessages().empty()) << line;
        ASSERT_EQ(system.boxes.shown.size(), 1u) << line;
        EXPECT_EQ(system.boxes.shown[0].prompt,
                  std::string("Command line '") + line +
                      "' appears to be malformed\n\nPlease ensure that commands are properly "
                      "surrounded by matched quotes where neccessary");
        EXPECT_EQ(system.boxes.shown[0].flags, kIconWarning);
        EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
    }
}

}  // namespace
}  // namespace perchlet
