#include "icons/icon_numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace perchlet {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Reads the longest number at `at`, appending a plain form of it ("-12.5e3") to `number`.
// Returns where it ends; `at` itself when no digit was found.
std::size_t readNumber(std::string_view text, std::size_t at, std::string& number) {
    const std::size_t start = at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        number += text[at] == '-' ? "-" : "";
        ++at;
    }
    bool digits = false;
    for (; at < text.size() && isDigit(text[at]); ++at) {
        number += text[at];
        digits = true;
    }
    if (at < text.size() && text[at] == '.') {
        number += '.';
        for (++at; at < text.size() && isDigit(text[at]); ++at) {
            number += text[at];
            digits = true;
        }
    }
    if (!digits) {
        number.clear();
        return start;
    }
    // An exponent counts only when digits follow its letter and sign.
    if (at < text.size() &&
        (text[at] == 'e' || text[at] == 'E' || text[at] == 'd' || text[at] == 'D')) {
        std::size_t exponent = at + 1;
        std::string sign;
        if (exponent < text.size() && (text[exponent] == '+' || text[exponent] == '-')) {
            sign = text[exponent];
            ++exponent;
        }
        if (exponent < text.size() && isDigit(text[exponent])) {
            number += 'e' + sign;
            for (at = exponent; at < text.size() && isDigit(text[at]); ++at) {
                number += text[at];
            }
        }
    }
    return at;
}

std::size_t skipBlanks(std::string_view text, std::size_t at) {
    while (at < text.size() && isBlank(text[at])) {
        ++at;
    }
    return at;
}

// The plain form holds only digits, one sign, one point and an "e", so the C library reads it
// the same in every locale that keeps "." as the decimal point (the program sets no locale).
double valueOf(const std::string& number) {
    return std::strtod(number.c_str(), nullptr);
}

}  // namespace

std::optional<double> parseWholeNumber(std::string_view text) {
    std::string number;
    const std::size_t start = skipBlanks(text, 0);
    const std::size_t end = readNumber(text, start, number);
    if (end == start || skipBlanks(text, end) != text.size()) {
        return std::nullopt;
    }
    return valueOf(number);
}

double scanLeadingNumber(std::string_view text) {
    std::string number;
    const std::size_t start = skipBlanks(text, 0);
    if (readNumber(text, start, number) == start) {
        return 0;
    }
    return valueOf(number);
}

std::optional<std::int32_t> roundToInt32(double value) {
    if (std::isnan(value)) {
        return std::nullopt;
    }
    const double below = std::floor(value);
    const double fraction = value - below;
    double rounded = below;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(below, 2.0) != 0.0)) {
        rounded = below + 1;
    }
    if (rounded < std::numeric_limits<std::int32_t>::min() ||
        rounded > std::numeric_limits<std::int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int32_t>(rounded);
}

std::string formatWholeNumber(const std::string& text) {
    const auto value = parseWholeNumber(text);
    if (!value || !std::isfinite(*value)) {
        return text;
    }
    char digits[400];
    std::snprintf(digits, sizeof digits, "%.0f", std::round(*value));
    return std::string(digits) == "-0" ? "0" : digits;
}

}  // namespace perchlet
