#include "startup/arguments.h"

namespace perchlet {

std::string_view argumentsOf(std::string_view commandLine) {
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        // Up to the closing quote, or to the end when there is none.
        const std::size_t close = commandLine.find('"', 1);
        at = close == std::string_view::npos ? commandLine.size() : close + 1;
    } else {
        while (at < commandLine.size() && commandLine[at] != ' ' && commandLine[at] != '\t') {
            ++at;
        }
    }
    if (at < commandLine.size() && (commandLine[at] == ' ' || commandLine[at] == '\t')) {
        ++at;
    }
    return commandLine.substr(at);
}

}  // namespace perchlet
