#include "tray/launch.h"

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

std::optional<std::intptr_t> funcLaunchCommand(Program& program, Shell& shell,
                                               const std::string& strTarget,
                                               const std::string& strParameters) {
    const std::string description = launchParameterDescription(strParameters);
    if (strTarget.empty()) {
        program.subWriteTrace(
            "Warning: Abandoning launch attempt as command to launch appears to be empty..");
        return std::nullopt;
    }
    program.subWriteTrace("Launching '" + strTarget + "' " + description);
    const std::intptr_t result = shell.open(strTarget, strParameters);
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

}  // namespace perchlet
