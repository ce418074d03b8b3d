#include "platform/last_error_win32.h"

#include <windows.h>

#include <string>

#include "common/errors.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

void raiseLastError() {
    raiseWindowsError(GetLastError());
}

void raiseWindowsError(unsigned long code) {
    wchar_t* text = nullptr;
    FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string description = text != nullptr ? toUtf8(text) : "Unknown error";
    LocalFree(text);
    while (!description.empty() && (description.back() == '\n' || description.back() == '\r' ||
                                    description.back() == ' ' || description.back() == '.')) {
        description.pop_back();
    }
    throw RunError(static_cast<std::int32_t>(code), description);
}

}  // namespace perchlet::win32
