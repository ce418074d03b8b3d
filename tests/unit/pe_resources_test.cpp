#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>

#include "fakes.h"
#include "icon_fakes.h"
#include "icons/extraction.h"
#include "icons/pe_resources.h"

namespace perchlet {
namespace {

using testing::asciiCodec;
using testing::Bytes;
using testing::putU16;
using testing::putU32;

class MemorySource : public ByteSource {
public:
    explicit MemorySource(Bytes bytes) : bytes_(std::move(bytes)) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::span<std::uint8_t> into) override {
        if (offset > bytes_.size() || into.size() > bytes_.size() - offset) {
            ADD_FAILURE() << "read past the end: " << offset << "+" << into.size();
            return false;
        }
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), into.size(),
                    into.begin());
        return true;
    }

private:
    Bytes bytes_;
};

struct Resource {
    Resource(std::uint16_t type, std::string name, std::uint16_t language, Bytes data,
             std::optional<std::uint32_t> rva = {}, std::optional<std::uint32_t> size = {})
        : type(type),
          name(std::move(name)),
          language(language),
          data(std::move(data)),
          rva(rva),
          size(size) {}
    std::uint16_t type;
    std::string name;  // "#7" for an id; any other is stored as it is written, letter case kept
    std::uint16_t language;
    Bytes data;
    std::optional<std::uint32_t> rva;  // where its data entry says it is, when not where it is put
    std::optional<std::uint32_t> size;
};

constexpr std::uint32_t kTextRva = 0x1000;
constexpr std::uint32_t kResourceRva = 0x3000;
constexpr std::uint32_t kResourceOffset = 0x400;

// A PE image: headers, a resource section at file offset 0x400 mapped at 0x3000, then a second
// section of `text` bytes mapped at 0x1000. Names end the resource section: with no `text`,
// cutting the file's end makes the last stored name unreadable.
struct Image {
    std::uint16_t magic = 0x20b;
    std::uint32_t directories = 16;
    std::optional<std::uint32_t> resourceRva = kResourceRva;  // none: an empty directory entry
    std::vector<Resource> resources;
    Bytes text = Bytes(32, 0xEE);
    std::size_t cut = 0;  // bytes taken off the end

    Bytes build() const {
        const Bytes section = resourceSection();
        const bool pe32 = magic == 0x10b;
        const std::uint16_t optionalSize = pe32 ? 224 : 240;
        Bytes file(0x40, 0);
        file[0] = 'M';
        file[1] = 'Z';
        file[0x3C] = 0x40;
        putU32(file, 0x00004550);
        putU16(file, 0x8664);
        putU16(file, 2);
        file.resize(file.size() + 12);
        putU16(file, optionalSize);
        putU16(file, 0x2022);
        const std::size_t optional = file.size();
        file.resize(optional + optionalSize);
        file[optional] = static_cast<std::uint8_t>(magic);
        file[optional + 1] = static_cast<std::uint8_t>(magic >> 8);
        const std::size_t count = optional + (pe32 ? 92 : 108);
        std::memcpy(&file[count], &directories, 4);
        const std::uint32_t resourceDirectory[2] = {resourceRva.value_or(0),
                                                    static_cast<std::uint32_t>(section.size())};
        std::memcpy(&file[count + 4 + 16], resourceDirectory, 8);
        const auto sectionHeader = [&](const char* name, std::uint32_t rva, std::size_t size,
                                       std::size_t offset) {
            const std::size_t at = file.size();
            file.resize(at + 40);
            std::memcpy(&file[at], name, std::strlen(name));
            const std::uint32_t fields[4] = {static_cast<std::uint32_t>(size), rva,
                                             static_cast<std::uint32_t>(size),
                                             static_cast<std::uint32_t>(offset)};
            std::memcpy(&file[at + 8], fields, 16);
        };
        sectionHeader(".rsrc", kResourceRva, section.size(), kResourceOffset);
        sectionHeader(".text", kTextRva, text.size(), kResourceOffset + section.size());
        file.resize(kResourceOffset);
        file.insert(file.end(), section.begin(), section.end());
        file.insert(file.end(), text.begin(), text.end());
        file.resize(file.size() - cut);
        return file;
    }

