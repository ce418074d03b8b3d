#include "platform/procedure_guard.h"

#include <exception>

#include "common/errors.h"

namespace perchlet::win32 {

void reportTrappedException(Program& program, const char* where) noexcept {
    // The stop box pumps messages: a procedure that fails again meanwhile must not stack boxes.
    static bool boxShown = false;
    try {
        const RunError error = errors::fromException(std::current_exception());
        if (boxShown) {
            program.subWriteTrace(errorReport(error, where));
            return;
        }
        boxShown = true;
        program.reportError(error, where);
        boxShown = false;
    } catch (...) {
        boxShown = false;  // not even the report could be made: nothing more can be told
    }
}

}  // namespace perchlet::win32
