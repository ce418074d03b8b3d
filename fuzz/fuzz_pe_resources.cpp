// Any bytes as a module's file: its icon groups are listed and each is looked up, with a few fixed
// names and types besides. Reads must stay inside the file, and found bytes must be the file's
// own, still readable when the module is done with.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "icons/icon_system.h"
#include "icons/pe_resources.h"

#include "fuzz_input.h"
#include "icon_fakes.h"

using namespace perchlet;

namespace {

class MemorySource : public ByteSource {
public:
    explicit MemorySource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    bool read(std::uint64_t offset, std::span<std::uint8_t> into) override {
        FUZZ_CHECK(offset <= bytes_.size() && into.size() <= bytes_.size() - offset);
        std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), into.size(),
                    into.begin());
        return true;
    }

private:
    std::span<const std::uint8_t> bytes_;
};

// Found bytes are a run of the file's bytes; anything else is a span of nothing.
void checkFound(const ResourceBytes& found, std::span<const std::uint8_t> file) {
    if (found.status != ResourceStatus::Found) {
        FUZZ_CHECK(found.bytes.empty());
        return;
    }
    FUZZ_CHECK(found.bytes.size() <= file.size());
    if (!found.bytes.empty()) {
        FUZZ_CHECK(std::search(file.begin(), file.end(),
                               std::boyer_moore_horspool_searcher(
                                   found.bytes.begin(), found.bytes.end())) != file.end());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> file(data, size);
    const auto module =
        openPeResources(std::make_unique<MemorySource>(file), testing::asciiCodec());
    if (!module) {
        return 0;
    }
    const std::vector<std::string> names = module->iconGroupNames();
    FUZZ_CHECK(module->iconGroupNames() == names);
    std::vector<ResourceBytes> found;
    for (const std::string& name : names) {
        FUZZ_CHECK(!name.empty());
        found.push_back(module->find(name, kResourceTypeGroupIcon));
    }
    for (const char* name : {"#1", "#0", "#65535", "#65536", "#", "A", "", "#1x"}) {
        for (const std::uint16_t type : {3, 14, 0, 24}) {
            found.push_back(module->find(name, type));
        }
    }
    // Every span handed out is still the file's bytes after the later look-ups.
    for (const ResourceBytes& bytes : found) {
        checkFound(bytes, file);
    }
    return 0;
}
