#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace perchlet {

class Program;

// The three fields of a command line.
struct InputFields {
    std::string strCommand;
    std::string strToolTip;
    std::string strIconSpec;
    // The command as written, before expansion: what names its icon to the shell run after run,
    // whatever the variables hold ("": the same as strCommand).
    std::string strWritten = {};
};

// Splits a command line into command, tooltip and icon and expands the command's first %NAME%
// reference. None when the line was rejected; the user or the trace has been told why.
std::optional<InputFields> subParseInputLine(Program& program, const std::string& strLine);

}  // namespace perchlet
