#pragma once
// Text helpers. Text is held in UTF-8 (common/unicode.h): every delimiter the program looks for
// is ASCII, which UTF-8 never uses inside a character, so byte positions find the same places
// character positions would. Letter case changes for ASCII letters only, never inside a
// character.
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
