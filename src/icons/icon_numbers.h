#pragma once
// The number readings of icon selection.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace perchlet {

// The value of a text that is one number as a whole: blanks around it, an optional sign, digits
// with an optional decimal point and fraction, an optional exponent ("1e3"). Nothing for any
// other text, the empty text included.
std::optional<double> parseWholeNumber(std::string_view text);

// The value of the number at the start of a text: leading blanks skipped, read up to the first
// character that cannot continue it ("5abc" is 5, "1.5e2x" 150). 0 when there is none.
double scanLeadingNumber(std::string_view text);

// Rounded to the nearest whole number, halves to the even one (2.5 gives 2, 3.5 gives 4);
// nothing when the result does not fit in signed 32 bits.
std::optional<std::int32_t> roundToInt32(double value);

// The whole-number format "0": a text that is a number as a whole becomes its value rounded to
// a whole number, halves away from zero (" 5" gives "5", "2.5" gives "3"); any other text stays.
std::string formatWholeNumber(const std::string& text);

}  // namespace perchlet
