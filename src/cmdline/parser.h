#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace perchlet {

class Program;

// How often find occurs in text, counting non-overlapping occurrences from the left.
std::int32_t funcCountOccurrences(std::string_view text, std::string_view find);

// Stores value as the next field of the table and removes one pair of enclosing quotes.
// Raises run-time error 9 for a fourth field and 5 for a lone quote.
void subAddField(Program& program, const std::string& value);

// Splits a command line into command, tooltip and icon (program.strInputFields 1 to 3) and
// expands the command's first %NAME% reference. False when the line was rejected; the user or
// the trace has been told why.
bool subParseInputLine(Program& program, const std::string& strLine);

}  // namespace perchlet
