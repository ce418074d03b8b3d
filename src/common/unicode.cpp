#include "common/unicode.h"

#include <cstdint>

namespace perchlet {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// The character at the start of `text` and its length in bytes; length 0 for a byte that
// starts no valid sequence (overlong forms, surrogates and values past U+10FFFF included).
struct Decoded {
    char32_t value;
    std::size_t length;
};

Decoded decodeOne(std::string_view text) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
    const std::uint8_t lead = byte(0);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return {kReplacement, 0};
    }
    if (text.size() < length) {
        return {kReplacement, 0};
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) {
            return {kReplacement, 0};
        }
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {kReplacement, 0};
    }
    return {value, length};
}

void appendUtf8(std::string& out, char32_t value) {
    if (value < 0x80) {
        out += static_cast<char>(value);
    } else if (value < 0x800) {
        out += static_cast<char>(0xC0 | (value >> 6));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else if (value < 0x10000) {
        out += static_cast<char>(0xE0 | (value >> 12));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (value >> 18));
        out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (value & 0x3F));
    }
}

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-8 with each invalid byte replaced.
std::string repairedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Decoded decoded = decodeOne(text);
        appendUtf8(out, decoded.value);
        text.remove_prefix(decoded.length == 0 ? 1 : decoded.length);
    }
    return out;
}

std::string utf8FromUtf16Bytes(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        const auto first = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto second = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
    }
    std::string text = utf8FromUtf16(units);
    if (bytes.size() % 2 != 0) {
        appendUtf8(text, kReplacement);  // half a unit at the end
    }
    return text;
}

bool isValidUtf8(std::string_view text) {
    while (!text.empty()) {
        const Decoded decoded = decodeOne(text);
        if (decoded.length == 0) {
            return false;
        }
        text.remove_prefix(decoded.length);
    }
    return true;
}

template <typename Unit>
std::basic_string<Unit> utf16In(std::string_view text) {
    std::basic_string<Unit> out;
    out.reserve(text.size());
    while (!text.empty()) {
        const Decoded decoded = decodeOne(text);
        if (decoded.value >= 0x10000) {
            out += static_cast<Unit>(0xD800 + ((decoded.value - 0x10000) >> 10));
            out += static_cast<Unit>(0xDC00 + ((decoded.value - 0x10000) & 0x3FF));
        } else {
            out += static_cast<Unit>(decoded.value);
        }
        text.remove_prefix(decoded.length == 0 ? 1 : decoded.length);
    }
    return out;
}

}  // namespace

std::u16string utf16FromUtf8(std::string_view text) {
    return utf16In<char16_t>(text);
}

std::wstring wideFromUtf8(std::string_view text) {
    return utf16In<wchar_t>(text);
}

std::string utf8FromUtf16(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t value = text[i];
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            value = 0x10000 + ((value - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            value = kReplacement;
        }
        appendUtf8(out, value);
    }
    return out;
}

std::size_t utf16UnitsCut(std::u16string_view text, std::size_t units) {
    if (text.size() <= units) {
        return text.size();
    }
    // Never the first half of a surrogate pair without its second.
    return units > 0 && isHighSurrogate(text[units - 1]) && isLowSurrogate(text[units]) ? units - 1
                                                                                        : units;
}

std::string decodeTextFile(std::string_view bytes, const AnsiCodePage& ansi) {
    if (bytes.starts_with(kUtf8ByteOrderMark)) {
        return repairedUtf8(bytes.substr(kUtf8ByteOrderMark.size()));
    }
    if (bytes.starts_with("\xFF\xFE")) {
        return utf8FromUtf16Bytes(bytes.substr(2), false);
    }
    if (bytes.starts_with("\xFE\xFF")) {
        return utf8FromUtf16Bytes(bytes.substr(2), true);
    }
    if (isValidUtf8(bytes)) {
        return std::string(bytes);
    }
    return ansi.toUtf8(bytes);
}

}  // namespace perchlet
