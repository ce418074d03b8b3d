#include <gtest/gtest.h>

#include <tuple>

#include "fakes.h"
#include "icon_fakes.h"
#include "icons/extraction.h"

namespace perchlet {
namespace {

using testing::Bytes;
using testing::FakeModule;
using testing::groupBytes;
using testing::GroupEntry;
using testing::imageBytes;

const std::string kModule = "C:\\Apps\\tool.exe";
const std::string kOut = "C:\\Data\\Perchlet\\1.ico";

// A group of one image of `size` bytes with the given id.
Bytes oneImageGroup(std::uint16_t id, std::uint32_t size) {
    return groupBytes({GroupEntry{16, 16, 0, 1, 32, size, id}});
}

// The .ico file of oneImageGroup(id, size) with its image.
Bytes oneImageFile(std::uint16_t id, std::uint32_t size) {
    Bytes file = groupBytes({GroupEntry{16, 16, 0, 1, 32, size, id}});
    file.resize(6 + 12);
    testing::putU32(file, 22);
    const Bytes image = imageBytes(id, size);
    file.insert(file.end(), image.begin(), image.end());
    return file;
}

// Groups "#101" (image 1), "NAMED" (image 2) and "#102" (image 3), in that order.
FakeModule threeGroups() {
    FakeModule module;
    module.addGroup("NAMED", oneImageGroup(2, 20));
    module.addGroup("#101", oneImageGroup(1, 10));
    module.addGroup("#102", oneImageGroup(3, 30));
    for (std::uint16_t id : {1, 2, 3}) {
        module.addImage(id, imageBytes(id, 10 * id));
    }
    return module;
}

struct Extraction {
    testing::FakeSystem system;
    testing::FakeIconServices icons;
    Extraction() { system.openLog(); }

