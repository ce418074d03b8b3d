#pragma once
// Run-time errors: a number and a description, raised by the core and trapped by the procedures
// that report them.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>
#include <string_view>

namespace perchlet {

// Not a std::runtime_error: that one keeps its text in a second string type of the standard
// library, which would add some 25 KiB to the program for nothing.
class RunError : public std::exception {
public:
    RunError(std::int32_t number, std::string description)
        : number_(number), description_(std::move(description)) {}
    std::int32_t number() const { return number_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    std::int32_t number_;
    std::string description_;
};

// A text file larger than the program reads whole: refused before any of its lines is given.
class FileTooLarge : public RunError {
public:
    explicit FileTooLarge(std::size_t limit);
    // The limit in the words the reports use ("16 MiB").
    std::string limitText() const { return limitText_; }

private:
    std::string limitText_;
};

namespace errors {
inline constexpr std::int32_t kInvalidArgument = 5;
inline constexpr std::int32_t kOverflow = 6;
inline constexpr std::int32_t kOutOfMemory = 7;
inline constexpr std::int32_t kSubscriptOutOfRange = 9;
inline constexpr std::int32_t kInternalError = 51;
inline constexpr std::int32_t kResourceNotLocated = 1012;

RunError invalidArgument();
RunError overflow();
RunError subscriptOutOfRange();

// The run-time error a trapped exception stands for: a RunError as it is, running out of memory
// as error 7, anything else as an internal error.
RunError fromException(std::exception_ptr failure);
}  // namespace errors

// The number as a report shows it: a leading blank in place of a plus sign (" 9", "-5").
std::string formatErrorNumber(std::int32_t number);

// "Error" + number + " (" + description + ") occurred in " + where. Most reports put a blank of
// their own after the word, which with the sign blank gives two; pass blankAfterWord=false for
// the ones that do not.
std::string errorReport(const RunError& error, std::string_view where, bool blankAfterWord = true,
                        std::string_view occurred = "occurred in");

}  // namespace perchlet
