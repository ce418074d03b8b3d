#include "icons/ico_builder.h"

#include <limits>

#include "common/errors.h"
#include "common/little_endian.h"

namespace perchlet {

namespace {

constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kGroupEntryBytes = 14;
constexpr std::size_t kFileEntryBytes = 16;
constexpr std::size_t kCopiedEntryBytes = 12;  // everything before the image id

std::uint16_t readU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return le16(bytes.subspan(at, 2).data());
}

std::uint32_t readU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return le32(bytes.subspan(at, 4).data());
}

void appendU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

// The products of the count are formed in 16 bits, the offsets in 32, as the records' fields
// are; a larger result is an overflow rather than a silently wrapped layout.
std::int32_t checkedInt16(std::int32_t value) {
    if (value > std::numeric_limits<std::int16_t>::max()) {
        throw errors::overflow();
    }
    return value;
}

struct Entry {
    std::size_t at;  // where the entry starts in the group
    std::uint32_t bytesInResource;
    std::uint16_t imageId;
    std::int32_t offset;
    std::span<const std::uint8_t> image;
};

IcoBuildStatus failureOf(ResourceStatus status) {
    switch (status) {
        case ResourceStatus::NotFound:
            return IcoBuildStatus::ImageNotFound;
        case ResourceStatus::LoadFailed:
            return IcoBuildStatus::ImageLoadFailed;
        case ResourceStatus::LockFailed:
            return IcoBuildStatus::ImageLockFailed;
        case ResourceStatus::Found:
            break;
    }
    return IcoBuildStatus::Built;
}

// The header, each entry as the group holds it but with the image's offset in the file instead
// of its id, then the images in the same order.
std::vector<std::uint8_t> writeIcoFile(std::span<const std::uint8_t> group,
                                       const std::vector<Entry>& entries, std::size_t fileBytes) {
    std::vector<std::uint8_t> file;
    file.reserve(fileBytes);
    file.insert(file.end(), group.begin(), group.begin() + kHeaderBytes);
    for (const Entry& entry : entries) {
        const auto copied = group.subspan(entry.at, kCopiedEntryBytes);
        file.insert(file.end(), copied.begin(), copied.end());
        appendU32(file, static_cast<std::uint32_t>(entry.offset));
    }
    for (const Entry& entry : entries) {
        file.insert(file.end(), entry.image.begin(), entry.image.end());
    }
    return file;
}

}  // namespace

IcoBuild buildIcoFile(std::span<const std::uint8_t> group, const IconImageLookup& images) {
    IcoBuild result;
    if (group.size() < kHeaderBytes) {
        result.status = IcoBuildStatus::GroupDamaged;
        return result;
    }
    if (readU16(group, 0) != 0 || readU16(group, 2) != 1) {
        // Not an icon group (a cursor's, or garbage): copied as read it would make a file that
        // no reader takes for an icon.
        result.status = IcoBuildStatus::GroupDamaged;
        return result;
    }
    const auto count = static_cast<std::int16_t>(readU16(group, 4));
    if (count <= 0) {
        result.status = IcoBuildStatus::Empty;
        return result;
    }
    const auto entryBytes = static_cast<std::size_t>(checkedInt16(count * 14));
    if (group.size() < kHeaderBytes + entryBytes) {
        result.status = IcoBuildStatus::GroupDamaged;
        return result;
    }

    std::vector<Entry> entries(static_cast<std::size_t>(count));
    std::int64_t offset = checkedInt16(count * 16 + 6);
    for (std::size_t k = 0; k < entries.size(); ++k) {
        if (offset > std::numeric_limits<std::int32_t>::max()) {
            throw errors::overflow();
        }
        Entry& entry = entries[k];
        entry.at = kHeaderBytes + k * kGroupEntryBytes;
        entry.bytesInResource = readU32(group, entry.at + 8);
        entry.imageId = readU16(group, entry.at + 12);
        entry.offset = static_cast<std::int32_t>(offset);
        offset += entry.bytesInResource;
    }

    // Every image is in hand before anything is written, and none is read past its resource.
    std::size_t fileBytes = kHeaderBytes + entries.size() * kFileEntryBytes;
    for (Entry& entry : entries) {
        const ResourceBytes image = images(entry.imageId);
        if (image.status != ResourceStatus::Found) {
            result.status = failureOf(image.status);
            result.failedImageId = entry.imageId;
            return result;
        }
        if (image.bytes.size() < entry.bytesInResource) {
            result.status = IcoBuildStatus::ImageDamaged;
            result.failedImageId = entry.imageId;
            return result;
        }
        entry.image = image.bytes.first(entry.bytesInResource);
        fileBytes += entry.bytesInResource;
    }

    result.file = writeIcoFile(group, entries, fileBytes);
    result.status = IcoBuildStatus::Built;
    return result;
}

}  // namespace perchlet
