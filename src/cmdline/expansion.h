#pragma once
#include <string>

namespace perchlet {

class Program;

// Replaces the first %NAME% reference of the text by the variable's value. An undefined or empty
// variable leaves the text whole; a lone percent sign with text after it is reported to the user
// and gives empty text.
std::string subReplaceEnvironmentVars(Program& program, const std::string& strCommand);

}  // namespace perchlet
