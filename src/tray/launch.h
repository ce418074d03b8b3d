#pragma once
#include <cstdint>
#include <optional>
#include <string>

namespace perchlet {

class Program;

class Shell {
public:
    virtual ~Shell() = default;
    // Opens the target with the verb "Open"; the shell's return value (above 32 on success).
    virtual std::intptr_t open(const std::string& target, const std::string& parameters) = 0;
};

// The words for the shell's known failure codes; nullptr for every other value.
const char* shellFailureText(std::intptr_t result);

// Opens one entry's target through the shell, tracing the attempt and reporting known failures.
// No value when the target was empty.
std::optional<std::intptr_t> funcLaunchCommand(Program& program, Shell& shell,
                                               const std::string& strTarget,
                                               const std::string& strParameters);

}  // namespace perchlet
