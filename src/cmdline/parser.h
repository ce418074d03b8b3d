#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace perchlet {

class Program;

// Splits a command line into command, tooltip and icon (program.strInputFields 1 to 3) and
// expands the command's first %NAME% reference. False when the line was rejected; the user or
// the trace has been told why.
bool subParseInputLine(Program& program, const std::string& strLine);

}  // namespace perchlet
