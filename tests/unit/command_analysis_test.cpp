#include <gtest/gtest.h>

#include "cmdline/command_analysis.h"

namespace perchlet {
namespace {

TEST(CommandAnalysis, DividesTargetParametersAndTypeKey) {
    struct Case {
        const char* command;
        const char* target;
        const char* parameters;
        const char* extension;
        bool isUrl;
    } cases[] = {
        {R"(notepad.exe c:\a.txt)", "notepad.exe", R"(c:\a.txt)", ".exe", false},
        {R"(C:\Program Files\App\app.exe /x  /y)", R"(C:\Program Files\App\app.exe)", "/x  /y",
         ".exe", false},
        {R"(c:\docs\report.doc)", R"(c:\docs\report.doc)", "", ".doc", false},
        {R"(C:\my.dir\app.exe -x)", R"(C:\my.dir\app.exe)", "-x", R"(.dir\app.exe)", false},
        {R"(C:\Windows)", R"(C:\Windows)", "", "", false},
        {"https://example.org/a b", "https://example.org/a b", "", "https", true},
        {"http://example.org", "http://example.org", "", "http", true},
        {"ftp://host/f.txt x", "ftp://host/f.txt x", "", "ftp", true},
        {"HTTP://example.org", "HTTP://example.org", "", ".org", false},
        {"Http://example.org/a b", "Http://example.org/a", "b", ".org/a", false},
        {"app.exe   -a  -b   ", "app.exe", "-a  -b", ".exe", false},
        {"app.exe ", "app.exe", "", ".exe", false},
        {R"("C:\My App\a.exe" /p)", R"("C:\My App\a.exe")", "/p", R"(.exe")", false},
        {"my app.exe", "my app.exe", "", ".exe", false},
        {"file.", "file.", "", ".", false},
        {"", "", "", "", false},
    };
    for (const auto& c : cases) {
        const CommandAnalysis result = analyseCommand(c.command);
        EXPECT_EQ(result.launchTarget, c.target) << c.command;
        EXPECT_EQ(result.parameters, c.parameters) << c.command;
        EXPECT_EQ(result.extension, c.extension) << c.command;
        EXPECT_EQ(result.isUrl, c.isUrl) << c.command;
    }
}

}  // namespace
}  // namespace perchlet
