#pragma once
// The icon that the registry associates with a file type or a URL scheme.
#include <string>

#include "icons/icon_system.h"

namespace perchlet {

class Program;

// The shell's own default icon, for types the registry names no icon for.
inline constexpr const char* kDefaultAssociation = "%SystemRoot%\\System32\\shell32.dll,0";

// One text value as stored (no %NAME% expansion): its bytes up to the first NUL, without
// leading and trailing blanks. strDefault when the key or value is missing or the text is blank.
std::string funcReadRegistryString(const RegistryReader& registry, RegistryRoot root,
                                   const std::string& strSubKey, const std::string& strValueName,
                                   const std::string& strDefault);

// The registered icon text of an extension (with or without its ".") or of a URL scheme: the
// user's chosen class, the machine's class, its DefaultIcon, else the DefaultIcon of its CLSID or
// of its current version. kDefaultAssociation (traced) when none is registered; "" after a
// failure, which has been traced and shown to the user.
std::string funcFindFileAssociation(Program& program, const RegistryReader& registry,
                                    const std::string& strExtension, bool blnIsURL);

}  // namespace perchlet
