#include "icons/pe_resources.h"

#include <algorithm>
#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "common/little_endian.h"

namespace perchlet {

namespace {

constexpr std::uint32_t kHighBit = 0x80000000u;
constexpr std::uint16_t kEnglish = 0x0409;
constexpr std::uint16_t kPe32 = 0x10b;
constexpr std::uint16_t kPe32Plus = 0x20b;
constexpr std::size_t kResourceDirectory = 2;
constexpr std::uint64_t kDirectoryHeader = 16;
constexpr std::uint64_t kEntrySize = 8;
constexpr std::uint64_t kSectionSize = 40;

struct Section {
    std::uint32_t virtualAddress;
    std::uint32_t rawSize;
    std::uint32_t rawOffset;
};

// One entry of a resource directory. Look-ups tell names from ids by the entry's place (named
// entries come first); the enumeration tells them by the name field's high bit.
struct Entry {
    bool inNamedRange;
    std::uint32_t name;
    std::uint32_t target;
    bool isName() const { return (name & kHighBit) != 0; }
    bool isDirectory() const { return (target & kHighBit) != 0; }
    std::uint32_t offset() const { return target & ~kHighBit; }
};

// Where a relative address lies in the file: as in a module mapped flat, only inside a section's
// raw data.
std::optional<std::uint64_t> fileOffset(const std::vector<Section>& sections, std::uint32_t rva) {
    for (const Section& section : sections) {
        if (rva >= section.virtualAddress && rva - section.virtualAddress < section.rawSize) {
            return std::uint64_t{section.rawOffset} + (rva - section.virtualAddress);
        }
    }
    return std::nullopt;
}

// Reads that stay inside the file. The directory tree is read in many small pieces, a few
// bytes at a time: those come from whole pages, each read from the file once.
class Reader {
public:
    explicit Reader(ByteSource& file) : file_(file), size_(file.size()) {}
    std::uint64_t size() const { return size_; }
    bool fits(std::uint64_t offset, std::uint64_t count) const {
        return offset <= size_ && count <= size_ - offset;
    }
    bool read(std::uint64_t offset, std::span<std::uint8_t> into) {
        if (!fits(offset, into.size())) {
            return false;
        }
        if (into.size() > kPage) {
            return file_.read(offset, into);
        }
        while (!into.empty()) {
            const std::vector<std::uint8_t>* page = pageAt(offset / kPage);
            const auto from = static_cast<std::size_t>(offset % kPage);
            if (page == nullptr || from >= page->size()) {
                return false;
            }
            const std::size_t count = std::min(into.size(), page->size() - from);
            std::copy_n(page->data() + from, count, into.data());
            into = into.subspan(count);
            offset += count;
        }
        return true;
    }
    std::optional<std::uint16_t> u16(std::uint64_t offset) {
        std::array<std::uint8_t, 2> bytes{};
        return read(offset, bytes) ? std::optional(le16(bytes.data())) : std::nullopt;
    }
    std::optional<std::uint32_t> u32(std::uint64_t offset) {
        std::array<std::uint8_t, 4> bytes{};
        return read(offset, bytes) ? std::optional(le32(bytes.data())) : std::nullopt;
    }

private:
    static constexpr std::uint64_t kPage = 4096;

    // A page's bytes, valid until the next call; a module's tree lies on a few pages.
    const std::vector<std::uint8_t>* pageAt(std::uint64_t page) {
        for (const auto& [number, bytes] : pages_) {
            if (number == page) {
                return &bytes;
            }
        }
        const std::uint64_t start = page * kPage;
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(std::min(kPage, size_ - start)));
        if (!file_.read(start, bytes)) {
            return nullptr;
        }
        return &pages_.emplace_back(page, std::move(bytes)).second;
    }

    ByteSource& file_;
    std::uint64_t size_;
    std::vector<std::pair<std::uint64_t, std::vector<std::uint8_t>>> pages_;
};

class PeResources : public ResourceModule {
public:
    PeResources(std::unique_ptr<ByteSource> file, ResourceNameCodec codec,
                std::vector<Section> sections, std::optional<std::uint64_t> root)
        : file_(std::move(file)),
          reader_(*file_),
          codec_(std::move(codec)),
          sections_(std::move(sections)),
          root_(root) {}

