#include "platform/tray_pictures_win32.h"

#include "platform/system_library_win32.h"

#include <cstdint>
#include <vector>

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

// The whole file when it holds at most `limit` bytes; nothing when it is larger or cannot be
// read. Shared for deleting too, so that another run can replace it meanwhile.
std::optional<std::vector<std::uint8_t>> readSmallFile(const std::string& path, std::size_t limit) {
    const FileHandle file(CreateFileW(toWide(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart < 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > limit) {
        return std::nullopt;
    }
    // One byte more than the size: a file that grew since is seen as too large.
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size.QuadPart) + 1);
    std::size_t had = 0;
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), bytes.data() + had, static_cast<DWORD>(bytes.size() - had), &read,
                      nullptr)) {
            return std::nullopt;
        }
        if (read == 0) {
            break;
        }
        had += read;
        if (had == bytes.size()) {
            return std::nullopt;
        }
    }
    bytes.resize(had);
    return bytes;
}

}  // namespace

TrayPictures::TrayPictures(HINSTANCE instance) : instance_(instance), size_(smallIconSize()) {}

TrayPictures::Loaded TrayPictures::load(const std::string& path) {
    if (auto bytes = readSmallFile(path, kKeptIconFileLimit)) {
        if (auto file = KeptIconFile::from(std::move(*bytes))) {
            if (Picture picture = make(*file)) {
                return {std::move(picture), keep(std::move(*file))};
            }
        }
    }
    // Too large to keep, or a file only the system's own loader makes sense of: loaded as
    // before, and its picture kept as it is.
    IconHandle icon(static_cast<HICON>(LoadImageW(nullptr, toWide(path).c_str(), IMAGE_ICON,
                                                  size_.cx, size_.cy, LR_LOADFROMFILE)));
    return {icon ? std::make_shared<IconHandle>(std::move(icon)) : nullptr, nullptr};
}

std::shared_ptr<const KeptIconFile> TrayPictures::keep(KeptIconFile file) {
    // Many entries show one icon (documents of one type, one program's): one copy serves them.
    std::erase_if(kept_, [](const auto& kept) { return kept.expired(); });
    for (const auto& kept : kept_) {
        if (auto same = kept.lock(); same && *same == file) {
            return same;
        }
    }
    auto shared = std::make_shared<const KeptIconFile>(std::move(file));
    kept_.push_back(shared);
    return shared;
}

Picture TrayPictures::make(const KeptIconFile& file) const {
    // The image the system would choose loading the file itself. It reads the directory
    // unchecked, and only reads it: KeptIconFile has checked every entry.
    auto* directory = const_cast<BYTE*>(file.groupDirectory().data());
    const auto image =
        file.image(LookupIconIdFromDirectoryEx(directory, TRUE, size_.cx, size_.cy, 0));
    if (image.empty()) {
        return nullptr;
    }
    // The call wants its bits DWORD-aligned; an image may start anywhere in the file.
    std::vector<BYTE> aligned(image.begin(), image.end());
    IconHandle icon(CreateIconFromResourceEx(aligned.data(), static_cast<DWORD>(aligned.size()),
                                             TRUE, 0x00030000, size_.cx, size_.cy, 0));
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
