#pragma once
// Which icon file a tray entry shows: the user's own .ico file, an .ico file that the registry
// names for the command's type, or an icon group copied out of the module that the registry names
// into the entry's icon holding file.
#include <cstdint>
#include <string>

#include "cmdline/command_analysis.h"
#include "icons/icon_system.h"

namespace perchlet {

class Program;

struct IconChoice {
    std::string path;         // the icon file to try
    bool useDefault = false;  // the choice failed and was traced: show the default icon at once
    bool stale = false;       // the extraction wrote nothing: a file at path is not this icon
};

// Settles the icon file of entry n for a command analysed as `analysis`, tracing each step, and
// gives its path (strIconSpec itself when nothing replaces it). The registered value is read as
// the shell reads it: the icon number after the last comma outside double quotes, a quoted path
// from inside its quotes, every %NAME% expanded. A module's icon is first extracted to
// strDataFolder\n.ico. The registry's icon number is the group's position, or its resource id
// when negative; a positive number leading strIconSpec overrides it, always as a position. A
// failure (an association whose icon number is no usable number, or that names a lone double quote)
// is traced and asks for the default icon; the entry goes on without its own icon.
IconChoice chooseIconFile(Program& program, IconServices& services, const std::string& strCommand,
                          const CommandAnalysis& analysis, const std::string& strIconSpec,
                          std::int32_t n);

// Whether to load choice.path as the tray picture, given whether it is an ordinary file
// (program.sys.files.isOrdinaryFile). False means the default icon; a missing or stale file is
// traced.
bool useIconFile(Program& program, const IconChoice& choice, bool fileExists);

// Traces that an existing icon file could not be loaded as a picture and the default is shown.
void traceUnloadableIcon(Program& program, const std::string& path);

}  // namespace perchlet
