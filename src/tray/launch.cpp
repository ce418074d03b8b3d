#include "tray/launch.h"

#include "common/errors.h"
#include "common/program.h"

namespace perchlet {

namespace {

// "(without parameters)" or "(with parameters of '...')".
std::string launchParameterDescription(const std::string& parameters) {
    return parameters.empty() ? "(without parameters)"
                              : "(with parameters of '" + parameters + "')";
}

}  // namespace

const char* shellFailureText(std::intptr_t result) {
    switch (result) {
        case 0:
            return "The operating system is out of memory or resources";
        case 2:
            return "The specified file was not found";
        case 3:
            return "The specified path was not found";
        case 5:
            return "The operating system denied access to the specified file";
        case 8:
            return "There was not enough memory to complete the operation";
        case 11:
            return "The .exe file is invalid (either a non-Win32 file or damaged)";
        case 26:
            return "A sharing violation occurred";
        case 27:
            return "The file name association is incomplete or invalid";
        case 28:
            return "The DDE transaction could not be completed because the request timed out";
        case 29:
            return "The DDE transaction failed";
        case 30:
            return "The DDE transaction could not be completed because other DDE transactions "
                   "were being processed";
        case 31:
            return "There is no application associated with the given file name extension";
        case 32:
            return "The specified dynamic-link library was not found";
        default:
            return nullptr;
    }
}

namespace {

// Traces the attempt and hands it to `open` (the verb's own trace is added to the launch's);
// a known failure is traced and shown. No value when the target was empty or the launch was
// cancelled.
template <typename Open>
std::optional<std::intptr_t> launchWith(Program& program, const std::string& strTarget,
                                        const std::string& strParameters, const std::string& verb,
                                        Open&& open) {
    const std::string description = launchParameterDescription(strParameters);
    if (strTarget.empty()) {
        program.subWriteTrace(
            "Warning: Abandoning launch attempt as command to launch appears to be empty..");
        return std::nullopt;
    }
    program.subWriteTrace("Launching '" + strTarget + "' " + description + verb);
    const std::optional<std::intptr_t> opened = open();
    if (!opened) {
        return std::nullopt;
    }
    const std::intptr_t result = *opened;
    if (const char* text = shellFailureText(result)) {
        program.subWriteTrace(std::string("Error: Launch failed - Windows returned '") + text +
                              "'");
        program.showMessage("Launching '" + strTarget + "' " + description +
                                " failed unexpectedly.\r\rThe error returned from Windows was '" +
                                text + "'",
                            kIconWarning);
    }
    return result;
}

}  // namespace

std::optional<std::intptr_t> funcLaunchCommand(Program& program, Shell& shell,
                                               const std::string& strTarget,
                                               const std::string& strParameters) {
    return launchWith(program, strTarget, strParameters, "", [&] {
        return std::optional<std::intptr_t>(shell.open(strTarget, strParameters));
    });
}

void launchAsAdministrator(Program& program, Shell& shell, const std::string& target,
                           const std::string& parameters) {
    launchWith(program, target, parameters, " with the verb 'runas'", [&] {
        std::optional<std::intptr_t> result = shell.runAsAdministrator(target, parameters);
        if (!result) {
            program.subWriteTrace("Launch cancelled at the administrator's consent prompt");
        }
        return result;
    });
}

std::string containingFolder(const std::string& path) {
    const std::size_t last = path.find_last_of("\\/");
    return last == std::string::npos ? std::string() : path.substr(0, last);
}

void openFileLocation(Program& program, Shell& shell, const std::string& target) {
    program.subWriteTrace("Opening file location of '" + target + "' in folder '" +
                          containingFolder(target) + "'");
    try {
        shell.openLocation(target);
    } catch (const RunError& error) {
        program.subWriteTrace("Error: Opening file location failed - Windows returned '" +
                              error.description() + "'");
        program.showMessage("Opening the location of '" + target +
                                "' failed unexpectedly.\r\rThe error returned from Windows was '" +
                                error.description() + "'",
                            kIconWarning);
    }
}

}  // namespace perchlet
