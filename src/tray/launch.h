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
    // The same with the verb "runas", after the system's consent prompt; none when the user
    // cancelled the prompt.
    virtual std::optional<std::intptr_t> runAsAdministrator(const std::string& target,
                                                            const std::string& parameters) = 0;
    // Opens the folder that holds the file or folder `path` in Explorer, with it selected.
    // Raises RunError on failure.
    virtual void openLocation(const std::string& path) = 0;
};

// The words for the shell's known failure codes; nullptr for every other value.
const char* shellFailureText(std::intptr_t result);

// Opens one entry's target through the shell, tracing the attempt and reporting known failures.
// No value when the target was empty.
std::optional<std::intptr_t> funcLaunchCommand(Program& program, Shell& shell,
                                               const std::string& strTarget,
                                               const std::string& strParameters);
// The same with the verb "runas". A consent prompt the user cancelled is traced, not shown.
void launchAsAdministrator(Program& program, Shell& shell, const std::string& target,
                           const std::string& parameters);

// The folder that holds a path: what comes before its last separator ("" for none).
std::string containingFolder(const std::string& path);
// Opens the target's folder with the target selected, tracing it; a failure is traced and shown.
void openFileLocation(Program& program, Shell& shell, const std::string& target);

}  // namespace perchlet
