#pragma once
// Copies one icon group out of a module's resources into a stand-alone .ico file.
#include <cstdint>
#include <string>

#include "icons/icon_system.h"

namespace perchlet {

class Program;

// The name by which a resource with an integer id is found: "#" and the id in decimal.
std::string funcResourceName(std::uint32_t integerId);

// Where the system keeps the resources of one of its own modules since Windows 10 1903:
// strSystemRoot\SystemResources\<file name>.mun, for a module named by its file name alone (found
// in System32) or lying directly in strSystemRoot or its System32, SysWOW64 or Sysnative folder.
// Folders compare in any letter case, with "/" or "\". "" for any other module, or when
// strSystemRoot is empty.
std::string funcCompanionModulePath(const std::string& strModulePath,
                                    const std::string& strSystemRoot);

// Writes icon group number intGroupIndex (0 = the first the platform enumerates) of the module
// strSourcePath to strOutputPath, with ".ico" appended unless it already ends so (exactly, in
// lower case). With blnResourceId, intGroupIndex is the resource id of the group instead, and a
// module without a group of that id is treated as an index beyond the last group. A module that
// holds no icon group is read through its companion (funcCompanionModulePath, with the
// environment's SystemRoot) when that holds one, as the system's resource loader does; every text
// names strSourcePath all the same. The index equal to the module's group count selects nothing,
// silently. Every failure is reported to the user (run-time errors also to the trace) and leaves
// the file at strOutputPath as it was. True when the file was written: one found there otherwise
// may be left from an earlier run, for another command.
bool subExtractIcons(Program& program, IconServices& services, const std::string& strSourcePath,
                     std::string strOutputPath, std::int32_t intGroupIndex,
                     bool blnResourceId = false);

}  // namespace perchlet