    // Directories in the order the resources first name them, named entries before ids; then the
    // data entries, the data, and the names.
    Bytes resourceSection() const {
        using Names = std::vector<std::pair<std::string, std::vector<std::size_t>>>;
        std::vector<std::pair<std::uint16_t, Names>> types;
        for (std::size_t k = 0; k < resources.size(); ++k) {
            const Resource& r = resources[k];
            auto type = std::find_if(types.begin(), types.end(),
                                     [&](const auto& t) { return t.first == r.type; });
            if (type == types.end()) {
                type = types.insert(types.end(), {r.type, {}});
            }
            auto name = std::find_if(type->second.begin(), type->second.end(),
                                     [&](const auto& n) { return n.first == r.name; });
            if (name == type->second.end()) {
                name = type->second.insert(type->second.end(), {r.name, {}});
            }
            name->second.push_back(k);
        }
        Bytes out;
        std::vector<std::pair<std::size_t, std::string>> namesAt;
        std::vector<std::pair<std::size_t, std::size_t>> dataEntriesAt;
        const auto set32 = [&](std::size_t at, std::uint32_t value) {
            std::memcpy(&out[at], &value, 4);
        };
        // The directory's entries, each with where its target is to be written.
        const auto directory = [&](std::vector<std::pair<std::string, bool>> keys) {
            std::stable_partition(keys.begin(), keys.end(),
                                  [](const auto& key) { return key.first[0] != '#'; });
            const auto named = std::count_if(keys.begin(), keys.end(),
                                             [](const auto& key) { return key.first[0] != '#'; });
            out.resize(out.size() + 12);
            putU16(out, static_cast<std::uint16_t>(named));
            putU16(out, static_cast<std::uint16_t>(keys.size() - named));
            std::vector<std::pair<std::string, std::size_t>> targets;
            for (const auto& [key, isDirectory] : keys) {
                if (key[0] == '#') {
                    putU32(out, static_cast<std::uint32_t>(std::stoul(key.substr(1))));
                } else {
                    namesAt.push_back({out.size(), key});
                    putU32(out, 0);
                }
                targets.push_back({key, out.size()});
                putU32(out, isDirectory ? 0x80000000u : 0);
            }
            return targets;
        };
        const auto id = [](std::uint16_t value) { return "#" + std::to_string(value); };
        std::vector<std::pair<std::string, bool>> typeKeys;
        for (const auto& type : types) {
            typeKeys.push_back({id(type.first), true});
        }
        const auto typeTargets = directory(typeKeys);
        for (std::size_t t = 0; t < types.size(); ++t) {
            set32(typeTargets[t].second, 0x80000000u | static_cast<std::uint32_t>(out.size()));
            std::vector<std::pair<std::string, bool>> nameKeys;
            for (const auto& name : types[t].second) {
                nameKeys.push_back({name.first, true});
            }
            for (const auto& [name, at] : directory(nameKeys)) {
                set32(at, 0x80000000u | static_cast<std::uint32_t>(out.size()));
                const auto& languages = std::find_if(types[t].second.begin(), types[t].second.end(),
                                                     [&](const auto& n) { return n.first == name; })
                                            ->second;
                std::vector<std::pair<std::string, bool>> languageKeys;
                for (const std::size_t k : languages) {
                    languageKeys.push_back({id(resources[k].language), false});
                }
                const auto languageTargets = directory(languageKeys);
                for (std::size_t l = 0; l < languages.size(); ++l) {
                    dataEntriesAt.push_back({languageTargets[l].second, languages[l]});
                }
            }
        }
        std::vector<std::size_t> entryOf(resources.size());
        for (const auto& [at, k] : dataEntriesAt) {
            set32(at, static_cast<std::uint32_t>(out.size()));
            entryOf[k] = out.size();
            out.resize(out.size() + 16);
        }
        for (std::size_t k = 0; k < resources.size(); ++k) {
            set32(entryOf[k],
                  resources[k].rva.value_or(kResourceRva + static_cast<std::uint32_t>(out.size())));
            set32(entryOf[k] + 4,
                  resources[k].size.value_or(static_cast<std::uint32_t>(resources[k].data.size())));
            out.insert(out.end(), resources[k].data.begin(), resources[k].data.end());
        }
        for (const auto& [at, name] : namesAt) {
            set32(at, 0x80000000u | static_cast<std::uint32_t>(out.size()));
            putU16(out, static_cast<std::uint16_t>(name.size()));
            for (const char c : name) {
                putU16(out, static_cast<std::uint8_t>(c));
            }
        }
        return out;
    }
};

