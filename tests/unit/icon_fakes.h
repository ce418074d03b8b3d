#pragma once
// Stand-ins for the registry, module resources and holding files of icon resolution.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "common/errors.h"
#include "common/little_endian.h"
#include "common/text.h"
#include "icons/icon_system.h"
#include "icons/pe_resources.h"

namespace perchlet::testing {

using Bytes = std::vector<std::uint8_t>;

// Registry values by root, key and value name; keys and names match in any letter case, as the
// registry's do. Every read is recorded in order.
class FakeRegistry : public RegistryReader {
public:
    struct Read {
        RegistryRoot root;
        std::string key;
        std::string value;
        bool operator==(const Read&) const = default;
    };

    void set(RegistryRoot root, const std::string& key, const std::string& value,
             const std::string& data) {
        values[{root, toLower(key), toLower(value)}] = data;
    }
    std::optional<std::string> readValue(RegistryRoot root, const std::string& key,
                                         const std::string& value) const override {
        reads.push_back({root, key, value});
        if (failingKeys.count(toLower(key)) != 0) {
            throw RunError(5, "Invalid procedure call or argument");
        }
        const auto found = values.find({root, toLower(key), toLower(value)});
        if (found == values.end()) {
            return std::nullopt;
        }
        return found->second;
    }

    std::map<std::tuple<RegistryRoot, std::string, std::string>, std::string> values;
    std::set<std::string> failingKeys;  // lower case; reading them raises a run-time error
    mutable std::vector<Read> reads;
};

struct FakeResource {
    ResourceStatus status = ResourceStatus::Found;
    Bytes bytes;
};

struct FakeModule {
    std::vector<std::string> groupNames;
    // By type and name as FindResource is given it ("#7" or a name, upper case).
    std::map<std::pair<std::uint16_t, std::string>, FakeResource> resources;

    void addGroup(const std::string& name, Bytes bytes,
                  ResourceStatus status = ResourceStatus::Found) {
        groupNames.push_back(name);
        resources[{kResourceTypeGroupIcon, toUpper(name)}] = {status, std::move(bytes)};
    }
    void addImage(std::uint16_t id, Bytes bytes, ResourceStatus status = ResourceStatus::Found) {
        resources[{kResourceTypeIcon, "#" + std::to_string(id)}] = {status, std::move(bytes)};
    }
};

class FakeModuleResources : public ModuleResources {
public:
    std::map<std::string, FakeModule> modules;  // by path; any other path cannot be mapped
    std::vector<std::string> opened;
    std::vector<std::string> lookups;  // "type:name" for every find
    int open_ = 0;                     // modules open right now

    std::unique_ptr<ResourceModule> open(const std::string& path) override {
        opened.push_back(path);
        const auto found = modules.find(path);
        if (found == modules.end()) {
            return nullptr;
        }
        return std::make_unique<Opened>(*this, found->second);
    }

private:
    class Opened : public ResourceModule {
    public:
        Opened(FakeModuleResources& owner, const FakeModule& module)
            : owner_(owner), module_(module) {
            ++owner_.open_;
        }
        ~Opened() override { --owner_.open_; }
        std::vector<std::string> iconGroupNames() override { return module_.groupNames; }
        ResourceBytes find(const std::string& name, std::uint16_t type) override {
            owner_.lookups.push_back(std::to_string(type) + ":" + name);
            const auto found = module_.resources.find({type, toUpper(name)});
            if (found == module_.resources.end()) {
                return {};
            }
            return {found->second.status, found->second.bytes};
        }

    private:
        FakeModuleResources& owner_;
        const FakeModule& module_;
    };
};

class FakeHoldingFiles : public HoldingFileWriter {
public:
    std::map<std::string, Bytes> files;
    std::set<std::string> failing;  // writes to these fail and leave them as they were
    bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) override {
        if (failing.count(path) != 0) {
            return false;
        }
        files[path] = Bytes(bytes.begin(), bytes.end());
        return true;
    }
};

struct FakeIconServices {
    FakeRegistry registry;
    FakeModuleResources modules;
    FakeHoldingFiles holdingFiles;
    IconServices services{registry, modules, holdingFiles};
};

// Group resource records, little-endian.
struct GroupEntry {
    std::uint8_t width = 16;
    std::uint8_t height = 16;
    std::uint8_t colours = 0;
    std::uint16_t planes = 1;
    std::uint16_t bitCount = 32;
    std::uint32_t bytesInResource = 0;
    std::uint16_t imageId = 1;
};

inline void putU16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void putU32(Bytes& out, std::uint32_t value) {
    putU16(out, static_cast<std::uint16_t>(value));
    putU16(out, static_cast<std::uint16_t>(value >> 16));
}

// A group whose header count is `count` (the number of entries, unless given).
inline Bytes groupBytes(const std::vector<GroupEntry>& entries,
                        std::optional<std::uint16_t> count = std::nullopt) {
    Bytes out;
    putU16(out, 0);
    putU16(out, 1);
    putU16(out, count.value_or(static_cast<std::uint16_t>(entries.size())));
    for (const auto& e : entries) {
        out.insert(out.end(), {e.width, e.height, e.colours, 0});
        putU16(out, e.planes);
        putU16(out, e.bitCount);
        putU32(out, e.bytesInResource);
        putU16(out, e.imageId);
    }
    return out;
}

// Image bytes that tell where they came from: the id's low byte, repeated.
inline Bytes imageBytes(std::uint16_t id, std::size_t size) {
    return Bytes(size, static_cast<std::uint8_t>(id));
}

inline std::uint32_t readU32(const Bytes& bytes, std::size_t at) {
    return le32(bytes.data() + at);
}

// ASCII both ways, as a single-byte code page would give it for these names.
inline ResourceNameCodec asciiCodec(std::uint16_t userLanguage = 0x0407) {
    ResourceNameCodec codec;
    codec.toText = [](const std::u16string& name) {
        std::string text;
        for (const char16_t c : name) {
            text += c < 0x80 ? static_cast<char>(c) : '?';
        }
        return text;
    };
    codec.toUpperName = [](const std::string& text) {
        std::u16string name;
        for (const char c : toUpper(text)) {
            name += static_cast<char16_t>(static_cast<unsigned char>(c));
        }
        return name;
    };
    codec.userLanguage = userLanguage;
    return codec;
}

}  // namespace perchlet::testing
