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
        // The icon of a class: its DefaultIcon, else that of its CLSID or of its current version.
        const auto classIcon = [&](const std::string& classKey) -> std::string {
            std::string icon = read(RegistryRoot::ClassesRoot, classKey + "\\DefaultIcon");
            if (icon.empty()) {
                const std::string classId = read(RegistryRoot::ClassesRoot, classKey + "\\CLSID");
                if (!classId.empty()) {
                    icon = read(RegistryRoot::ClassesRoot, "CLSID\\" + classId + "\\DefaultIcon");
                } else {
                    const std::string current =
                        read(RegistryRoot::ClassesRoot, classKey + "\\CurVer");
                    if (!current.empty()) {
                        icon = read(RegistryRoot::ClassesRoot, current + "\\DefaultIcon");
                    }
                }
            }
            return icon;
        };

        const std::string extension =
            blnIsURL || startsWith(strExtension, ".") ? strExtension : "." + strExtension;
        // Since Windows 8 the default app the user chose is kept apart from the older ProgID.
        const std::string userChoice =
            blnIsURL ? "Software\\Microsoft\\Windows\\Shell\\Associations\\UrlAssociations\\" +
                           extension + "\\UserChoice"
                     : "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\" +
                           extension + "\\UserChoice";
        const std::string chosenClass = read(RegistryRoot::CurrentUser, userChoice, "ProgId");
        if (!chosenClass.empty()) {
            // A packaged app's icon is an indirect string naming a PNG in its package, no module.
            if (std::string icon = classIcon(chosenClass); !icon.empty() && icon.front() != '@') {
                return icon;
            }
        }

        std::string classKey;
        if (blnIsURL) {
            classKey = strExtension;
        } else {
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
            result = classIcon(classKey);
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
