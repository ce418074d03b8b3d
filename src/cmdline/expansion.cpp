#include "cmdline/expansion.h"

#include "common/errors.h"
#include "common/program.h"
#include "common/system.h"

namespace perchlet {

std::string subReplaceEnvironmentVars(Program& program, const std::string& strCommand) {
    std::string copy = strCommand;
    try {
        const auto first = copy.find('%');
        if (first == std::string::npos || first + 1 == copy.size()) {
            return copy;
        }
        const auto second = copy.find('%', first + 1);
        if (second == std::string::npos) {
            throw errors::invalidArgument();  // the name would have a negative length
        }
        const std::string value =
            program.sys.env.variable(copy.substr(first + 1, second - first - 1));
        if (value.empty()) {
            return copy;
        }
        return copy.substr(0, first) + value + copy.substr(second + 1);
    } catch (const RunError& error) {
        program.subWriteTrace(errorReport(error, "subReplaceEnvironmentVars", false) +
                              ", strCommand='" + strCommand + "'");
        program.showMessage("Warning - An error occurred while interpreting the '" + strCommand +
                                "' command line.\r\rPlease ensure that it is correctly formed.",
                            kIconWarning);
        return {};
    }
}

std::string expandEnvironmentStrings(const Environment& environment, std::string_view text) {
    std::string expanded;
    std::size_t at = 0;
    for (;;) {
        const auto open = text.find('%', at);
        const auto close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            return expanded.append(text.substr(at));
        }
        expanded.append(text.substr(at, open - at));
        const std::string_view name = text.substr(open + 1, close - open - 1);
        const std::string value = name.empty() ? "" : environment.variable(std::string(name));
        if (value.empty()) {
            expanded.append(text.substr(open, close - open + 1));
        } else {
            expanded.append(value);
        }
        at = close + 1;
    }
}

}  // namespace perchlet
