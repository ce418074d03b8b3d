#include "platform/tray_pictures_win32.h"

#include "platform/system_library_win32.h"

#include "platform/wide_text.h"
#include "resources/resource_ids.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

namespace {

template <typename Function>
Function userFunction(const char* name) {
    return loadedFunction<Function>(L"user32.dll", name);
}

// 16 at 96 DPI, more at a higher scale: a picture of another size would be stretched. The
// display that holds the task bar may have a scale of its own (Windows 10 1607 and later);
// before, the system's scale is the only one.
SIZE smallIconSize() {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using MetricsForDpi = int(WINAPI*)(int, UINT);
    using WindowContext = DPI_AWARENESS_CONTEXT(WINAPI*)(HWND);
    using ContextAwareness = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
    static const auto dpiForWindow = userFunction<DpiForWindow>("GetDpiForWindow");
    static const auto metricsForDpi = userFunction<MetricsForDpi>("GetSystemMetricsForDpi");
    static const auto windowContext = userFunction<WindowContext>("GetWindowDpiAwarenessContext");
    static const auto awareness =
        userFunction<ContextAwareness>("GetAwarenessFromDpiAwarenessContext");
    SIZE atTaskbar{0, 0};
    const HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    // A task bar unaware of scale is told 96 DPI whatever its display's.
    if (taskbar != nullptr && dpiForWindow != nullptr && metricsForDpi != nullptr &&
        windowContext != nullptr && awareness != nullptr &&
        awareness(windowContext(taskbar)) > DPI_AWARENESS_UNAWARE) {
        if (const UINT dpi = dpiForWindow(taskbar); dpi != 0) {
            atTaskbar = {metricsForDpi(SM_CXSMICON, dpi), metricsForDpi(SM_CYSMICON, dpi)};
        }
    }
    return {trayPictureSide(atTaskbar.cx, GetSystemMetrics(SM_CXSMICON)),
            trayPictureSide(atTaskbar.cy, GetSystemMetrics(SM_CYSMICON))};
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

bool TrayPictures::followScale() {
    const SIZE size = smallIconSize();
    if (size.cx == size_.cx && size.cy == size_.cy) {
        return false;
    }
    size_ = size;
    picDefault_.reset();  // made again at the new size when next wanted
    return true;
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
        cross_ && picture ? createCrossedIcon(picture->get(), cross_->view()) : nullptr;
    return merged ? merged : picture;
}

}  // namespace perchlet::win32
