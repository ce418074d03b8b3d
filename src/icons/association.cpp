#include "icons/association.h"

#include "common/errors.h"
#include "common/program.h"
#include "common/text.h"

namespace perchlet {

std::string funcReadRegistryString(const RegistryReader& registry, RegistryRoot root,
                                   const std::string& strSubKey, const std::string& strValueName,
                                   const std::string& strDefault) {
    const auto stored = registry.readValue(root, strSubKey, strValueName);
    if (!stored) {
        return strDefault;
    }
    // A value need not end in a NUL, and may hold more than one string: the first is the text.
    const std::string_view text = std::string_view(*stored).substr(0, stored->find('\0'));
    const std::string_view trimmed = trimBlanks(text);
    return trimmed.empty() ? strDefault : std::string(trimmed);
}

std::string funcFindFileAssociation(Program& program, const RegistryReader& registry,
                                    const std::string& strExtension, bool blnIsURL) {
    try {
        const auto read = [&](RegistryRoot root, const std::string& key,
                              const std::string& value = "") {
            return funcReadRegistryString(registry, root, key, value, "");
        };
        std::string classKey;
        if (blnIsURL) {
            classKey = strExtension;
        } else {
            const std::string extension =
                startsWith(strExtension, ".") ? strExtension : "." + strExtension;
            classKey = read(
                RegistryRoot::CurrentUser,
                "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" + extension,
                "ProgID");
            if (classKey.empty()) {
                classKey = read(RegistryRoot::ClassesRoot, extension);
            }
        }

        std::string result;
        if (!classKey.empty()) {
            result = read(RegistryRoot::ClassesRoot, classKey + "\\DefaultIcon");
            if (result.empty()) {
                const std::string classId = read(RegistryRoot::ClassesRoot, classKey + "\\CLSID");
                if (!classId.empty()) {
                    result = read(RegistryRoot::ClassesRoot, "CLSID\\" + classId + "\\DefaultIcon");
                } else {
                    const std::string current =
                        read(RegistryRoot::ClassesRoot, classKey + "\\CurVer");
                    if (!current.empty()) {
                        result = read(RegistryRoot::ClassesRoot, current + "\\DefaultIcon");
                    }
                }
            }
        }

        if (result.empty()) {
            program.subWriteTrace("No specific file association found, using default...");
            result = kDefaultAssociation;
        }
        return result;
    } catch (const RunError& error) {
        program.reportError(error, "funcFindFileAssociation");
        return {};
    }
}

}  // namespace perchlet
