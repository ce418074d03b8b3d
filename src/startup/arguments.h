#pragma once
#include <string_view>

namespace perchlet {

// The arguments part of a raw command line: after the program's name (quoted or not) and the
// one blank that separates it, so blanks the user typed before the arguments stay.
std::string_view argumentsOf(std::string_view commandLine);

}  // namespace perchlet
