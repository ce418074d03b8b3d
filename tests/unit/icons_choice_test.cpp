#include <gtest/gtest.h>

#include "fakes.h"
#include "icon_fakes.h"
#include "icons/icon_choice.h"
#include "tray/entry_plan.h"

namespace perchlet {
namespace {

using testing::FakeModule;

const std::string kHolding = "C:\\Data\\Perchlet\\3.ico";

// A module whose group k is named "#" + (1000 + k), so a lookup tells which group was chosen.
FakeModule manyGroups() {
    FakeModule module;
    for (std::uint16_t k = 0; k < 200; ++k) {
        module.addGroup("#" + std::to_string(1000 + k),
                        testing::groupBytes({{16, 16, 0, 1, 32, 4, 1}}));
    }
    module.addImage(1, testing::imageBytes(1, 4));
    return module;
}

struct Choice {
    testing::FakeSystem system;
    testing::FakeIconServices icons;

    Choice() {
        system.openLog();
        system.env.variables = {{"SystemRoot", "C:\\Windows"}};
    }
    // Registers `icon` as the DefaultIcon of the command's type.
    void associate(const std::string& icon, const std::string& command = "C:\\a.txt") {
        icons.registry.set(RegistryRoot::ClassesRoot, analyseCommand(command).extension, "",
                           "someclass");
        icons.registry.set(RegistryRoot::ClassesRoot, "someclass\\DefaultIcon", "", icon);
    }
    IconChoice choose(const std::string& command, const std::string& iconSpec) {
        return chooseIconFile(system.program, icons.services, command, analyseCommand(command),
                              iconSpec, 3);
    }
};

TEST(IconChoice, TakesTheModuleAndIconNumberFromTheAssociation) {
    struct Case {
        const char* association;
        const char* command;
        const char* iconSpec;
        std::string module;
        int group;
        std::string overrideTrace;
    } cases[] = {
        // A negative number is the group's resource id: #1154 is the group at position 154.
        {"%SystemRoot%\\system32\\shell32.dll,-1154", "C:\\a.txt", "",
         "C:\\Windows\\system32\\shell32.dll", 154, ""},
        {"\"C:\\Program Files\\App\\app.exe\",1", "C:\\a.txt", "",
         "c:\\program files\\app\\app.exe", 1, ""},
        {"shell32.dll.mui,3", "C:\\a.txt", "", "shell32.dll", 3, ""},
        {"%1", "C:\\Tools\\tool.exe -v", "", "C:\\Tools\\tool.exe", 0, ""},
        {"\"%1\"", "C:\\Tools\\tool.exe", "", "C:\\Tools\\tool.exe", 0, ""},
        {"%1,2", "C:\\Tools\\tool.MUI", "", "C:\\Tools\\tool.MUI", 2, ""},
        {"X.DLL", "C:\\a.txt", "", "x.dll", 0, ""},
        // The number follows the last comma outside quotes; the path is taken from inside them.
        {"x.dll, 7 ,9", "C:\\a.txt", "", "x.dll, 7", 9, ""},
        {"x.dll,,1", "C:\\a.txt", "", "x.dll,", 1, ""},
        {"\"C:\\Program Files\\Foo, Inc\\app.exe\" , 3", "C:\\a.txt", "",
         "c:\\program files\\foo, inc\\app.exe", 3, ""},
        // Every reference is expanded; an unset one and a lone percent sign stay as written.
        {"%systemroot%\\%unset%\\%SYSTEMROOT%\\x%.dll,1", "C:\\a.txt", "",
         "C:\\Windows\\%unset%\\C:\\Windows\\x%.dll", 1, ""},
        {"x.dll,2.5", "C:\\a.txt", "", "x.dll", 2, ""},
        {"x.dll,3.5", "C:\\a.txt", "", "x.dll", 4, ""},
        {"x.dll,-1.1e3", "C:\\a.txt", "", "x.dll", 100, ""},
        {"x.dll,-1000.5", "C:\\a.txt", "", "x.dll", 0, ""},
        {"x.dll,-0.4", "C:\\a.txt", "", "x.dll", 0, ""},
        {"x.dll,-1154", "C:\\a.txt", "5", "x.dll", 5,
         "Overriding determined icon number of '1154' with user specified one of '5'"},
        {"x.dll,154", "C:\\a.txt", "5", "x.dll", 5,
         "Overriding determined icon number of '154' with user specified one of '5'"},
        {"x.dll,154", "C:\\a.txt", " 5abc", "x.dll", 5,
         "Overriding determined icon number of '154' with user specified one of ' 5abc'"},
        {"x.dll", "C:\\a.txt", "2.5", "x.dll", 2,
         "Overriding determined icon number of '0' with user specified one of '3'"},
        {"x.dll,4", "C:\\a.txt", "0", "x.dll", 4, ""},
        {"x.dll,4", "C:\\a.txt", "-2", "x.dll", 4, ""},
        {"x.dll,4", "C:\\a.txt", "abc", "x.dll", 4, ""},
        {"x.dll,4", "C:\\a.txt", "0x10", "x.dll", 4, ""},
        {"x.dll", "C:\\a.txt", "\t1e1x", "x.dll", 10,
         "Overriding determined icon number of '0' with user specified one of '\t1e1x'"},
    };
    for (const auto& c : cases) {
        Choice x;
        x.associate(c.association, c.command);
        x.icons.modules.modules[c.module] = manyGroups();
        std::string iconSpec = c.iconSpec;
        const IconChoice choice = x.choose(c.command, iconSpec);

        EXPECT_EQ(choice.path, kHolding) << c.association;
        EXPECT_FALSE(choice.useDefault) << c.association;
        EXPECT_FALSE(choice.stale) << c.association;
        EXPECT_EQ(x.icons.modules.opened, std::vector<std::string>{c.module}) << c.association;
        ASSERT_FALSE(x.icons.modules.lookups.empty()) << c.association;
        EXPECT_EQ(x.icons.modules.lookups[0], "14:#" + std::to_string(1000 + c.group))
            << c.association;
        EXPECT_EQ(x.icons.holdingFiles.files.count(kHolding), 1u) << c.association;

        const std::string extension = analyseCommand(c.command).extension;
        std::vector<std::string> trace = {
            "Determining associated icon for '" + extension + "'",
            "Associated icon found to be '" + toLower(c.association) + "'"};
        if (!c.overrideTrace.empty()) {
            trace.push_back(c.overrideTrace);
        }
        EXPECT_EQ(x.system.traceMessages(), trace) << c.association;
        EXPECT_TRUE(x.system.boxes.shown.empty()) << c.association;
    }
}

TEST(IconChoice, UsesAnIcoFileAsWrittenWithoutExtracting) {
    struct Case {
        const char* iconSpec;
        const char* association;  // nullptr: none is looked up
        std::string path;
    } cases[] = {
        {"C:\\Icons\\App.ICO", nullptr, "C:\\Icons\\App.ICO"},
        {"\"%TEMP%\\my.ico.old\"", nullptr, "\"%TEMP%\\my.ico.old\""},
        {"", "C:\\Icons\\Doc.ICO,0", "c:\\icons\\doc.ico"},
        {"5", "%SystemRoot%\\doc.ico", "C:\\Windows\\doc.ico"},
        {"", "\"C:\\Program Files\\App, Inc\\Doc.ico\",abc",
         "c:\\program files\\app, inc\\doc.ico"},
        // Only ASCII letters are lowered: whole characters elsewhere stay as they are.
        {"", "C:\\\xC3\x9C\\\xE3\x82\xBF\xE3\x83\x8A\xE3\x82\xAB\\A.ICO",
         "c:\\\xC3\x9C\\\xE3\x82\xBF\xE3\x83\x8A\xE3\x82\xAB\\a.ico"},
    };
    for (const auto& c : cases) {
        Choice x;
        if (c.association) {
            x.associate(c.association);
        }
        std::string iconSpec = c.iconSpec;
        const IconChoice choice = x.choose("C:\\a.txt", iconSpec);
        EXPECT_EQ(choice.path, c.path) << c.iconSpec;
        EXPECT_FALSE(choice.stale) << c.iconSpec;
        EXPECT_FALSE(choice.useDefault) << c.iconSpec;
        EXPECT_TRUE(x.icons.modules.opened.empty()) << c.iconSpec;
        const auto trace = x.system.traceMessages();
        if (c.association) {
            EXPECT_EQ(trace.size(), 2u) << c.iconSpec;  // no override of a file's icon
        } else {
            EXPECT_TRUE(trace.empty()) << c.iconSpec;
            EXPECT_TRUE(x.icons.registry.reads.empty()) << c.iconSpec;
        }
    }
}

TEST(IconChoice, ACommandWithoutTypeGetsTheShellDefaultFromItsHoldingFile) {
    Choice x;
    x.icons.modules.modules["C:\\Windows\\system32\\shell32.dll"] = manyGroups();
    std::string iconSpec;
    const IconChoice choice = x.choose("C:\\Folder", iconSpec);
    EXPECT_EQ(choice.path, kHolding);
    ASSERT_FALSE(x.icons.modules.lookups.empty());
    EXPECT_EQ(x.icons.modules.lookups[0], "14:#1000");
    EXPECT_EQ(x.system.traceMessages(),
              (std::vector<std::string>{
                  "Determining associated icon for ''",
                  "No specific file association found, using default...",
                  "Associated icon found to be '%systemroot%\\system32\\shell32.dll,0'"}));
}

TEST(IconChoice, AFailedLookUpLeavesTheSpecificationToBeTried) {
    Choice x;
    x.icons.registry.failingKeys.insert(".txt");
    std::string iconSpec = "7";
    const IconChoice choice = x.choose("C:\\a.txt", iconSpec);
    EXPECT_EQ(choice.path, "7");
    EXPECT_FALSE(choice.stale);
    EXPECT_FALSE(choice.useDefault);
    const auto trace = x.system.traceMessages();
    ASSERT_EQ(trace.size(), 3u);
    EXPECT_EQ(trace[2], "Couldn't determine associated icon!");
}

TEST(IconChoice, AnUnusableAssociationIsTracedAndGivesTheDefaultIcon) {
    struct Case {
        const char* association;
        const char* iconSpec;
        std::string warning;
    } cases[] = {
        {"x.dll,abc", "", "Warning: icon number 'abc' of associated icon 'x.dll,abc' isn't usable"},
        {"x.dll,", "", "Warning: icon number '' of associated icon 'x.dll,' isn't usable"},
        {"x.dll,-2147483648", "",
         "Warning: icon number '-2147483648' of associated icon 'x.dll,-2147483648' isn't usable"},
        {"\",1", "", "Warning: associated icon '\",1' names no file"},
        {"x.dll,1", "1e10", "Warning: icon number '1e10' is out of range"},
    };
    for (const auto& c : cases) {
        Choice x;
        x.associate(c.association);
        std::string iconSpec = c.iconSpec;
        const IconChoice choice = x.choose("C:\\a.txt", iconSpec);
        EXPECT_TRUE(choice.useDefault) << c.association;
        EXPECT_EQ(choice.path, c.iconSpec) << c.association;
        EXPECT_TRUE(x.icons.modules.opened.empty()) << c.association;
        EXPECT_EQ(x.system.traceMessages().back(), c.warning + ", using default instead")
            << c.association;
        EXPECT_FALSE(useIconFile(x.system.program, choice, true)) << c.association;
    }
}

TEST(IconChoice, AHoldingFileIsCurrentOnlyWhenThisExtractionWroteIt) {
    FakeModule damaged;
    damaged.addGroup("#1", testing::groupBytes({{16, 16, 0, 1, 32, 4, 1}}));
    damaged.addImage(1, testing::imageBytes(1, 2));  // shorter than its group entry claims
    struct Case {
        const char* what;
        FakeModule module;
        int group;
        bool writeFails;
        bool stale;
    } cases[] = {
        {"written", manyGroups(), 0, false, false},
        {"write failed", manyGroups(), 0, true, true},
        {"damaged image", damaged, 0, false, true},
        {"one past the last group", manyGroups(), 200, false, true},
        {"no such module", FakeModule{}, -1, false, true},
    };
    for (const auto& c : cases) {
        Choice x;
        x.associate("x.dll," + std::to_string(c.group));
        if (c.group >= 0) {
            x.icons.modules.modules["x.dll"] = c.module;
        }
        const testing::Bytes older = {0, 0, 1, 0};
        x.icons.holdingFiles.files[kHolding] = older;
        if (c.writeFails) {
            x.icons.holdingFiles.failing.insert(kHolding);
        }
        std::string iconSpec;
        const IconChoice choice = x.choose("C:\\a.txt", iconSpec);
        EXPECT_EQ(choice.path, kHolding) << c.what;
        EXPECT_FALSE(choice.useDefault) << c.what;
        EXPECT_EQ(choice.stale, c.stale) << c.what;
        EXPECT_EQ(x.icons.holdingFiles.files[kHolding] == older, c.stale) << c.what;
        EXPECT_EQ(useIconFile(x.system.program, choice, true), !c.stale) << c.what;
    }
}

TEST(IconChoice, LoadsTheFileOnlyWhenItExistsAndTracesAMissingOne) {
    struct Case {
        IconChoice choice;
        bool exists;
        bool load;
        std::vector<std::string> trace;
    } cases[] = {
        {{kHolding, false}, true, true, {}},
        {{kHolding, false},
         false,
         false,
         {"Warning: icon '" + kHolding + "' wasn't found, using default instead"}},
        {{"", false}, false, false, {"Warning: icon '' wasn't found, using default instead"}},
        {{"5", true}, false, false, {}},
        // A holding file that this extraction did not write is an earlier run's, for another
        // command: it is never shown.
        {{kHolding, false, true},
         true,
         false,
         {"Warning: icon '" + kHolding + "' wasn't written, using default instead"}},
        {{kHolding, false, true},
         false,
         false,
         {"Warning: icon '" + kHolding + "' wasn't found, using default instead"}},
    };
    for (const auto& c : cases) {
        testing::FakeSystem system;
        system.openLog();
        EXPECT_EQ(useIconFile(system.program, c.choice, c.exists), c.load) << c.choice.path;
        EXPECT_EQ(system.traceMessages(), c.trace) << c.choice.path;
    }
}

// A new entry's parts in their order: the command split, and its icon chosen and checked.
TEST(IconChoice, PlansAnEntryFromItsCommandAndIconField) {
    struct Case {
        const char* command;
        const char* iconSpec;
        const char* association;
        std::string existing;  // an ordinary file
        std::string iconFile, target, parameters;
    } cases[] = {
        {"C:\\Tools\\tool.exe -v", "C:\\my.ico", "", "C:\\my.ico", "C:\\my.ico",
         "C:\\Tools\\tool.exe", "-v"},
        {"C:\\Tools\\tool.exe -v", "C:\\my.ico", "", "", "", "C:\\Tools\\tool.exe", "-v"},
        {"C:\\a.txt", "", "C:\\Icons\\Txt.ico,0", "c:\\icons\\txt.ico", "c:\\icons\\txt.ico",
         "C:\\a.txt", ""},
        {"C:\\a.txt", "", "x.dll,abc", "", "", "C:\\a.txt", ""},
        {"C:\\a.txt", "", "x.dll,0", kHolding, kHolding, "C:\\a.txt", ""},
    };
    for (const auto& c : cases) {
        Choice x;
        if (*c.association != '\0') {
            x.associate(c.association);
        }
        x.icons.modules.modules["x.dll"] = manyGroups();
        if (!c.existing.empty()) {
            x.system.files.contents[c.existing] = "";
        }
        const TrayEntryPlan plan =
            planTrayEntry(x.system.program, x.icons.services, c.command, c.iconSpec, 3);
        EXPECT_EQ(plan.iconFile, c.iconFile) << c.command << " " << c.association;
        EXPECT_EQ(plan.launchTarget, c.target) << c.command;
        EXPECT_EQ(plan.parameters, c.parameters) << c.command;
    }
}

}  // namespace
}  // namespace perchlet
