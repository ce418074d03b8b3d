#pragma once
// Text helpers. Text is held in the system's ANSI code page, as it crosses to files and to the
// system; every delimiter the program looks for is ASCII and never a DBCS trail byte, so byte
// positions find the same places the character positions of the design do.
#include <string>
#include <string_view>

namespace perchlet {

std::string toUpper(std::string_view text);
std::string toLower(std::string_view text);
bool startsWith(std::string_view text, std::string_view prefix);
bool endsWith(std::string_view text, std::string_view suffix);
// Removes leading and trailing blanks (code 32 only).
std::string_view trimBlanks(std::string_view text);

}  // namespace perchlet