    void run(const std::string& source, const std::string& out, std::int32_t index,
             bool byId = false) {
        subExtractIcons(system.program, icons.services, source, out, index, byId);
        EXPECT_EQ(icons.modules.open_, 0) << "the module is released";
    }
    std::vector<std::string> prompts() const {
        std::vector<std::string> result;
        for (const auto& box : system.boxes.shown) {
            result.push_back(box.prompt);
        }
        return result;
    }
};

TEST(Extraction, WritesTheChosenGroupInEnumerationOrder) {
    struct Case {
        std::int32_t index;
        bool byId;
        Bytes file;
    } cases[] = {{0, false, oneImageFile(2, 20)},
                 {1, false, oneImageFile(1, 10)},
                 {2, false, oneImageFile(3, 30)},
                 {102, true, oneImageFile(3, 30)},
                 {101, true, oneImageFile(1, 10)}};
    for (const auto& c : cases) {
        Extraction x;
        x.icons.modules.modules[kModule] = threeGroups();
        x.run(kModule, kOut, c.index, c.byId);
        EXPECT_EQ(x.icons.holdingFiles.files, (std::map<std::string, Bytes>{{kOut, c.file}}))
            << c.index;
        EXPECT_TRUE(x.system.boxes.shown.empty());
        EXPECT_TRUE(x.system.traceMessages().empty());
    }
}

TEST(Extraction, AppendsTheSuffixUnlessThePathEndsInLowerCaseIco) {
    const std::pair<const char*, const char*> cases[] = {
        {"c:\\x\\1.ico", "c:\\x\\1.ico"},
        {"c:\\x\\1.ICO", "c:\\x\\1.ICO.ico"},
        {"c:\\x\\1", "c:\\x\\1.ico"},
        {"", ".ico"},
    };
    for (const auto& [given, written] : cases) {
        Extraction x;
        x.icons.modules.modules[kModule] = threeGroups();
        x.run(kModule, given, 0);
        EXPECT_EQ(x.icons.holdingFiles.files.count(written), 1u) << given;
    }
}

TEST(Extraction, LooksImagesUpByHashAndTheirUnsignedDecimalId) {
    Extraction x;
    FakeModule module;
    module.addGroup("#1", groupBytes({{32, 32, 0, 1, 32, 8, 40000}, {16, 16, 0, 1, 32, 4, 7}}));
    module.addImage(40000, imageBytes(40000, 8));
    module.addImage(7, imageBytes(7, 4));
    x.icons.modules.modules[kModule] = module;
    x.run(kModule, kOut, 0);
    EXPECT_EQ(x.icons.modules.lookups, (std::vector<std::string>{"14:#1", "3:#40000", "3:#7"}));
    EXPECT_EQ(x.icons.holdingFiles.files[kOut].size(), 6u + 32 + 12);
}

TEST(Extraction, WarnsOfUnusableSourcesAndWritesNothing) {
    const auto damagedImage = [] {
        FakeModule module;
        module.addGroup("#1", oneImageGroup(1, 100));
        module.addImage(1, imageBytes(1, 99));
        return module;
    };
    const auto withImage = [](ResourceStatus status) {
        FakeModule module;
        module.addGroup("#1", groupBytes({{16, 16, 0, 1, 32, 4, 1}, {16, 16, 0, 1, 32, 4, 2}}));
        module.addImage(1, imageBytes(1, 4));
        module.addImage(2, imageBytes(2, 4), status);
        return module;
    };
    const auto withGroup = [](ResourceStatus status, Bytes group = oneImageGroup(1, 4)) {
        FakeModule module;
        module.addGroup("#1", std::move(group), status);
        module.addImage(1, imageBytes(1, 4));
        return module;
    };
    FakeModule missingImage;
    missingImage.addGroup("#1", oneImageGroup(1, 4));
    struct Case {
        const char* what;
        std::optional<FakeModule> module;
        std::string prompt;
    } cases[] = {
        {"no module", std::nullopt, "Icon source file, '" + kModule + "' wasn't found"},
        {"no icon group", FakeModule{},
         "Icon source file, '" + kModule + "' doesn't contain any resources"},
        {"group not loaded", withGroup(ResourceStatus::LoadFailed),
         "Failed to load resource entry in icon source file, '" + kModule + "'"},
        {"group not locked", withGroup(ResourceStatus::LockFailed),
         "Failed to get pointer to resource entry in icon source file, '" + kModule + "'"},
        {"group too short", withGroup(ResourceStatus::Found, groupBytes({}, 1)),
         "Damaged icon group in icon source file, '" + kModule + "'"},
        {"image not found", missingImage,
         "Failed to locate resource in icon source file, '" + kModule + "'"},
        {"image not loaded", withImage(ResourceStatus::LoadFailed),
         "Failed to locate resource from icon source file, '" + kModule + "'"},
        {"image not locked", withImage(ResourceStatus::LockFailed),
         "Failed to get resource address in icon source file, '" + kModule + "'"},
        {"image shorter than its entry claims", damagedImage(),
         "Damaged icon image in icon source file, '" + kModule + "'"},
    };
    for (const auto& c : cases) {
        Extraction x;
        if (c.module) {
            x.icons.modules.modules[kModule] = *c.module;
        }
        x.icons.holdingFiles.files[kOut] = {1, 2, 3};  // left by an earlier run
        x.run(kModule, kOut, 0);
        ASSERT_EQ(x.system.boxes.shown.size(), 1u) << c.what;
        EXPECT_EQ(x.system.boxes.shown[0].prompt, c.prompt) << c.what;
        EXPECT_EQ(x.system.boxes.shown[0].flags, kIconWarning) << c.what;
        EXPECT_EQ(x.system.boxes.shown[0].title, "Perchlet! v4.2.7") << c.what;
        EXPECT_TRUE(x.system.traceMessages().empty()) << c.what;
        EXPECT_EQ(x.icons.holdingFiles.files, (std::map<std::string, Bytes>{{kOut, {1, 2, 3}}}))
            << c.what;
    }
}

TEST(Extraction, TrapsRunTimeErrorsIntoTheTraceAndAStopBox) {
    FakeModule unlocatable;
    unlocatable.groupNames = {"#5"};
    FakeModule huge;
    huge.addGroup("#1", groupBytes({}, 2341));
    struct Case {
        const char* what;
        FakeModule module;
        std::int32_t index;
        std::string report;
        bool byId = false;
    } cases[] = {
        {"one beyond the count", threeGroups(), 4,
         "Error  9 (Subscript out of range) occurred in subExtractIcons"},
        {"negative", threeGroups(), -1,
         "Error  9 (Subscript out of range) occurred in subExtractIcons"},
        {"beyond 16 bits", threeGroups(), 32768, "Error  6 (Overflow) occurred in subExtractIcons"},
        {"below 16 bits", threeGroups(), -32769, "Error  6 (Overflow) occurred in subExtractIcons"},
        {"count x 14 beyond 16 bits", huge, 0, "Error  6 (Overflow) occurred in subExtractIcons"},
        {"group not located", unlocatable, 0,
         "Error  1012 (Failed to locate resource entry) occurred in subExtractIcons"},
        {"no group of that id", threeGroups(), 2,
         "Error  9 (Subscript out of range) occurred in subExtractIcons", true},
        {"an id beyond 16 bits", threeGroups(), 32768,
         "Error  9 (Subscript out of range) occurred in subExtractIcons", true},
        {"an id equal to the count", threeGroups(), 3,
         "Error  9 (Subscript out of range) occurred in subExtractIcons", true},
    };
    for (const auto& c : cases) {
        Extraction x;
        x.icons.modules.modules[kModule] = c.module;
        x.run(kModule, kOut, c.index, c.byId);
        EXPECT_EQ(x.system.traceMessages(), std::vector<std::string>{c.report}) << c.what;
        ASSERT_EQ(x.system.boxes.shown.size(), 1u) << c.what;
        EXPECT_EQ(x.system.boxes.shown[0].prompt, c.report) << c.what;
        EXPECT_EQ(x.system.boxes.shown[0].flags, kIconError) << c.what;
        EXPECT_TRUE(x.icons.holdingFiles.files.empty()) << c.what;
    }
}

TEST(Extraction, SaysNothingForTheIndexEqualToTheCountOrAnEmptyGroup) {
    FakeModule empty;
    empty.addGroup("#1", groupBytes({{}}, 0));
    const std::pair<FakeModule, std::int32_t> cases[] = {{threeGroups(), 3}, {empty, 0}};
    for (const auto& [module, index] : cases) {
        Extraction x;
        x.icons.modules.modules[kModule] = module;
        x.run(kModule, kOut, index);
        EXPECT_TRUE(x.system.boxes.shown.empty()) << index;
        EXPECT_TRUE(x.system.traceMessages().empty()) << index;
        EXPECT_TRUE(x.icons.holdingFiles.files.empty()) << index;
    }
}

TEST(Extraction, NamesTheCompanionOfTheSystemsOwnModules) {
    const std::string mun = "C:\\Windows\\SystemResources\\shell32.dll.mun";
    const std::tuple<const char*, const char*, std::string> cases[] = {
        // (module, SystemRoot, companion)
        {"shell32.dll", "C:\\Windows", mun},
        {"c:\\windows\\shell32.dll", "C:\\Windows", mun},
        {"C:/WINDOWS/SysWOW64\\shell32.dll", "C:\\Windows\\", mun},
        {"c:\\windows\\sysnative/shell32.dll", "C:/Windows", "C:/Windows" + mun.substr(10)},
        {"c:\\windows\\system32\\drivers\\x.sys", "C:\\Windows", ""},
        {"c:\\windows2\\system32\\x.dll", "C:\\Windows", ""},
        {"c:\\apps\\shell32.dll", "C:\\Windows", ""},
        {"c:shell32.dll", "C:\\Windows", ""},
        {"shell32.dll", "\\", ""},
    };
    for (const auto& [module, root, companion] : cases) {
        EXPECT_EQ(companionModulePath(module, root), companion) << module << " " << root;
    }
}

TEST(Extraction, LooksForAModuleNamedWithoutAFolderUnderTheLoadersName) {
    const std::pair<const char*, std::string> cases[] = {{"shell32.dll", "shell32.dll"},
                                                         {"Shell32", "Shell32.dll"},
                                                         {"x.", "x."},
                                                         {".\\x.dll", ""},
                                                         {"sub/x.dll", ""},
                                                         {"c:x.dll", ""},
                                                         {"", ""}};
    for (const auto& [module, name] : cases) {
        EXPECT_EQ(systemModuleFileName(module), name) << module;
    }
}

TEST(Extraction, ReadsTheGroupsOfASystemModuleWithoutAnyFromItsCompanion) {
    const std::string system = "c:\\windows\\system32\\tool.dll", other = "C:\\Apps\\tool.dll";
    FakeModule own;
    own.addGroup("#7", oneImageGroup(7, 70));
    own.addImage(7, imageBytes(7, 70));
    const std::string none = "' doesn't contain any resources";
    struct Case {
        std::string module;
        std::optional<FakeModule> atModule, atCompanion;
        std::optional<Bytes> file;
        std::string prompt;  // after "Icon source file, '" and the module
    } cases[] = {
        {system, FakeModule{}, threeGroups(), oneImageFile(2, 20), ""},
        {system, own, threeGroups(), oneImageFile(7, 70), ""},
        {system, FakeModule{}, std::nullopt, std::nullopt, none},
        {system, FakeModule{}, FakeModule{}, std::nullopt, none},
        {system, std::nullopt, threeGroups(), std::nullopt, "' wasn't found"},
        {other, FakeModule{}, threeGroups(), std::nullopt, none},
    };
    for (const auto& c : cases) {
        Extraction x;
        x.system.env.variables = {{"SYSTEMROOT", "C:\\Windows"}};
        if (c.atModule) {
            x.icons.modules.modules[c.module] = *c.atModule;
        }
        if (c.atCompanion) {
            x.icons.modules.modules["C:\\Windows\\SystemResources\\tool.dll.mun"] = *c.atCompanion;
        }
        x.run(c.module, kOut, 0);
        const std::string prompt = "Icon source file, '" + c.module + c.prompt;
        EXPECT_EQ(x.prompts(),
                  c.prompt.empty() ? std::vector<std::string>{} : std::vector<std::string>{prompt});
        EXPECT_EQ(x.icons.holdingFiles.files[kOut], c.file.value_or(Bytes{})) << c.module;
    }
}

TEST(Extraction, ReportsAFailedWriteAndKeepsTheOlderFile) {
    Extraction x;
    x.icons.modules.modules[kModule] = threeGroups();
    x.icons.holdingFiles.files[kOut] = {9};
    x.icons.holdingFiles.failing.insert(kOut);
    x.run(kModule, kOut, 0);
    EXPECT_EQ(x.prompts(),
              std::vector<std::string>{"Failed to create icon holding file '" + kOut + "'"});
    EXPECT_EQ(x.system.boxes.shown[0].flags, kIconWarning);
    EXPECT_EQ(x.icons.holdingFiles.files[kOut], Bytes{9});
}

}  // namespace
}  // namespace perchlet
