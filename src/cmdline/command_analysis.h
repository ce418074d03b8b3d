#pragma once
#include <string>

namespace perchlet {

struct CommandAnalysis {
    std::string launchTarget;
    std::string parameters;
    std::string extension;  // the type key: an extension from the first ".", or a URL's scheme
    bool isUrl = false;
};

// Divides a command into what a click launches, its parameters and the key of its type.
CommandAnalysis analyseCommand(const std::string& strCommand);

}  // namespace perchlet
