#include "icons/icon_choice.h"

#include <cmath>
#include <optional>
#include <string_view>
#include <utility>

#include "cmdline/expansion.h"
#include "common/program.h"
#include "common/text.h"
#include "icons/association.h"
#include "icons/extraction.h"
#include "icons/holding_names.h"
#include "icons/icon_numbers.h"

namespace perchlet {

namespace {

IconChoice useDefault(Program& program, const std::string& strIconSpec, const std::string& why) {
    program.subWriteTrace("Warning: " + why + ", using default instead");
    return {strIconSpec, true};
}

// A registered icon value read as the shell reads it: the icon number follows the last comma
// outside double quotes, so that a quoted path may hold commas; a path in quotes is taken from
// inside them. A quote without a partner is an ordinary character.
struct IconLocation {
    std::string path;
    std::optional<std::string> number;  // none without a comma
};

IconLocation readIconLocation(std::string_view value) {
    std::size_t comma = std::string_view::npos;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '"') {
            const auto partner = value.find('"', i + 1);
            i = partner == std::string_view::npos ? i : partner;
        } else if (value[i] == ',') {
            comma = i;
        }
    }
    IconLocation location;
    std::string_view path = trimBlanks(value.substr(0, comma));
    if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
        path = path.substr(1, path.size() - 2);
    }
    location.path = path;
    if (comma != std::string_view::npos) {
        location.number = std::string(value.substr(comma + 1));
    }
    return location;
}

// The module path ready to open: "%1" as the command's own file, a language resource file as
// the module it belongs to.
std::string cleanModulePath(std::string modulePath, const std::string& strCommand,
                            const CommandAnalysis& analysis) {
    if (modulePath == "%1") {
        // The type's icon is the file itself.
        return analysis.launchTarget.empty() ? strCommand : analysis.launchTarget;
    }
    if (endsWith(modulePath, ".mui")) {
        modulePath.resize(modulePath.size() - 4);
    }
    return modulePath;
}

}  // namespace

IconChoice chooseIconFile(Program& program, IconServices& services, const std::string& strCommand,
                          const CommandAnalysis& analysis, const std::string& strIconSpec,
                          std::int32_t n) {
    if (toLower(strIconSpec).find(".ico") != std::string::npos) {
        return {strIconSpec};
    }

    program.subWriteTrace("Determining associated icon for '" + analysis.extension + "'");
    const std::string association = toLower(
        funcFindFileAssociation(program, services.registry, analysis.extension, analysis.isUrl));
    if (association.empty()) {
        program.subWriteTrace("Couldn't determine associated icon!");
        return {strIconSpec};
    }
    program.subWriteTrace("Associated icon found to be '" + association + "'");

    const IconLocation location = readIconLocation(association);
    // Every reference is expanded, as the system does for such values; the command's own file
    // that "%1" stands for is not.
    std::string modulePath = expandEnvironmentStrings(program.sys.env, location.path);
    if (const auto ico = toLower(modulePath).find(".ico"); ico != std::string::npos) {
        return {modulePath.substr(0, ico + 4)};
    }

    std::int32_t iconNumber = 0;
    // A negative number is the resource id of the group, its absolute value; others a position.
    bool isResourceId = false;
    if (location.number) {
        const std::string& piece = *location.number;
        const auto value = parseWholeNumber(piece);
        const auto rounded = value ? roundToInt32(std::fabs(*value)) : std::nullopt;
        if (!rounded) {
            return useDefault(program, strIconSpec,
                              "icon number '" + piece + "' of associated icon '" + association +
                                  "' isn't usable");
        }
        iconNumber = *rounded;
        isResourceId = *value < 0 && iconNumber != 0;
    }

    const double userNumber = scanLeadingNumber(strIconSpec);
    if (userNumber > 0) {
        program.subWriteTrace("Overriding determined icon number of '" +
                              std::to_string(iconNumber) + "' with user specified one of '" +
                              formatWholeNumber(strIconSpec) + "'");
        const auto rounded = roundToInt32(userNumber);
        if (!rounded) {
            return useDefault(program, strIconSpec,
                              "icon number '" + strIconSpec + "' is out of range");
        }
        iconNumber = *rounded;
        isResourceId = false;  // the user's number is always a position
    }

    if (location.path == "\"") {
        return useDefault(program, strIconSpec,
                          "associated icon '" + association + "' names no file");
    }
    modulePath = cleanModulePath(std::move(modulePath), strCommand, analysis);

    std::string holdingFile = holdingFileName(program.strDataFolder, n);
    const bool written =
        subExtractIcons(program, services, modulePath, holdingFile, iconNumber, isResourceId);
    return {std::move(holdingFile), false, !written};
}

bool useIconFile(Program& program, const IconChoice& choice, bool fileExists) {
    if (choice.useDefault) {
        return false;
    }
    if (!fileExists) {
        program.subWriteTrace("Warning: icon '" + choice.path +
                              "' wasn't found, using default instead");
        return false;
    }
    if (choice.stale) {
        // The extraction failed and said so; what lies there belongs to an earlier run.
        program.subWriteTrace("Warning: icon '" + choice.path +
                              "' wasn't written, using default instead");
        return false;
    }
    return true;
}

void traceUnloadableIcon(Program& program, const std::string& path) {
    program.subWriteTrace("Warning: icon '" + path + "' couldn't be loaded, using default instead");
}

}  // namespace perchlet
