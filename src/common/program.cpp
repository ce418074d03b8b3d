#include "common/program.h"

#include "common/errors.h"
#include "common/trace.h"

namespace perchlet {

void Program::subWriteTrace(const std::string& message) {
    if (!logFile) {
        return;
    }
    try {
        const Clock& clock = sys.clock;
        logFile->writeLine(
            formatTraceLine(clock.now(), clock.dateSeparator(), clock.timeSeparator(), message));
    } catch (const RunError& error) {
        // The line is lost; the next call tries again.
        showMessage(errorReport(error, "subWriteTrace"), kIconError);
    }
}

void Program::reportError(const RunError& error, std::string_view where) {
    reportError(errorReport(error, where));
}

void Program::reportError(const std::string& report) {
    subWriteTrace(report);
    showMessage(report, kIconError);
}

}  // namespace perchlet