    std::vector<std::string> iconGroupNames() override {
        std::vector<std::string> names;
        const auto groups = directoryOf(std::nullopt, kResourceTypeGroupIcon);
        if (!groups) {
            return names;
        }
        for (const Entry& entry : entries(*groups)) {
            std::string text;
            if (entry.isName()) {
                const auto stored = storedName(entry.name & ~kHighBit);
                if (!stored) {
                    break;
                }
                text = codec_.toText(*stored);
            } else {
                text = funcResourceName(entry.name & 0xFFFF);
            }
            if (text.empty()) {
                break;  // the enumeration stops at a name it cannot pass on
            }
            names.push_back(std::move(text));
        }
        return names;
    }

    ResourceBytes find(const std::string& name, std::uint16_t type) override {
        const auto types = directoryOf(std::nullopt, type);
        if (!types) {
            return {ResourceStatus::NotFound, {}};
        }
        const auto languages = nameDirectory(*types, name);
        if (!languages) {
            return {ResourceStatus::NotFound, {}};
        }
        const auto data = languageEntry(*languages);
        if (!data) {
            return {ResourceStatus::NotFound, {}};
        }
        const auto rva = reader_.u32(*root_ + *data);
        const auto size = reader_.u32(*root_ + *data + 4);
        if (!rva || !size) {
            return {ResourceStatus::NotFound, {}};
        }
        const auto offset = fileOffset(sections_, *rva);
        if (!offset) {
            return {ResourceStatus::LoadFailed, {}};
        }
        // An entry may claim bytes past the end of a damaged or truncated file: only the file's
        // own bytes are the resource's.
        const std::uint64_t available = *offset < reader_.size() ? reader_.size() - *offset : 0;
        if (available == 0) {
            return {ResourceStatus::Found, {}};
        }
        auto& bytes =
            held_.emplace_back(static_cast<std::size_t>(std::min<std::uint64_t>(*size, available)));
        if (!reader_.read(*offset, bytes)) {
            return {ResourceStatus::LoadFailed, {}};
        }
        return {ResourceStatus::Found, bytes};
    }

private:
    std::vector<Entry> entries(std::uint32_t directory) {
        std::vector<Entry> list;
        const std::uint64_t at = *root_ + directory;
        const auto named = reader_.u16(at + 12);
        const auto ids = reader_.u16(at + 14);
        if (!named || !ids) {
            return list;
        }
        const std::uint64_t first = at + kDirectoryHeader;
        const std::uint64_t inFile = first <= reader_.size() ? (reader_.size() - first) / 8 : 0;
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(std::uint64_t{*named} + *ids, inFile));
        std::vector<std::uint8_t> bytes(count * kEntrySize);
        if (!reader_.read(first, bytes)) {
            return list;
        }
        list.reserve(count);
        for (std::size_t k = 0; k < count; ++k) {
            const std::uint8_t* entry = bytes.data() + k * kEntrySize;
            list.push_back({k < *named, le32(entry), le32(entry + 4)});
        }
        return list;
    }

    std::optional<std::u16string> storedName(std::uint32_t offset) {
        const std::uint64_t at = *root_ + offset;
        const auto length = reader_.u16(at);
        if (!length) {
            return std::nullopt;
        }
        std::vector<std::uint8_t> bytes(std::size_t{*length} * 2);
        if (!reader_.read(at + 2, bytes)) {
            return std::nullopt;
        }
        std::u16string text(*length, u'\0');
        for (std::size_t k = 0; k < text.size(); ++k) {
            text[k] = static_cast<char16_t>(le16(bytes.data() + 2 * k));
        }
        return text;
    }

    // The subdirectory of the entry with this id: of the root when `directory` is empty.
    std::optional<std::uint32_t> directoryOf(std::optional<std::uint32_t> directory,
                                             std::uint16_t id) {
        if (!root_) {
            return std::nullopt;
        }
        for (const Entry& entry : entries(directory.value_or(0))) {
            if (!entry.inNamedRange && (entry.name & 0xFFFF) == id) {
                return entry.isDirectory() ? std::optional(entry.offset()) : std::nullopt;
            }
        }
        return std::nullopt;
    }

