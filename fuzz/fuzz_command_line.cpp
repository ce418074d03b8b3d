// A command line as the user types it, through the parser, %NAME% expansion and command analysis.
// Input: the command line up to the first NUL, then NUL-separated NAME=VALUE environment entries.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cmdline/command_analysis.h"
#include "cmdline/parser.h"
#include "fakes.h"
#include "fuzz_input.h"

using namespace perchlet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    const std::string line(input.until('\0'));
    testing::FakeSystem system;
    while (!input.empty()) {
        const std::string_view entry = input.until('\0');
        const auto equals = entry.find('=');
        const std::string_view value =
            equals == std::string_view::npos ? std::string_view() : entry.substr(equals + 1);
        system.env.variables[std::string(entry.substr(0, equals))] = std::string(value);
    }
    system.openLog();
    Program& program = system.program;

    const std::optional<InputFields> fields = subParseInputLine(program, line);
    if (!fields) {
        // A rejected line is always explained to the user.
        FUZZ_CHECK(!system.boxes.shown.empty());
        return 0;
    }
    const std::string& command = fields->strCommand;
    const CommandAnalysis analysis = analyseCommand(command);
    FUZZ_CHECK(startsWith(command, analysis.launchTarget));
    FUZZ_CHECK(trimBlanks(analysis.parameters) == analysis.parameters);
    FUZZ_CHECK(command.find(analysis.parameters) != std::string::npos);
    if (analysis.isUrl) {
        FUZZ_CHECK(analysis.launchTarget == command && analysis.parameters.empty());
    } else if (!analysis.extension.empty()) {
        // The type key is the end of the launch target: what a click opens decides its icon.
        FUZZ_CHECK(analysis.extension.front() == '.');
        FUZZ_CHECK(endsWith(analysis.launchTarget, analysis.extension));
    }
    return 0;
}
