#pragma once
// The one crossing between the program's UTF-8 text and the system's UTF-16 (wide) text, and
// the ANSI code page of files written before the program held UTF-8.
#include <string>
#include <string_view>

#include "common/unicode.h"

namespace perchlet::win32 {

std::wstring toWide(std::string_view text);
std::string toUtf8(std::wstring_view text);

// The system's ANSI code page (GetACP), for reading old files and continuing an old log.
class Win32AnsiCodePage : public AnsiCodePage {
public:
    std::string toUtf8(std::string_view bytes) const override;
    // Characters the code page cannot hold become '?', never a look-alike.
    static std::string fromUtf8(std::string_view text);
};

}  // namespace perchlet::win32
