#include "platform/wide_text.h"

#include <windows.h>

namespace perchlet::win32 {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wide text is UTF-16");

std::wstring toWide(std::string_view text) {
    return wideFromUtf8(text);
}

std::string toUtf8(std::wstring_view text) {
    return utf8FromUtf16(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}

std::string Win32AnsiCodePage::toUtf8(std::string_view bytes) const {
    const int length = static_cast<int>(bytes.size());
    if (length == 0) {
        return {};
    }
    // Without MB_ERR_INVALID_CHARS: a byte the code page does not map becomes its default
    // character rather than failing the whole text.
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, nullptr, 0);
    if (units <= 0) {
        return std::string(bytes.size(), '?');
    }
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), length, wide.data(), units);
    return win32::toUtf8(wide);
}

std::string Win32AnsiCodePage::fromUtf8(std::string_view text) {
    const std::wstring wide = toWide(text);
    const int units = static_cast<int>(wide.size());
    if (units == 0) {
        return {};
    }
    // A UTF-8 system code page takes neither flag nor default character, and needs neither.
    const bool utf8 = GetACP() == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    const char* fallback = utf8 ? nullptr : "?";
    const int length =
        WideCharToMultiByte(CP_ACP, flags, wide.data(), units, nullptr, 0, fallback, nullptr);
    if (length <= 0) {
        return std::string(wide.size(), '?');
    }
    std::string bytes(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, flags, wide.data(), units, bytes.data(), length, fallback, nullptr);
    return bytes;
}

}  // namespace perchlet::win32