    // A name given as "#" and a decimal id is that id; any other is compared in upper case.
    std::optional<std::uint32_t> nameDirectory(std::uint32_t types, const std::string& name) {
        if (!name.empty() && name[0] == '#') {
            const std::string digits = name.substr(1);
            if (digits.empty() || digits.size() > 5 ||
                digits.find_first_not_of("0123456789") != std::string::npos ||
                std::stoul(digits) > 0xFFFF) {
                return std::nullopt;
            }
            return directoryOf(types, static_cast<std::uint16_t>(std::stoul(digits)));
        }
        const std::u16string wanted = codec_.toUpperName(name);
        for (const Entry& entry : entries(types)) {
            if (entry.inNamedRange && entry.isName() &&
                storedName(entry.name & ~kHighBit) == wanted) {
                return entry.isDirectory() ? std::optional(entry.offset()) : std::nullopt;
            }
        }
        return std::nullopt;
    }

    // The data entry of the language the system prefers: neutral, the user's, the user's
    // language without its country, English; else the first one there is.
    std::optional<std::uint32_t> languageEntry(std::uint32_t languages) {
        const std::vector<Entry> list = entries(languages);
        const std::uint16_t user = codec_.userLanguage;
        for (const std::uint16_t wanted :
             {std::uint16_t{0}, user, static_cast<std::uint16_t>(user & 0x3FF), kEnglish}) {
            for (const Entry& entry : list) {
                if (!entry.inNamedRange && (entry.name & 0xFFFF) == wanted) {
                    if (!entry.isDirectory()) {
                        return entry.offset();
                    }
                    break;
                }
            }
        }
        for (const Entry& entry : list) {
            if (!entry.isDirectory()) {
                return entry.offset();
            }
        }
        return std::nullopt;
    }

    std::unique_ptr<ByteSource> file_;
    Reader reader_;
    ResourceNameCodec codec_;
    std::vector<Section> sections_;
    std::optional<std::uint64_t> root_;
    // Bytes handed out stay valid while the module is open: each block keeps its place when the
    // list grows.
    std::vector<std::vector<std::uint8_t>> held_;
};

}  // namespace

std::unique_ptr<ResourceModule> openPeResources(std::unique_ptr<ByteSource> file,
                                                ResourceNameCodec codec) {
    if (!file) {
        return nullptr;
    }
    Reader reader(*file);
    const auto mz = reader.u16(0);
    const auto lfanew = reader.u32(0x3C);
    if (!mz || *mz != 0x5A4D || !lfanew) {
        return nullptr;
    }
    const std::uint64_t headers = *lfanew;
    const auto signature = reader.u32(headers);
    if (!signature || *signature != 0x00004550) {
        return nullptr;
    }
    const auto sectionCount = reader.u16(headers + 6);
    const auto optionalSize = reader.u16(headers + 20);
    const std::uint64_t optional = headers + 24;
    const auto magic = reader.u16(optional);
    if (!sectionCount || !optionalSize || !magic) {
        return nullptr;
    }

    std::vector<Section> sections;
    const std::uint64_t table = optional + *optionalSize;
    for (std::uint64_t k = 0; k < *sectionCount; ++k) {
        std::array<std::uint8_t, kSectionSize> bytes{};
        if (!reader.read(table + k * kSectionSize, bytes)) {
            break;
        }
        sections.push_back(
            {le32(bytes.data() + 12), le32(bytes.data() + 16), le32(bytes.data() + 20)});
    }

    // Only the two known layouts say where the resource directory is.
    std::optional<std::uint64_t> root;
    if (*magic == kPe32 || *magic == kPe32Plus) {
        const std::uint64_t countAt = optional + (*magic == kPe32Plus ? 108 : 92);
        const auto directories = reader.u32(countAt);
        const auto rva = reader.u32(countAt + 4 + kResourceDirectory * 8);
        if (directories && *directories > kResourceDirectory && rva && *rva != 0) {
            root = fileOffset(sections, *rva);
        }
    }
    return std::make_unique<PeResources>(std::move(file), std::move(codec), std::move(sections),
                                         root);
}

bool namesItsFile(std::string_view path) {
    const bool full = (path.size() > 2 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
                      path.starts_with("\\\\");
    const std::size_t last = path.find_last_of("\\/");
    const std::size_t dot = path.rfind('.');
    return full && dot != std::string_view::npos && dot > last && dot + 1 < path.size();
}

}  // namespace perchlet
