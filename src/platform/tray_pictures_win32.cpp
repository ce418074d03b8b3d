#include "platform/tray_pictures_win32.h"

#include "platform/wide_text.h"
#include "resources/resource_ids.h"

namespace perchlet::win32 {

namespace {

constexpr int kPictureSize = 16;  // when the system does not tell its small icons' size

// 16 at 96 DPI, more for a program that is aware of a higher DPI: a picture of another size
// would be stretched.
SIZE smallIconSize() {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    return width > 0 && height > 0 ? SIZE{width, height} : SIZE{kPictureSize, kPictureSize};
}

}  // namespace

TrayPictures::TrayPictures(HINSTANCE instance) : instance_(instance), size_(smallIconSize()) {}

Picture TrayPictures::load(const std::string& path) const {
    IconHandle icon(static_cast<HICON>(LoadImageW(nullptr, toWide(path).c_str(), IMAGE_ICON,
                                                  size_.cx, size_.cy, LR_LOADFROMFILE)));
    return icon ? std::make_shared<IconHandle>(std::move(icon)) : nullptr;
}

const Picture& TrayPictures::picDefault() {
    if (!picDefault_) {
        picDefault_ = std::make_shared<IconHandle>(static_cast<HICON>(LoadImageW(
            instance_, MAKEINTRESOURCEW(IDI_DEFAULT), IMAGE_ICON, size_.cx, size_.cy, 0)));
    }
    return picDefault_;
}

Picture TrayPictures::crossed(const Picture& picture) {
    if (!crossRead_) {
        crossRead_ = true;
        // As a section, so that its colours, the grey key above all, read back exactly at any
        // screen depth.
        const BitmapHandle bitmap(static_cast<HBITMAP>(LoadImageW(
            instance_, MAKEINTRESOURCEW(IDB_CROSS), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        if (bitmap) {
            cross_ = readBitmapPixels(bitmap.get());
        }
    }
    // Composed from pixels, so that the cross stays opaque and the picture's transparent parts
    // transparent whatever kind of icon it was.
    Picture merged =
        cross_ && picture ? funcCreateCrossedIcon(picture->get(), cross_->view()) : nullptr;
    return merged ? merged : picture;
}

}  // namespace perchlet::win32
