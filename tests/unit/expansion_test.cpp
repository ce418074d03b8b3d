#include <gtest/gtest.h>

#include "cmdline/expansion.h"
#include "fakes.h"

namespace perchlet {
namespace {

TEST(Expansion, ReplacesOnlyTheFirstReferenceToADefinedVariable) {
    struct Case {
        const char* text;
        const char* result;
    } cases[] = {
        {"notepad.exe", "notepad.exe"},
        {"100%", "100%"},
        {"%", "%"},
        {R"(%windir%\notepad.exe)", R"(C:\Windows\notepad.exe)"},
        {R"(run %TOOLS%\x.exe now)", R"(run C:\Tools\x.exe now)"},
        {R"(%UNDEFINED%\a %WINDIR%)", R"(%UNDEFINED%\a %WINDIR%)"},
        {"%EMPTY%x", "%EMPTY%x"},
        {"%WINDIR%;%TOOLS%", R"(C:\Windows;%TOOLS%)"},
        {"%PCT%", "%WINDIR%"},  // a value is not scanned again
        {"a%%b", "a%%b"},
    };
    testing::FakeSystem system;
    system.openLog();
    system.env.variables = {
        {"WinDir", R"(C:\Windows)"}, {"TOOLS", R"(C:\Tools)"}, {"EMPTY", ""}, {"PCT", "%WINDIR%"}};
    for (const auto& c : cases) {
        EXPECT_EQ(subReplaceEnvironmentVars(system.program, c.text), c.result) << c.text;
    }
    EXPECT_TRUE(system.traceMessages().empty());
    EXPECT_TRUE(system.boxes.shown.empty());
}

TEST(Expansion, ALonePercentSignWithTextAfterItIsReportedAndGivesEmptyText) {
    testing::FakeSystem system;
    system.openLog();
    EXPECT_EQ(subReplaceEnvironmentVars(system.program, "50% off"), "");
    const std::string report =
        "Error 5 (Invalid procedure argument) occurred in subReplaceEnvironmentVars, "
        "strCommand='50% off'";
    EXPECT_EQ(system.files.lines(testing::FakeSystem::kLogPath),
              std::vector<std::string>{"31/10/2009 14:05:09 " + report});
    ASSERT_EQ(system.boxes.shown.size(), 1u);
    EXPECT_EQ(system.boxes.shown[0].prompt,
              "Warning - An error occurred while interpreting the '50% off' command line.\r\r"
              "Please ensure that it is correctly formed.");
    EXPECT_EQ(system.boxes.shown[0].flags, kIconWarning);
    EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
}

}  // namespace
}  // namespace perchlet
