#include "platform/icon_picture_win32.h"

namespace perchlet::win32 {

namespace {
constexpr DWORD kDestAndNotSource = 0x00220326;  // DSna
}

std::shared_ptr<IconHandle> funcCreateIconPicture(HDC colourSource, HDC maskSource, int width,
                                                  int height) {
    // A bitmap compatible with a fresh memory device context is monochrome: the mask.
    const MemoryDc maskDc(CreateCompatibleDC(nullptr));
    const BitmapHandle mask(maskDc ? CreateCompatibleBitmap(maskDc.get(), width, height) : nullptr);
    if (!mask) {
        return nullptr;
    }
    const MemoryDc colourDc(CreateCompatibleDC(nullptr));
    const BitmapHandle colour(colourDc ? CreateCompatibleBitmap(colourSource, width, height)
                                       : nullptr);
    if (!colour) {
        return nullptr;
    }
    {
        const Selection maskSelected(maskDc.get(), mask.get());
        BitBlt(maskDc.get(), 0, 0, width, height, maskSource, 0, 0, SRCCOPY);
        const Selection colourSelected(colourDc.get(), colour.get());
        BitBlt(colourDc.get(), 0, 0, width, height, colourSource, 0, 0, SRCCOPY);
        // Black where the mask lets the screen through, so transparent pixels are plainly
        // transparent instead of inverting the screen behind them with the background colour.
        SetTextColor(colourDc.get(), RGB(0, 0, 0));
        SetBkColor(colourDc.get(), RGB(255, 255, 255));
        BitBlt(colourDc.get(), 0, 0, width, height, maskDc.get(), 0, 0, kDestAndNotSource);
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
