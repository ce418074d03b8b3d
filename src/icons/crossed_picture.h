#pragma once
// The crossed picture shown during the exit fade, composed pixel by pixel from the tray icon's
// bitmaps and the cross. Every pixel of the result has a defined alpha, so an icon made of it
// shows the cross opaque and the icon's transparent parts transparent whatever kind of icon it
// was made from (per-pixel alpha, 256 colours with a mask, or monochrome).
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace perchlet {

// A pixel as a 32-bit DIB holds it: 0xAARRGGBB, blue in the lowest byte.
using Pixel = std::uint32_t;

// The cross's grey, which is left out when the cross is laid over an icon.
constexpr Pixel kCrossKey = 0x808080;

// Rows of pixels, top-down, width x height of them.
struct PixelView {
    int width = 0;
    int height = 0;
    std::span<const Pixel> pixels;
};

// An icon's bitmaps as read at 32 bits per pixel, rows top-down.
struct IconBitmaps {
    int width = 0;
    int height = 0;
    // width x height; empty for a monochrome icon, which has no colour bitmap.
    std::span<const Pixel> colour;
    // The AND mask, black where the colour shows: width x height, or for a monochrome icon
    // width x (2 x height), the AND mask above the XOR mask.
    std::span<const Pixel> mask;
};

struct CrossedPicture {
    int width = 0;
    int height = 0;
    // width x height, rows top-down, straight (not premultiplied) alpha.
    std::vector<Pixel> colour;
    // One bit a pixel, most significant first, set where the picture is transparent; rows
    // top-down, each padded to a multiple of 16 bits as a monochrome bitmap's bits are.
    std::vector<std::uint8_t> mask;
};

// Bytes of one mask row of CrossedPicture.
constexpr int maskRowBytes(int width) {
    return (width + 15) / 16 * 2;
}

// The icon with the cross over it, at the icon's size; the cross is scaled to it by nearest
// neighbour, so its key colour stays exact. A colour bitmap with any alpha is taken as per-pixel
// alpha (its mask is not used, as the system does when it draws such an icon); otherwise the
// mask decides, and pixels it lets through (transparent or inverting ones) become transparent.
// Cross pixels are opaque. Empty when the sizes given do not fit together.
std::optional<CrossedPicture> composeCrossedPicture(const IconBitmaps& icon,
                                                    const PixelView& cross);

}  // namespace perchlet
