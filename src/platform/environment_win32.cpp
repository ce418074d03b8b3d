#include "platform/environment_win32.h"

#include <windows.h>

namespace perchlet::win32 {

std::string Win32Environment::variable(const std::string& name) const {
    std::string value(256, '\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableA(name.c_str(), value.data(), static_cast<DWORD>(value.size()));
        if (length == 0) {
            return {};
        }
        if (length < value.size()) {
            value.resize(length);
            return value;
        }
        value.resize(length);
    }
}

}  // namespace perchlet::win32
