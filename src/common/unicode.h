#pragma once
// The program's text is UTF-8; the system's is UTF-16. UTF-8 never puts an ASCII byte inside a
// multi-byte character, so searching the text byte-wise for ASCII delimiters finds only them.
#include <cstddef>
#include <string>
#include <string_view>

namespace perchlet {

inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// Each invalid sequence becomes U+FFFD; a lone surrogate from UTF-16 does too.
std::u16string utf16FromUtf8(std::string_view text);
// The same in the system's own UTF-16 unit (wchar_t on Windows), made in place.
std::wstring wideFromUtf8(std::string_view text);
std::string utf8FromUtf16(std::u16string_view text);

// The length of the longest start of `text` that takes at most `units` UTF-16 code units and
// ends between two whole characters.
std::size_t utf16UnitsCut(std::u16string_view text, std::size_t units);

// Turns the bytes of a text file in the system's ANSI code page into UTF-8.
class AnsiCodePage {
public:
    virtual ~AnsiCodePage() = default;
    virtual std::string toUtf8(std::string_view bytes) const = 0;
};

// A text file's bytes as UTF-8 without a byte-order mark: a UTF-8 or UTF-16 (LE or BE) mark
// says what the file is; without one, text that is valid UTF-8 is taken as such and anything
// else is in the ANSI code page, as files were written before.
std::string decodeTextFile(std::string_view bytes, const AnsiCodePage& ansi);

}  // namespace perchlet
