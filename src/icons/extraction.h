#pragma once
// Copies one icon group out of a module's resources into a stand-alone .ico file.
#include <cstdint>
#include <string>

#include "icons/icon_system.h"

namespace perchlet {

class Program;

// The name by which a resource with an integer id is found: "#" and the id in decimal.
std::string funcResourceName(std::uint32_t integerId);

// Writes icon group number intGroupIndex (0 = the first the platform enumerates) of the module
// strSourcePath to strOutputPath, with ".ico" appended unless it already ends so (exactly, in
// lower case). The index equal to the module's group count selects nothing, silently. Every
// failure is reported to the user (run-time errors also to the trace) and leaves the file at
// strOutputPath as it was. True when the file was written: one found there otherwise may be left
// from an earlier run, for another command.
bool subExtractIcons(Program& program, IconServices& services, const std::string& strSourcePath,
                     std::string strOutputPath, std::int32_t intGroupIndex);

}  // namespace perchlet
