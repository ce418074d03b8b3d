#include "icons/icon_choice.h"

#include <cmath>
#include <utility>

#include "cmdline/expansion.h"
#include "common/program.h"
#include "common/text.h"
#include "icons/association.h"
#include "icons/extraction.h"
#include "icons/icon_numbers.h"

namespace perchlet {

namespace {

IconChoice useDefault(Program& program, const std::string& strIconSpec, const std::string& why) {
    program.subWriteTrace("Warning: " + why + ", using default instead");
    return {strIconSpec, true};
}

// The module path as the association names it, ready to open: without its quotes, "%1" as the
// command's own file, a language resource file as the module it belongs to, expanded.
std::string cleanModulePath(Program& program, std::string modulePath, const std::string& strCommand,
                            const CommandAnalysis& analysis) {
    if (modulePath.size() >= 2 && modulePath.front() == '"' && modulePath.back() == '"') {
        modulePath = modulePath.substr(1, modulePath.size() - 2);
    }
    if (modulePath == "%1") {
        // The type's icon is the file itself.
        modulePath = analysis.launchTarget.empty() ? strCommand : analysis.launchTarget;
    }
    if (endsWith(modulePath, ".mui")) {
        modulePath.resize(modulePath.size() - 4);
    }
    return subReplaceEnvironmentVars(program, modulePath);
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

    if (const auto ico = association.find(".ico"); ico != std::string::npos) {
        return {association.substr(0, ico + 4)};
    }

    const auto comma = association.find(',');
    std::string modulePath = association.substr(0, comma);
    std::int32_t iconNumber = 0;
    // A negative number is the resource id of the group, its absolute value; others a position.
    bool isResourceId = false;
    if (comma != std::string::npos) {
        const auto next = association.find(',', comma + 1);
        const std::string piece = association.substr(
            comma + 1, next == std::string::npos ? std::string::npos : next - comma - 1);
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

    if (modulePath == "\"") {
        return useDefault(program, strIconSpec,
                          "associated icon '" + association + "' names no file");
    }
    modulePath = cleanModulePath(program, modulePath, strCommand, analysis);

    std::string holdingFile = program.strDataFolder + "\\" + std::to_string(n) + ".ico";
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
