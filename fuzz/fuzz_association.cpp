// The registry's icon text of a command's type, from values of any bytes and length, and the icon
// choice that reads it. Input, one line each: the command; the user's icon field; then the answer
// to each registry read in turn: "=" and the value's bytes, "!" for a read that fails, anything
// else for a missing value (as are all reads past the last line).
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cmdline/command_analysis.h"
#include "fakes.h"
#include "icon_fakes.h"
#include "icons/association.h"
#include "icons/icon_choice.h"

#include "fuzz_input.h"

using namespace perchlet;

namespace {

// Answers reads in the order they come, whatever key they name, so every branch of the look-up
// is reached without the input having to spell out the keys it builds.
class AnsweringRegistry : public RegistryReader {
public:
    std::vector<std::string_view> answers;
    mutable std::size_t next = 0;
    mutable bool raised = false;

    std::optional<std::string> readValue(RegistryRoot, const std::string&,
                                         const std::string&) const override {
        if (next >= answers.size()) {
            return std::nullopt;
        }
        const std::string_view answer = answers[next++];
        if (answer == "!") {
            raised = true;
            throw RunError(5, "Invalid procedure call or argument");
        }
        if (!answer.empty() && answer.front() == '=') {
            return std::string(answer.substr(1));
        }
        return std::nullopt;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    const std::string command(input.until('\n'));
    const std::string iconField(input.until('\n'));
    AnsweringRegistry registry;
    while (!input.empty()) {
        registry.answers.push_back(input.until('\n'));
    }
    testing::FakeSystem system;
    system.openLog();
    Program& program = system.program;
    const CommandAnalysis analysis = analyseCommand(command);

    const std::string found =
        funcFindFileAssociation(program, registry, analysis.extension, analysis.isUrl);
    if (registry.raised) {
        FUZZ_CHECK(found.empty() && !system.boxes.shown.empty());
    } else {
        // The text as stored up to its first NUL, without blanks around it, or the default.
        FUZZ_CHECK(!found.empty());
        FUZZ_CHECK(found.find('\0') == std::string::npos);
        FUZZ_CHECK(trimBlanks(found) == found);
    }

    // The same registry again, now read by the icon choice of the entry.
    registry.next = 0;
    testing::FakeIconServices icons;
    IconServices services{registry, icons.modules, icons.holdingFiles};
    std::string iconSpec = iconField;
    const IconChoice choice = funcChooseIcon(program, services, command, analysis, iconSpec, 1);
    FUZZ_CHECK(choice.path == iconSpec);
    FUZZ_CHECK(icons.modules.open_ == 0);
    return 0;
}
