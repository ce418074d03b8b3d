#include "cmdline/expansion.h"

#include "common/errors.h"
#include "common/program.h"

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

}  // namespace perchlet
