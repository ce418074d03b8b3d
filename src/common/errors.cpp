#include "common/errors.h"

#include <new>

namespace perchlet {

namespace {
std::string mebibytes(std::size_t bytes) {
    return std::to_string(bytes >> 20) + " MiB";
}
}  // namespace

// Reading it whole would take more memory than the program allows itself: error 7's number.
FileTooLarge::FileTooLarge(std::size_t limit)
    : RunError(errors::kOutOfMemory, "The file is larger than " + mebibytes(limit)),
      limitText_(mebibytes(limit)) {}

namespace errors {
RunError invalidArgument() {
    return RunError(kInvalidArgument, "Invalid procedure argument");
}
RunError overflow() {
    return RunError(kOverflow, "Overflow");
}
RunError subscriptOutOfRange() {
    return RunError(kSubscriptOutOfRange, "Subscript out of range");
}
RunError fromException(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const RunError& error) {
        return error;
    } catch (const std::bad_alloc&) {
        return RunError(kOutOfMemory, "Out of memory");
    } catch (...) {
        return RunError(kInternalError, "Internal error");
    }
}
}  // namespace errors

std::string formatErrorNumber(std::int32_t number) {
    const std::string digits = std::to_string(number);
    return number < 0 ? digits : " " + digits;
}

std::string errorReport(const RunError& error, std::string_view where, bool blankAfterWord,
                        std::string_view occurred) {
    std::string text = blankAfterWord ? "Error " : "Error";
    text += formatErrorNumber(error.number());
    text += " (";
    text += error.description();
    text += ") ";
    text += occurred;
    text += ' ';
    text += where;
    return text;
}

}  // namespace perchlet
