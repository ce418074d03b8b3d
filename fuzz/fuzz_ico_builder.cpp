// An icon group and image resources of any bytes and sizes, built into an .ico file directly and
// through extraction into a holding file. Input: the group's length (16 bits, little-endian) and
// bytes, then image records to the end: id (16 bits), status (1, 2, 3: not found, load failed,
// lock failed; anything else: found), length (16 bits) and bytes. A later record of the same id
// replaces an earlier one; both lengths are cut short where the input ends.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/errors.h"
#include "fakes.h"
#include "icon_fakes.h"
#include "icons/extraction.h"
#include "icons/ico_builder.h"

#include "fuzz_input.h"

using namespace perchlet;
using testing::Bytes;

namespace {

Bytes bytesOf(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

ResourceStatus statusOf(std::uint8_t code) {
    switch (code) {
        case 1:
            return ResourceStatus::NotFound;
        case 2:
            return ResourceStatus::LoadFailed;
        case 3:
            return ResourceStatus::LockFailed;
        default:
            return ResourceStatus::Found;
    }
}

std::uint16_t u16At(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t u32At(std::span<const std::uint8_t> bytes, std::size_t at) {
    return u16At(bytes, at) | (static_cast<std::uint32_t>(u16At(bytes, at + 2)) << 16);
}

// A built file is a well-formed .ico: the group's header, one directory entry per group entry
// whose offset points at exactly its own image's bytes, the images back to back to the end.
void checkBuiltFile(std::span<const std::uint8_t> group, const IconImageLookup& images,
                    std::span<const std::uint8_t> file) {
    const auto count = static_cast<std::int16_t>(u16At(group, 4));
    FUZZ_CHECK(count > 0);
    std::uint64_t expected = 6 + 16 * static_cast<std::uint64_t>(count);
    FUZZ_CHECK(file.size() >= expected);
    FUZZ_CHECK(std::equal(group.begin(), group.begin() + 6, file.begin()));
    for (std::size_t k = 0; k < static_cast<std::size_t>(count); ++k) {
        const auto entry = file.subspan(6 + 16 * k, 16);
        const auto source = group.subspan(6 + 14 * k, 14);
        FUZZ_CHECK(std::equal(source.begin(), source.begin() + 12, entry.begin()));
        const std::uint32_t length = u32At(entry, 8);
        FUZZ_CHECK(u32At(entry, 12) == expected);
        FUZZ_CHECK(expected + length <= file.size());
        const ResourceBytes image = images(u16At(source, 12));
        FUZZ_CHECK(image.status == ResourceStatus::Found && image.bytes.size() >= length);
        FUZZ_CHECK(std::equal(image.bytes.begin(), image.bytes.begin() + length,
                              file.begin() + static_cast<std::ptrdiff_t>(expected)));
        expected += length;
    }
    FUZZ_CHECK(file.size() == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    testing::FakeModule module;
    module.addGroup("#1", bytesOf(input.take(input.u16())));
    while (!input.empty()) {
        const std::uint16_t id = input.u16();
        const ResourceStatus status = statusOf(input.byte());
        module.addImage(id, bytesOf(input.take(input.u16())), status);
    }
    const Bytes& group = module.resources.at({kResourceTypeGroupIcon, "#1"}).bytes;
    const IconImageLookup images = [&](std::uint16_t id) -> ResourceBytes {
        const auto found = module.resources.find({kResourceTypeIcon, "#" + std::to_string(id)});
        if (found == module.resources.end()) {
            return {};
        }
        return {found->second.status, found->second.bytes};
    };

    IcoBuild build;
    bool overflow = false;
    try {
        build = buildIcoFile(group, images);
    } catch (const RunError& error) {
        FUZZ_CHECK(error.number() == errors::kOverflow);
        overflow = true;
    }
    if (!overflow) {
        FUZZ_CHECK(build.status == IcoBuildStatus::Built || build.file.empty());
        if (build.status == IcoBuildStatus::Built) {
            checkBuiltFile(group, images, build.file);
        }
    }

    // Extraction writes exactly that file, or leaves the holding file alone and says why.
    testing::FakeSystem system;
    system.openLog();
    testing::FakeIconServices icons;
    icons.modules.modules["C:\\Icons.dll"] = module;
    subExtractIcons(system.program, icons.services, "C:\\Icons.dll", "C:\\Data\\1", 0);
    const auto written = icons.holdingFiles.files.find("C:\\Data\\1.ico");
    const bool built = !overflow && build.status == IcoBuildStatus::Built;
    if (built) {
        FUZZ_CHECK(written != icons.holdingFiles.files.end() && written->second == build.file);
    } else {
        FUZZ_CHECK(written == icons.holdingFiles.files.end());
    }
    const bool silent = built || (!overflow && build.status == IcoBuildStatus::Empty);
    FUZZ_CHECK(system.boxes.shown.empty() == silent);
    FUZZ_CHECK(icons.modules.open_ == 0);
    return 0;
}
