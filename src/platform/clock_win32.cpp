#include "platform/clock_win32.h"

#include <windows.h>

#include "platform/wide_text.h"

namespace perchlet::win32 {

LocalTime Win32Clock::now() const {
    SYSTEMTIME time;
    GetLocalTime(&time);
    return {time.wYear, time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond};
}

namespace {
std::string localeText(LCTYPE item, const char* fallback) {
    wchar_t buffer[16];  // the separators hold at most four characters and their NUL
    return GetLocaleInfoW(LOCALE_USER_DEFAULT, item, buffer, 16) > 1 ? toUtf8(buffer) : fallback;
}
}  // namespace

std::string Win32Clock::dateSeparator() const {
    return localeText(LOCALE_SDATE, "/");
}
std::string Win32Clock::timeSeparator() const {
    return localeText(LOCALE_STIME, ":");
}

}  // namespace perchlet::win32
