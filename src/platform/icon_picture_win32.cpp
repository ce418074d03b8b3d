#include "platform/icon_picture_win32.h"

namespace perchlet::win32 {

std::shared_ptr<IconHandle> funcCreateIconPicture(HDC colourSource, HDC maskSource, int width,
                                                  int height) {
    // A bitmap compatible with a fresh memory device context is monochrome: the mask.
    const MemoryDc maskDc(CreateCompatibleDC(nullptr));
    const BitmapHandle mask(maskDc ? CreateCompatibleBitmap(maskDc.get(), width, height) : nullptr);
    if (!mask) {
        return nullptr;
    }
    {
        const Selection selected(maskDc.get(), mask.get());
        BitBlt(maskDc.get(), 0, 0, width, height, maskSource, 0, 0, SRCCOPY);
    }

    const MemoryDc colourDc(CreateCompatibleDC(nullptr));
    const BitmapHandle colour(colourDc ? CreateCompatibleBitmap(colourSource, width, height)
                                       : nullptr);
    if (!colour) {
        return nullptr;
    }
    {
        const Selection selected(colourDc.get(), colour.get());
        BitBlt(colourDc.get(), 0, 0, width, height, colourSource, 0, 0, SRCCOPY);
    }

    // Both bitmaps are out of their device contexts again; the icon takes copies of them.
    ICONINFO info{};
    info.fIcon = TRUE;
    info.xHotspot = 1;
    info.yHotspot = 1;
    info.hbmMask = mask.get();
    info.hbmColor = colour.get();
    IconHandle icon(CreateIconIndirect(&info));
    if (!icon) {
        return nullptr;
    }
    return std::make_shared<IconHandle>(std::move(icon));
}

}  // namespace perchlet::win32
