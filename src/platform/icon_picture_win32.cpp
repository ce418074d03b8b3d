#include "platform/icon_picture_win32.h"

#include <algorithm>
#include <cstddef>

namespace perchlet::win32 {

namespace {

BITMAPINFO pixelFormat(int width, int height) {
    BITMAPINFO format{};
    format.bmiHeader.biSize = sizeof format.bmiHeader;
    format.bmiHeader.biWidth = width;
    format.bmiHeader.biHeight = height;  // negative: rows top-down
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    return format;
}

}  // namespace

std::optional<BitmapPixels> readBitmapPixels(HBITMAP bitmap) {
    BITMAP size{};
    if (bitmap == nullptr || GetObjectW(bitmap, sizeof size, &size) == 0 || size.bmWidth <= 0 ||
        size.bmHeight <= 0) {
        return std::nullopt;
    }
    BitmapPixels read;
    read.width = size.bmWidth;
    read.height = size.bmHeight;
    read.pixels.resize(static_cast<std::size_t>(read.width) *
                       static_cast<std::size_t>(read.height));
    BITMAPINFO format = pixelFormat(read.width, -read.height);
    const ScreenDc screen;
    // A monochrome bitmap reads back black and white; any other gets its colours exactly when
    // it holds 24 or 32 bits a pixel.
    if (screen.get() == nullptr ||
        GetDIBits(screen.get(), bitmap, 0, static_cast<UINT>(read.height), read.pixels.data(),
                  &format, DIB_RGB_COLORS) != read.height) {
        return std::nullopt;
    }
    return read;
}

std::shared_ptr<IconHandle> funcCreateIconPicture(const CrossedPicture& picture) {
    const int width = picture.width;
    const int height = picture.height;
    BITMAPINFO format = pixelFormat(width, height);
    void* bits = nullptr;
    const BitmapHandle colour(
        CreateDIBSection(nullptr, &format, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!colour || bits == nullptr) {
        return nullptr;
    }
    // The section's rows are bottom-up.
    auto* rows = static_cast<Pixel*>(bits);
    for (int y = 0; y < height; ++y) {
        const auto from = picture.colour.begin() + static_cast<std::ptrdiff_t>(y) * width;
        std::copy(from, from + width, rows + static_cast<std::ptrdiff_t>(height - 1 - y) * width);
    }
    const BitmapHandle mask(CreateBitmap(width, height, 1, 1, picture.mask.data()));
    if (!mask) {
        return nullptr;
    }
    // The icon takes copies of both bitmaps. With alpha in its colour bitmap the system draws
    // it by that alpha; the mask serves what draws icons without it.
    ICONINFO info{};
    info.fIcon = TRUE;
    info.hbmMask = mask.get();
    info.hbmColor = colour.get();
    IconHandle icon(CreateIconIndirect(&info));
    if (!icon) {
        return nullptr;
    }
    return std::make_shared<IconHandle>(std::move(icon));
}

std::shared_ptr<IconHandle> createCrossedIcon(HICON icon, const PixelView& cross) {
    ICONINFO info{};
    if (icon == nullptr || !GetIconInfo(icon, &info)) {
        return nullptr;
    }
    // Copies that are ours to delete. A monochrome icon has no colour bitmap, and a mask of
    // twice its height: the AND mask above the XOR mask.
    const BitmapHandle mask(info.hbmMask);
    const BitmapHandle colour(info.hbmColor);
    const auto maskPixels = readBitmapPixels(mask.get());
    if (!maskPixels) {
        return nullptr;
    }
    std::optional<BitmapPixels> colourPixels;
    if (colour) {
        colourPixels = readBitmapPixels(colour.get());
        if (!colourPixels || colourPixels->width != maskPixels->width ||
            colourPixels->height != maskPixels->height) {
            return nullptr;
        }
    }
    IconBitmaps bitmaps;
    bitmaps.width = maskPixels->width;
    bitmaps.height = colourPixels ? maskPixels->height : maskPixels->height / 2;
    if (colourPixels) {
        bitmaps.colour = colourPixels->pixels;
    }
    bitmaps.mask = maskPixels->pixels;
    const auto picture = composeCrossedPicture(bitmaps, cross);
    return picture ? funcCreateIconPicture(*picture) : nullptr;
}

}  // namespace perchlet::win32
