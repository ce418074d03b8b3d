#pragma once
#include <string>
#include <string_view>

namespace perchlet {

class Environment;
class Program;

// Replaces the first %NAME% reference of the text by the variable's value. An undefined or empty
// variable leaves the text whole; a lone percent sign with text after it is reported to the user
// and gives empty text.
std::string subReplaceEnvironmentVars(Program& program, const std::string& strCommand);

// Every %NAME% reference to a set variable replaced by its value, as the system expands a
// registry value: a name that is not set stays as written, percent signs and all, and the scan
// goes on after it; a lone percent sign stays. Values are not scanned again. A variable set to
// empty text counts as not set (the environment cannot tell them apart).
std::string expandEnvironmentStrings(const Environment& environment, std::string_view text);

}  // namespace perchlet