std::unique_ptr<ResourceModule> openBytes(const Bytes& file, std::uint16_t userLanguage = 0x0407) {
    return openPeResources(std::make_unique<MemorySource>(file), asciiCodec(userLanguage));
}

Resource group(std::string name, Bytes data = {1}) {
    return {kResourceTypeGroupIcon, std::move(name), 0, std::move(data)};
}

TEST(PeResources, ReadsOnlyFilesTheSystemWouldTakeAsNamed) {
    struct Case {
        const char* path;
        bool named;
    } cases[] = {
        {"C:\\Windows\\notepad.exe", true}, {"c:/tools/app.dll", true},
        {"\\\\server\\share\\m.dll", true}, {"shell32.dll", false},
        {"C:\\Tools\\app", false},          {"C:\\Tools.d\\app", false},
        {"C:\\Tools\\app.", false},         {"C:app.dll", false},
        {"\\Tools\\app.dll", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(namesItsFile(c.path), c.named) << c.path;
    }
}

TEST(PeResources, RefusesBytesThatAreNoPeModule) {
    const Bytes valid = Image{.resources = {group("#1")}}.build();
    const auto changed = [&](std::size_t at, std::uint8_t value) {
        Bytes file = valid;
        file[at] = value;
        return file;
    };
    const std::pair<const char*, Bytes> cases[] = {
        {"empty", {}},
        {"MZ only", {'M', 'Z'}},
        {"cut before e_lfanew ends", Bytes(valid.begin(), valid.begin() + 0x3E)},
        {"no MZ", changed(0, 'X')},
        {"e_lfanew past the end", changed(0x3F, 0x7F)},
        {"e_lfanew at no PE signature", changed(0x3C, 0x44)},
        {"signature PE\\0\\1", changed(0x43, 1)},
        {"cut after the signature", Bytes(valid.begin(), valid.begin() + 0x46)},
    };
    for (const auto& [what, file] : cases) {
        EXPECT_EQ(openBytes(file), nullptr) << what;
    }
    EXPECT_EQ(openPeResources(nullptr, asciiCodec()), nullptr);
    EXPECT_NE(openBytes(valid), nullptr);
}

TEST(PeResources, ListsIconGroupsInStoredOrderUntilANameCannotBePassedOn) {
    const Resource image{kResourceTypeIcon, "#1", 0, {2}};
    const Resource cursorGroup{12, "CURSOR", 0, {3}};
    struct Case {
        const char* what;
        Image image;
        std::vector<std::string> names;
    } cases[] = {
        {"named first, then ids",
         {.resources = {group("#200"), image, group("Zeta"), cursorGroup, group("#7"),
                        group("ALPHA")}},
         {"Zeta", "ALPHA", "#200", "#7"}},
        {"several languages of one group listed once",
         {.resources = {group("#3"), {kResourceTypeGroupIcon, "#3", 0x0409, {1}}}},
         {"#3"}},
        {"an empty name", {.resources = {group("A"), group(""), group("B"), group("#1")}}, {"A"}},
        {"the last name cut off",
         {.resources = {group("ONE"), group("TWO"), group("#5")}, .cut = 2},
         {"ONE"}},
        {"no icon groups", {.resources = {image, cursorGroup}}, {}},
    };
    for (auto& c : cases) {
        c.image.text.clear();  // the names end the file
        const auto module = openBytes(c.image.build());
        ASSERT_NE(module, nullptr) << c.what;
        EXPECT_EQ(module->iconGroupNames(), c.names) << c.what;
    }
}

TEST(PeResources, FindsByHashIdOrUpperCaseName) {
    const auto module = openBytes(Image{
        .resources = {
            group("#7", {7}),
            group("NAMED", {1, 2}),
            group("Mixed", {5}),
            group("lower", {3}),
            group("#65535", {4}),
            {kResourceTypeIcon, "#7", 0, {9, 9}},
        }}.build());
    ASSERT_NE(module, nullptr);
    const struct {
        std::string name;
        std::uint16_t type;
        std::optional<Bytes> bytes;  // none: not found
    } cases[] = {
        {"#7", kResourceTypeGroupIcon, Bytes{7}},
        {"#7", kResourceTypeIcon, Bytes{9, 9}},
        {"#07", kResourceTypeGroupIcon, Bytes{7}},
        {"#65535", kResourceTypeGroupIcon, Bytes{4}},
        {"named", kResourceTypeGroupIcon, Bytes{1, 2}},
        {"NAMED", kResourceTypeGroupIcon, Bytes{1, 2}},
        {"Named", kResourceTypeGroupIcon, Bytes{1, 2}},
        // Names stored with lower-case letters are never matched.
        {"lower", kResourceTypeGroupIcon, std::nullopt},
        {"Mixed", kResourceTypeGroupIcon, std::nullopt},
        {"NAMED", kResourceTypeIcon, std::nullopt},
        {"#8", kResourceTypeGroupIcon, std::nullopt},
        {"#7", 5, std::nullopt},
        {"7", kResourceTypeGroupIcon, std::nullopt},
        {"#", kResourceTypeGroupIcon, std::nullopt},
        {"#x", kResourceTypeGroupIcon, std::nullopt},
        {"#-1", kResourceTypeGroupIcon, std::nullopt},
        {"#65536", kResourceTypeGroupIcon, std::nullopt},
        {"#4294967303", kResourceTypeGroupIcon, std::nullopt},  // 2^32 + 7
        {"", kResourceTypeGroupIcon, std::nullopt},
    };
    for (const auto& c : cases) {
        const ResourceBytes found = module->find(c.name, c.type);
        const std::string what = c.name + " of type " + std::to_string(c.type);
        if (c.bytes) {
            EXPECT_EQ(found.status, ResourceStatus::Found) << what;
            EXPECT_EQ(Bytes(found.bytes.begin(), found.bytes.end()), *c.bytes) << what;
        } else {
            EXPECT_EQ(found.status, ResourceStatus::NotFound) << what;
            EXPECT_TRUE(found.bytes.empty()) << what;
        }
    }
}

TEST(PeResources, PrefersNeutralThenUserThenPrimaryThenEnglishThenFirst) {
    const struct {
        std::vector<std::uint16_t> languages;
        std::uint16_t user;
        std::uint16_t chosen;
    } cases[] = {
        {{0x0409, 0x0407, 0x0000}, 0x0407, 0x0000}, {{0x0409, 0x0C07, 0x0407}, 0x0407, 0x0407},
        {{0x0409, 0x0807, 0x0007}, 0x0407, 0x0007}, {{0x0807, 0x0409}, 0x0407, 0x0409},
        {{0x0C07, 0x040C}, 0x0407, 0x0C07},         {{0x040C}, 0x0000, 0x040C},
    };
    for (const auto& c : cases) {
        Image image;
        for (const std::uint16_t language : c.languages) {
            image.resources.push_back({kResourceTypeGroupIcon, "#1", language,
                                       Bytes{static_cast<std::uint8_t>(language),
                                             static_cast<std::uint8_t>(language >> 8)}});
        }
        const auto module = openBytes(image.build(), c.user);
        const ResourceBytes found = module->find("#1", 14);
        ASSERT_EQ(found.status, ResourceStatus::Found) << c.chosen;
        EXPECT_EQ(
            Bytes(found.bytes.begin(), found.bytes.end()),
            (Bytes{static_cast<std::uint8_t>(c.chosen), static_cast<std::uint8_t>(c.chosen >> 8)}))
            << c.chosen;
    }
}

TEST(PeResources, MapsDataThroughItsSectionAndKeepsOnlyTheFileItsBytes) {
    Bytes text(32);
    for (std::size_t k = 0; k < text.size(); ++k) {
        text[k] = static_cast<std::uint8_t>(0xA0 + k);
    }
    const auto at = [](std::uint32_t rva, std::uint32_t size) {
        return Resource{kResourceTypeGroupIcon, "#1", 0, {}, rva, size};
    };
    const struct {
        const char* what;
        Resource resource;
        ResourceStatus status;
        Bytes bytes;
    } cases[] = {
        {"in the other section", at(kTextRva + 4, 3), ResourceStatus::Found, {0xA4, 0xA5, 0xA6}},
        {"to the end of the file", at(kTextRva + 29, 3), ResourceStatus::Found, {0xBD, 0xBE, 0xBF}},
        {"past the end of the file", at(kTextRva + 30, 100), ResourceStatus::Found, {0xBE, 0xBF}},
        {"of any size", at(kTextRva + 31, 0xFFFFFFFF), ResourceStatus::Found, {0xBF}},
        {"of no size", at(kTextRva + 8, 0), ResourceStatus::Found, {}},
        {"just past the section", at(kTextRva + 32, 1), ResourceStatus::LoadFailed, {}},
        {"before every section", at(0x10, 1), ResourceStatus::LoadFailed, {}},
        {"past every section", at(0xFFFFFFF0, 1), ResourceStatus::LoadFailed, {}},
    };
    for (const auto& c : cases) {
        const auto module = openBytes(Image{.resources = {c.resource}, .text = text}.build());
        const ResourceBytes found = module->find("#1", 14);
        EXPECT_EQ(found.status, c.status) << c.what;
        EXPECT_EQ(Bytes(found.bytes.begin(), found.bytes.end()), c.bytes) << c.what;
    }
    // The last section claims raw bytes a cut file no longer has: data that starts at or past
    // the file's end is found, with none of its bytes.
    for (const std::uint32_t start : {kTextRva + 28, kTextRva + 30}) {
        const auto module =
            openBytes(Image{.resources = {at(start, 2)}, .text = text, .cut = 4}.build());
        const ResourceBytes found = module->find("#1", 14);
        EXPECT_EQ(found.status, ResourceStatus::Found) << start;
        EXPECT_TRUE(found.bytes.empty()) << start;
    }
}

TEST(PeResources, FindsNothingWithoutAResourceDirectoryOfAKnownLayout) {
    const Resource one = group("#1", {5});
    const struct {
        const char* what;
        Image image;
        bool readable;
    } cases[] = {
        {"PE32+", {.resources = {one}}, true},
        {"PE32", {.magic = 0x10b, .resources = {one}}, true},
        {"unknown magic", {.magic = 0x107, .resources = {one}}, false},
        {"two data directories", {.directories = 2, .resources = {one}}, false},
        {"no resource directory", {.resourceRva = std::nullopt, .resources = {one}}, false},
        {"resource directory in no section", {.resourceRva = 0x9000, .resources = {one}}, false},
    };
    for (const auto& c : cases) {
        const auto module = openBytes(c.image.build());
        ASSERT_NE(module, nullptr) << c.what;
        EXPECT_EQ(module->iconGroupNames(),
                  c.readable ? std::vector<std::string>{"#1"} : std::vector<std::string>{})
            << c.what;
        EXPECT_EQ(module->find("#1", 14).status,
                  c.readable ? ResourceStatus::Found : ResourceStatus::NotFound)
            << c.what;
    }
}

TEST(PeResources, BytesStayValidWhileTheModuleIsOpen) {
    const auto module =
        openBytes(Image{.resources = {group("#1", Bytes(64, 1)), group("A", {2})}}.build());
    const ResourceBytes first = module->find("#1", 14);
    for (int k = 0; k < 50; ++k) {
        module->find("A", 14);
    }
    EXPECT_EQ(Bytes(first.bytes.begin(), first.bytes.end()), Bytes(64, 1));
}

// Extraction over a module read from its bytes.
class PeModules : public ModuleResources {
public:
    std::map<std::string, Bytes> files;
    std::unique_ptr<ResourceModule> open(const std::string& path) override {
        const auto found = files.find(path);
        return found == files.end() ? nullptr : openBytes(found->second);
    }
};

TEST(PeResources, ExtractionWritesTheGroupAndItsImages) {
    using testing::GroupEntry;
    const Bytes group2 = testing::groupBytes({GroupEntry{32, 32, 0, 1, 32, 6, 2}});
    Image image{.resources = {group("#1", testing::groupBytes({GroupEntry{}})),
                              {kResourceTypeIcon, "#2", 0x0409, testing::imageBytes(2, 6)},
                              group("SECOND", group2)}};
    testing::FakeSystem system;
    system.openLog();
    testing::FakeRegistry registry;
    PeModules modules;
    modules.files["C:\\m.dll"] = image.build();
    testing::FakeHoldingFiles holdingFiles;
    IconServices services{registry, modules, holdingFiles};
    EXPECT_TRUE(subExtractIcons(system.program, services, "C:\\m.dll", "C:\\out", 0));
    Bytes expected = group2;
    expected.resize(6 + 12);
    putU32(expected, 22);
    const Bytes pixels = testing::imageBytes(2, 6);
    expected.insert(expected.end(), pixels.begin(), pixels.end());
    EXPECT_EQ(holdingFiles.files, (std::map<std::string, Bytes>{{"C:\\out.ico", expected}}));
    EXPECT_TRUE(system.boxes.shown.empty());
}

}  // namespace
}  // namespace perchlet
