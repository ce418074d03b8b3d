#include <gtest/gtest.h>

#include "fakes.h"
#include "icon_fakes.h"
#include "icons/association.h"

namespace perchlet {
namespace {

using Read = testing::FakeRegistry::Read;
constexpr RegistryRoot HKCU = RegistryRoot::CurrentUser;
constexpr RegistryRoot HKCR = RegistryRoot::ClassesRoot;
const std::string kFileExts = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\";
const std::string kUrlChoice =
    "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\";

TEST(RegistryString, GivesTheStoredTextUpToItsFirstNulWithoutSurroundingBlanks) {
    struct Case {
        const char* what;
        std::optional<std::string> stored;
        std::string result;
    } cases[] = {
        {"missing", std::nullopt, "dflt"},
        {"empty", std::string(), "dflt"},
        {"blanks", std::string("    "), "dflt"},
        {"blank then NUL", std::string(" \0x", 3), "dflt"},
        {"with its NUL", std::string("shell32.dll,3\0", 14), "shell32.dll,3"},
        {"stored without a NUL", std::string("shell32.dll,3"), "shell32.dll,3"},
        {"several strings", std::string("first\0second\0", 13), "first"},
        {"blanks around", std::string("  a b  \0", 8), "a b"},
        {"unexpanded", std::string("%SystemRoot%\\x.dll,-2"), "%SystemRoot%\\x.dll,-2"},
        {"255 bytes and more", std::string(300, 'p') + "\0", std::string(300, 'p')},
    };
    for (const auto& c : cases) {
        testing::FakeRegistry registry;
        if (c.stored) {
            registry.set(HKCR, "k", "v", *c.stored);
        }
        EXPECT_EQ(funcReadRegistryString(registry, HKCR, "k", "v", "dflt"), c.result) << c.what;
    }
}

struct Lookup {
    const char* what;
    std::vector<std::tuple<RegistryRoot, std::string, std::string, std::string>> registry;
    std::string extension;
    bool isUrl;
    std::vector<Read> reads;
    std::string result;
};

TEST(FileAssociation, FollowsTheLookUpOrderRowByRow) {
    const std::string kDefault = kDefaultAssociation;
    const Lookup cases[] = {
        {"row 1: the user's class",
         {{HKCU, kFileExts + ".txt", "ProgID", "mytext"},
          {HKCR, ".txt", "", "txtfile"},
          {HKCR, "mytext\\DefaultIcon", "", "my.dll,1"},
          {HKCR, "txtfile\\DefaultIcon", "", "other.dll,2"}},
         ".txt",
         false,
         {{HKCU, kFileExts + ".txt", "ProgID"}, {HKCR, "mytext\\DefaultIcon", ""}},
         "my.dll,1"},
        {"row 2 when row 1 is blank",
         {{HKCU, kFileExts + ".txt", "ProgID", "  "},
          {HKCR, ".txt", "", "txtfile"},
          {HKCR, "txtfile\\DefaultIcon", "", "%1"}},
         "txt",
         false,
         {{HKCU, kFileExts + ".txt", "ProgID"},
          {HKCR, ".txt", ""},
          {HKCR, "txtfile\\DefaultIcon", ""}},
         "%1"},
        {"rows 4 and 5: the class id's icon",
         {{HKCR, ".doc", "", "docfile"},
          {HKCR, "docfile\\CLSID", "", "{0000-1}"},
          {HKCR, "CLSID\\{0000-1}\\DefaultIcon", "", "word.exe,1"},
          {HKCR, "docfile\\CurVer", "", "docfile.8"}},
         ".doc",
         false,
         {{HKCU, kFileExts + ".doc", "ProgID"},
          {HKCR, ".doc", ""},
          {HKCR, "docfile\\DefaultIcon", ""},
          {HKCR, "docfile\\CLSID", ""},
          {HKCR, "CLSID\\{0000-1}\\DefaultIcon", ""}},
         "word.exe,1"},
        {"a class id without an icon: no CurVer row",
         {{HKCR, ".doc", "", "docfile"},
          {HKCR, "docfile\\CLSID", "", "{0000-1}"},
          {HKCR, "docfile\\CurVer", "", "docfile.8"},
          {HKCR, "docfile.8\\DefaultIcon", "", "never.dll,1"}},
         ".doc",
         false,
         {{HKCU, kFileExts + ".doc", "ProgID"},
          {HKCR, ".doc", ""},
          {HKCR, "docfile\\DefaultIcon", ""},
          {HKCR, "docfile\\CLSID", ""},
          {HKCR, "CLSID\\{0000-1}\\DefaultIcon", ""}},
         kDefault},
        {"rows 6 and 7: the current version's icon",
         {{HKCR, ".xls", "", "xlsfile"},
          {HKCR, "xlsfile\\CurVer", "", "xlsfile.8"},
          {HKCR, "xlsfile.8\\DefaultIcon", "", "xl.exe,-3"}},
         ".xls",
         false,
         {{HKCU, kFileExts + ".xls", "ProgID"},
          {HKCR, ".xls", ""},
          {HKCR, "xlsfile\\DefaultIcon", ""},
          {HKCR, "xlsfile\\CLSID", ""},
          {HKCR, "xlsfile\\CurVer", ""},
          {HKCR, "xlsfile.8\\DefaultIcon", ""}},
         "xl.exe,-3"},
        {"a current version without an icon",
         {{HKCR, ".xls", "", "xlsfile"}, {HKCR, "xlsfile\\CurVer", "", "xlsfile.8"}},
         ".xls",
         false,
         {{HKCU, kFileExts + ".xls", "ProgID"},
          {HKCR, ".xls", ""},
          {HKCR, "xlsfile\\DefaultIcon", ""},
          {HKCR, "xlsfile\\CLSID", ""},
          {HKCR, "xlsfile\\CurVer", ""},
          {HKCR, "xlsfile.8\\DefaultIcon", ""}},
         kDefault},
        {"no class at all",
         {},
         ".zzz",
         false,
         {{HKCU, kFileExts + ".zzz", "ProgID"}, {HKCR, ".zzz", ""}},
         kDefault},
        {"an empty extension is \".\"",
         {},
         "",
         false,
         {{HKCU, kFileExts + ".", "ProgID"}, {HKCR, ".", ""}},
         kDefault},
        {"a URL scheme is the class itself",
         {{HKCU, kFileExts + ".http", "ProgID", "nope"},
          {HKCR, "http\\DefaultIcon", "", "%SystemRoot%\\url.dll,0"}},
         "http",
         true,
         {{HKCR, "http\\DefaultIcon", ""}},
         "%SystemRoot%\\url.dll,0"},
        {"the user's default app before the older choice",
         {{HKCU, kFileExts + ".txt\\UserChoice", "ProgId", "Applications\\editor.exe"},
          {HKCR, "Applications\\editor.exe\\DefaultIcon", "", "editor.exe,0"},
          {HKCU, kFileExts + ".txt", "ProgID", "mytext"}},
         "txt",
         false,
         {{HKCR, "Applications\\editor.exe\\DefaultIcon", ""}},
         "editor.exe,0"},
        {"a packaged app's indirect icon is none: the older rows follow",
         {{HKCU, kFileExts + ".png\\UserChoice", "ProgId", "AppX43hnxtbyyps"},
          {HKCR, "AppX43hnxtbyyps\\DefaultIcon", "", "@{Photos?ms-resource://Photos/Logo.png}"},
          {HKCR, ".png", "", "pngfile"},
          {HKCR, "pngfile\\DefaultIcon", "", "%1"}},
         ".png",
         false,
         {{HKCR, "AppX43hnxtbyyps\\DefaultIcon", ""},
          {HKCU, kFileExts + ".png", "ProgID"},
          {HKCR, ".png", ""},
          {HKCR, "pngfile\\DefaultIcon", ""}},
         "%1"},
        {"a default browser without an icon: the scheme's own",
         {{HKCU, kUrlChoice + "http\\UserChoice", "ProgId", "Applications\\b.exe"},
          {HKCR, "http\\DefaultIcon", "", "url.dll,0"}},
         "http",
         true,
         {{HKCR, "Applications\\b.exe\\DefaultIcon", ""},
          {HKCR, "Applications\\b.exe\\CLSID", ""},
          {HKCR, "Applications\\b.exe\\CurVer", ""},
          {HKCR, "http\\DefaultIcon", ""}},
         "url.dll,0"},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        testing::FakeRegistry registry;
        for (const auto& [root, key, value, data] : c.registry) {
            registry.set(root, key, value, data);
        }
        EXPECT_EQ(funcFindFileAssociation(system.program, registry, c.extension, c.isUrl), c.result)
            << c.what;
        // Every look-up reads the user's default app first; the table lists the reads after it.
        const std::string extension =
            c.isUrl || c.extension.starts_with(".") ? c.extension : "." + c.extension;
        std::vector<Read> reads = {
            {HKCU, (c.isUrl ? kUrlChoice : kFileExts) + extension + "\\UserChoice", "ProgId"}};
        reads.insert(reads.end(), c.reads.begin(), c.reads.end());
        EXPECT_EQ(registry.reads, reads) << c.what;
        const std::vector<std::string> trace =
            c.result == kDefault
                ? std::vector<std::string>{"No specific file association found, using default..."}
                : std::vector<std::string>{};
        EXPECT_EQ(system.traceMessages(), trace) << c.what;
        EXPECT_TRUE(system.boxes.shown.empty()) << c.what;
    }
}

TEST(FileAssociation, ReportsARunTimeErrorAndGivesEmptyText) {
    testing::FakeSystem system;
    system.openLog();
    testing::FakeRegistry registry;
    registry.set(HKCR, ".txt", "", "txtfile");
    registry.failingKeys.insert("txtfile\\defaulticon");

    EXPECT_EQ(funcFindFileAssociation(system.program, registry, ".txt", false), "");

    const std::string report =
        "Error  5 (Invalid procedure call or argument) occurred in funcFindFileAssociation";
    EXPECT_EQ(system.traceMessages(), std::vector<std::string>{report});
    ASSERT_EQ(system.boxes.shown.size(), 1u);
    EXPECT_EQ(system.boxes.shown[0].prompt, report);
    EXPECT_EQ(system.boxes.shown[0].flags, kIconError);
    EXPECT_EQ(system.boxes.shown[0].title, "Perchlet! v4.2.7");
}

}  // namespace
}  // namespace perchlet
