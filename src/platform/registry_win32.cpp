#include "platform/registry_win32.h"

#include <windows.h>

#include "platform/handles.h"

namespace perchlet::win32 {

namespace {
HKEY rootKey(RegistryRoot root) {
    return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT;
}
}  // namespace

std::optional<std::string> Win32Registry::readValue(RegistryRoot root, const std::string& subKey,
                                                    const std::string& valueName) const {
    HKEY opened = nullptr;
    if (RegOpenKeyExA(rootKey(root), subKey.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    const RegistryKey key(opened);
    // The size is asked first so that a value of any length is read whole; another program may
    // change the value between the two calls, so a value that grew is asked for again.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = 0;
        if (RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr, nullptr, &size) !=
            ERROR_SUCCESS) {
            return std::nullopt;
        }
        std::string data(size, '\0');
        DWORD read = size;
        const LONG status = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, nullptr,
                                             reinterpret_cast<BYTE*>(data.data()), &read);
        if (status == ERROR_SUCCESS) {
            data.resize(read);
            return data;
        }
        if (status != ERROR_MORE_DATA) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace perchlet::win32
