#include "platform/environment_win32.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace perchlet::win32 {

std::string Win32Environment::variable(const std::string& name) const {
    const std::wstring wideName = toWide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(),
                                                     static_cast<DWORD>(value.size()));
        if (length == 0) {
            return {};
        }
        if (length < value.size()) {
            value.resize(length);
            return toUtf8(value);
        }
        value.resize(length);  // the size asked for, its NUL included
    }
}

}  // namespace perchlet::win32
