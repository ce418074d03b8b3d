#include "icons/kept_icon_file.h"

#include "common/little_endian.h"

namespace perchlet {

namespace {
constexpr std::size_t kHeaderBytes = 6;
constexpr std::size_t kFileEntryBytes = 16;
constexpr std::size_t kSharedEntryBytes = 12;  // the same in a file and in a group
}  // namespace

std::optional<KeptIconFile> KeptIconFile::from(std::vector<std::uint8_t> bytes) {
    if (bytes.size() < kHeaderBytes || le16(&bytes[0]) != 0 || le16(&bytes[2]) != 1) {
        return std::nullopt;
    }
    const std::size_t count = le16(&bytes[4]);
    if (count == 0 || bytes.size() < kHeaderBytes + count * kFileEntryBytes) {
        return std::nullopt;
    }
    KeptIconFile kept;
    kept.group_.assign(bytes.begin(), bytes.begin() + kHeaderBytes);
    for (std::size_t n = 0; n < count; ++n) {
        const std::uint8_t* entry = &bytes[kHeaderBytes + n * kFileEntryBytes];
        const std::size_t size = le32(entry + 8);
        const std::size_t offset = le32(entry + 12);
        // The system reads the images unchecked: each must lie whole within the file.
        if (size == 0 || offset > bytes.size() || size > bytes.size() - offset) {
            return std::nullopt;
        }
        kept.images_.push_back({offset, size});
        kept.group_.insert(kept.group_.end(), entry, entry + kSharedEntryBytes);
        const std::size_t id = n + 1;
        kept.group_.push_back(static_cast<std::uint8_t>(id));
        kept.group_.push_back(static_cast<std::uint8_t>(id >> 8));
    }
    kept.bytes_ = std::move(bytes);
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
