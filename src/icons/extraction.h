#pragma once
// Copies one icon group out of a module's resources into a stand-alone .ico file.
#include <cstdint>
#include <string>
#include <string_view>

#include "icons/icon_system.h"

namespace perchlet {

class Program;

// Where the system keeps the resources of one of its own modules since Windows 10 1903:
// systemRoot\SystemResources\<file name>.mun, for a module named by its file name alone (found
// in System32) or lying directly in systemRoot or its System32, SysWOW64 or Sysnative folder.
// Folders compare in any letter case, with "/" or "\". "" for any other module, or when
// systemRoot is empty.
std::string companionModulePath(const std::string& modulePath, const std::string& systemRoot);

// The file name under which a module named by its file name alone is looked for in the system
// folders, and only there: the loader's name for it, ".dll" added when it has no extension at
// all. "" for a name with a folder, a drive or a stream (any "\", "/" or ":").
std::string systemModuleFileName(std::string_view modulePath);

// Writes icon group number groupIndex (0 = the first the platform enumerates) of the module
// sourcePath to outputPath, with ".ico" appended unless it already ends so (exactly, in
// lower case). With byResourceId, groupIndex is the resource id of the group instead, and a
// module without a group of that id is treated as an index beyond the last group. A module that
// holds no icon group is read through its companion (companionModulePath, with the
// environment's SystemRoot) when that holds one, as the system's resource loader does; every text
// names sourcePath all the same. The index equal to the module's group count selects nothing,
// silently. Every failure is reported to the user (run-time errors also to the trace) and leaves
// the file at outputPath as it was. True when the file was written: one found there otherwise
// may be left from an earlier run, for another command.
bool subExtractIcons(Program& program, IconServices& services, const std::string& sourcePath,
                     std::string outputPath, std::int32_t groupIndex, bool byResourceId = false);

}  // namespace perchlet
