#include "platform/registry_win32.h"

#include <windows.h>

#include <algorithm>

#include "platform/handles.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

namespace {
HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}
}  // namespace

std::optional<std::string> Win32Registry::readValue(RegistryRoot root, const std::string& subKey,
                                                    const std::string& valueName) const {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(rootKey(root), toWide(subKey).c_str(), 0, KEY_READ, &opened) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    const RegistryKey key(opened);
    const std::wstring name = toWide(valueName);
    // The size is asked first so that a value of any length is read whole; another program may
    // change the value between the two calls, so a value that grew is asked for again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        // Sizes are in bytes, and some installers store an odd count (the text and half of its
        // NUL): the buffer takes every byte, and only the whole units are kept.
        std::wstring data((size + 1) / sizeof(wchar_t), L'\0');
        DWORD read = static_cast<DWORD>(data.size() * sizeof(wchar_t));
        const LONG status = RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(data.data()), &read);
        if (status == ERROR_SUCCESS) {
            data.resize(std::min<std::size_t>(read / sizeof(wchar_t), data.size()));
            return toUtf8(data);
        }
        if (status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace perchlet::win32
