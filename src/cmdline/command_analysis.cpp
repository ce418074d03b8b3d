#include "cmdline/command_analysis.h"

#include "common/text.h"

namespace perchlet {

CommandAnalysis analyseCommand(const std::string& strCommand) {
    CommandAnalysis result;
    for (const char* prefix : {"http://", "https://", "ftp://"}) {
        if (startsWith(strCommand, prefix)) {
            result.launchTarget = strCommand;
            result.extension = strCommand.substr(0, strCommand.find(':'));
            result.isUrl = true;
            return result;
        }
    }
    const auto dot = strCommand.find('.');
    if (dot == std::string::npos) {
        result.launchTarget = strCommand;
        return result;
    }
    // The target runs to the first space after the first ".", even past spaces before it.
    const auto space = strCommand.find(' ', dot);
    if (space == std::string::npos) {
        result.extension = strCommand.substr(dot);
        result.launchTarget = strCommand;
        return result;
    }
    result.extension = strCommand.substr(dot, space - dot);
    result.launchTarget = strCommand.substr(0, space);
    result.parameters = std::string(trimBlanks(std::string_view(strCommand).substr(space)));
    return result;
}

}  // namespace perchlet
