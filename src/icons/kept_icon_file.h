#pragma once
// An icon file kept in memory, so that its pictures can be made again at another size without
// reading the file again: another run may have replaced a holding file of the same name since.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace perchlet {

// A larger icon file is not kept: the picture loaded from it stays as it is. Of a file taken,
// only the images a tray picture can use are kept (see from()).
inline constexpr std::size_t kKeptIconFileLimit = std::size_t{1} << 20;

class KeptIconFile {
public:
    // Nothing when the bytes are no icon file whose every image lies within them. Keeps the
    // images of at most 64 pixels, or the smallest when there is none, and of each size
    // only the one of the most colours.
    static std::optional<KeptIconFile> from(std::vector<std::uint8_t> bytes);

    // The file's directory in the layout of an icon group resource, each image numbered by its
    // place from 1: what the system's choice of an image by size reads.
    std::span<const std::uint8_t> groupDirectory() const { return group_; }
    // The image of that number; empty for a number the directory does not give.
    std::span<const std::uint8_t> image(int id) const;

    bool operator==(const KeptIconFile&) const = default;

private:
    struct Place {
        std::size_t offset;
        std::size_t size;
        bool operator==(const Place&) const = default;
    };
    std::vector<std::uint8_t> bytes_;
    std::vector<std::uint8_t> group_;
    std::vector<Place> images_;
};

}  // namespace perchlet
