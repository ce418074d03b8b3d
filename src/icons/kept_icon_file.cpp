#include "icons/kept_icon_file.h"

#include "common/little_endian.h"

namespace perchlet {

namespace {
constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kFileEntryBytes = 16;
constexpr std::size_t kSharedEntryBytes = 12;  // the same in a file and in a group
constexpr int kLargestKeptImage = 64;
}  // namespace

std::optional<KeptIconFile> KeptIconFile::from(std::vector<std::uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes || le16(&bytes[0]) != 0 || le16(&bytes[2]) != 1) {
        return std::nullopt;
    }
    const std::size_t count = le16(&bytes[4]);
    if (count == 0 || bytes.size() < kHeaderBytes + count * kFileEntryBytes) {
        return std::nullopt;
    }
    const auto entryAt = [&](std::size_t n) { return &bytes[kHeaderBytes + n * kFileEntryBytes]; };
    // A tray picture is at most 64 pixels (16 at 400 %): larger images are not kept, unless
    // the file has no other, then only its smallest; of each size, the one of most colours. Width 0
    // stands for 256.
    const auto width = [&](std::size_t n) { return entryAt(n)[0] == 0 ? 256 : entryAt(n)[0]; };
    std::size_t smallest = 0;
    bool anySmall = false;
    for (std::size_t n = 0; n < count; ++n) {
        const std::uint8_t* entry = entryAt(n);
        const std::size_t size = le32(entry + 8);
        const std::size_t offset = le32(entry + 12);
        // The system reads the images unchecked: each must lie whole within the file.
        if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) {
            return std::nullopt;
        }
        anySmall = anySmall || width(n) <= kLargestKeptImage;
        smallest = width(n) < width(smallest) ? n : smallest;
    }
    KeptIconFile kept;
    kept.group_.assign(bytes.begin(), bytes.begin() + kHeaderBytes);
    for (std::size_t n = 0; n < count; ++n) {
        if (anySmall ? width(n) > kLargestKeptImage : n != smallest) {
            continue;
        }
        // Of images of one size, the system takes the one of the most colours (bit count).
        const auto bits = [&](std::size_t k) { return le16(entryAt(k) + 6); };
        bool better = false;
        for (std::size_t k = 0; k < count && !better; ++k) {
            better = k != n && width(k) == width(n) &&
                     (bits(k) > bits(n) || (bits(k) == bits(n) && k < n));
        }
        if (better) {
            continue;
        }
        const std::uint8_t* entry = entryAt(n);
        const std::uint8_t* image = &bytes[le32(entry + 12)];
        kept.images_.push_back({kept.bytes_.size(), le32(entry + 8)});
        kept.bytes_.insert(kept.bytes_.end(), image, image + le32(entry + 8));
        kept.group_.insert(kept.group_.end(), entry, entry + kSharedEntryBytes);
        const std::size_t id = kept.images_.size();
        kept.group_.push_back(static_cast<std::uint8_t>(id));
        kept.group_.push_back(static_cast<std::uint8_t>(id >> 8));
    }
    kept.group_[4] = static_cast<std::uint8_t>(kept.images_.size());
    kept.group_[5] = static_cast<std::uint8_t>(kept.images_.size() >> 8);
    return kept;
}

std::span<const std::uint8_t> KeptIconFile::image(int id) const {
    if (id < 1 || static_cast<std::size_t>(id) > images_.size()) {
        return {};
    }
    const Place& place = images_[static_cast<std::size_t>(id) - 1];
    return std::span<const std::uint8_t>(bytes_).subspan(place.offset, place.size);
}

}  // namespace perchlet
