#include "icons/crossed_picture.h"

#include <algorithm>
#include <cstddef>

namespace perchlet {

namespace {

// Larger than any icon; keeps every product below in range.
constexpr int kMaxSide = 4096;

constexpr Pixel kOpaque = 0xFF000000;
constexpr Pixel kColourBits = 0x00FFFFFF;

bool validSide(int side) {
    return side > 0 && side <= kMaxSide;
}

std::size_t area(int width, int height) {
    return static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
}

}  // namespace

std::optional<CrossedPicture> composeCrossedPicture(const IconBitmaps& icon,
                                                    const PixelView& cross) {
    const int width = icon.width;
    const int height = icon.height;
    if (!validSide(width) || !validSide(height) || !validSide(cross.width) ||
        !validSide(cross.height) || cross.pixels.size() != area(cross.width, cross.height)) {
        return std::nullopt;
    }
    const bool monochrome = icon.colour.empty();
    if (icon.mask.size() != area(width, monochrome ? 2 * height : height)) {
        return std::nullopt;
    }
    if (!monochrome && icon.colour.size() != area(width, height)) {
        return std::nullopt;
    }
    const bool perPixelAlpha = std::any_of(icon.colour.begin(), icon.colour.end(),
                                           [](Pixel pixel) { return (pixel & kOpaque) != 0; });

    CrossedPicture picture;
    picture.width = width;
    picture.height = height;
    picture.colour.resize(area(width, height));
    const int rowBytes = maskRowBytes(width);
    picture.mask.assign(static_cast<std::size_t>(rowBytes) * static_cast<std::size_t>(height), 0);
    for (int y = 0; y < height; ++y) {
        const Pixel* crossRow = &cross.pixels[area(y * cross.height / height, cross.width)];
        for (int x = 0; x < width; ++x) {
            const std::size_t at = area(y, width) + static_cast<std::size_t>(x);
            const bool masked = (icon.mask[at] & kColourBits) != 0;
            Pixel pixel = 0;  // transparent
            if (monochrome) {
                // Black or white by the XOR mask where the AND mask is clear.
                if (!masked) {
                    pixel = kOpaque | (icon.mask[at + area(height, width)] & kColourBits);
                }
            } else if (perPixelAlpha) {
                pixel = (icon.colour[at] & kOpaque) != 0 ? icon.colour[at] : 0;
            } else if (!masked) {
                pixel = kOpaque | (icon.colour[at] & kColourBits);
            }
            const Pixel over = crossRow[x * cross.width / width] & kColourBits;
            if (over != kCrossKey) {
                pixel = kOpaque | over;
            }
            picture.colour[at] = pixel;
            if ((pixel & kOpaque) == 0) {
                picture.mask[area(y, rowBytes) + static_cast<std::size_t>(x / 8)] |=
                    static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
    }
    return picture;
}

}  // namespace perchlet
