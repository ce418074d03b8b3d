#pragma once
// Icons built from pixels, and the pixels of bitmaps and icons.
#include <windows.h>

#include <memory>
#include <optional>
#include <vector>

#include "icons/crossed_picture.h"
#include "platform/handles.h"

namespace perchlet::win32 {

// A bitmap's pixels at 32 bits per pixel, rows top-down.
struct BitmapPixels {
    int width = 0;
    int height = 0;
    std::vector<Pixel> pixels;

    PixelView view() const { return {width, height, pixels}; }
};

// Empty when the bitmap cannot be read.
std::optional<BitmapPixels> readBitmapPixels(HBITMAP bitmap);

// An icon of the picture's size from its pixels: a 32-bit colour bitmap with per-pixel alpha
// and the 1-bit mask. Null when the system cannot make the icon. The icon is destroyed with its
// last owner; no bitmap made here outlives the call.
std::shared_ptr<IconHandle> funcCreateIconPicture(const CrossedPicture& picture);

// The icon with the cross laid over it, at the icon's own size. Null when the icon's bitmaps
// cannot be read or the icon cannot be made.
std::shared_ptr<IconHandle> createCrossedIcon(HICON icon, const PixelView& cross);

}  // namespace perchlet::win32
