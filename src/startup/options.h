#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace perchlet {

class Program;

// Splits one line of the options file into its items: an item ends at a comma or at the end of
// the line, and blanks before it are skipped. An item that begins with a double quote runs to
// the next quote (or the end of the line), keeps its commas and loses its quotes; anything
// between its closing quote and the next comma is dropped. Blanks after an unquoted item are
// dropped too, so "CLICKMODE=SINGLE " still reads SINGLE. A quote inside an unquoted item is an
// ordinary character.
std::vector<std::string> splitOptionItems(std::string_view line);

// Reads "Perchlet.ini" beside the executable into program.options, tracing every setting.
// True when the file was found and read to its end.
bool funcReadOptions(Program& program);

}  // namespace perchlet
