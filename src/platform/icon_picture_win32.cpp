#include "platform/icon_picture_win32.h"

#include <algorithm>
#include <vector>

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

namespace {
std::uint32_t little(std::span<const std::uint8_t> bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int k = width - 1; k >= 0; --k) {
        value = (value << 8) | bytes[at + static_cast<std::size_t>(k)];
    }
    return value;
}
}  // namespace

HICON iconFromIcoBytes(std::span<const std::uint8_t> ico, int size) {
    constexpr std::size_t kHeader = 6;
    constexpr std::size_t kFileEntry = 16;
    constexpr std::size_t kGroupEntry = 14;
    if (ico.size() < kHeader) {
        return nullptr;
    }
    const std::size_t count = little(ico, 4, 2);
    if (count == 0 || ico.size() < kHeader + count * kFileEntry) {
        return nullptr;
    }
    // The same directory as a resource group (each entry's last field an id, not an offset),
    // which is what the system's choice reads.
    std::vector<std::uint8_t> group(kHeader + count * kGroupEntry);
    std::copy_n(ico.begin(), kHeader, group.begin());
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t entry = kHeader + k * kGroupEntry;
        std::copy_n(ico.begin() + static_cast<std::ptrdiff_t>(kHeader + k * kFileEntry), 12,
                    group.begin() + static_cast<std::ptrdiff_t>(entry));
        group[entry + 12] = static_cast<std::uint8_t>((k + 1) & 0xFF);
        group[entry + 13] = static_cast<std::uint8_t>((k + 1) >> 8);
    }
    const int id = LookupIconIdFromDirectoryEx(group.data(), TRUE, size, size, LR_DEFAULTCOLOR);
    if (id < 1 || static_cast<std::size_t>(id) > count) {
        return nullptr;
    }
    const std::size_t entry = kHeader + static_cast<std::size_t>(id - 1) * kFileEntry;
    const std::size_t bytes = little(ico, entry + 8, 4);
    const std::size_t offset = little(ico, entry + 12, 4);
    if (offset > ico.size() || bytes > ico.size() - offset || bytes == 0) {
        return nullptr;
    }
    // The system only reads the image; its declaration lacks the const.
    return CreateIconFromResourceEx(const_cast<std::uint8_t*>(ico.data() + offset),
                                    static_cast<DWORD>(bytes), TRUE, 0x00030000, size, size,
                                    LR_DEFAULTCOLOR);
}

}  // namespace perchlet::win32
