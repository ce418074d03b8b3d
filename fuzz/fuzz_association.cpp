// The registry's icon text of a command's type, from values of any bytes and length, and the icon
// choice that reads it and extracts the icon it names. Input, one line each: the command; the
// user's icon field; how many icon groups every module holds (a decimal number, at most 64); then
// the answer to each registry read in turn: "=" and the value's bytes, "!" for a read that fails,
// anything else for a missing value (as are all reads past the last line).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cmdline/command_analysis.h"
#include "fakes.h"
#include "icon_fakes.h"
#include "icons/association.h"
#include "icons/extraction.h"
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

// Every path names a module, so the icon number the registry gives always selects a group.
class AnyPathModules : public testing::FakeModuleResources {
public:
    testing::FakeModule every;

    std::unique_ptr<ResourceModule> open(const std::string& path) override {
        modules.try_emplace(path, every);
        return FakeModuleResources::open(path);
    }
};

std::size_t groupCount(std::string_view digits) {
    std::size_t count = 0;
    for (const char digit : digits.substr(0, 3)) {
        if (digit < '0' || digit > '9') {
            break;
        }
        count = count * 10 + static_cast<std::size_t>(digit - '0');
    }
    return std::min<std::size_t>(count, 64);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzzing::Input input(data, size);
    const std::string command(input.until('\n'));
    const std::string iconField(input.until('\n'));
    AnyPathModules modules;
    for (std::size_t k = 1, count = groupCount(input.until('\n')); k <= count; ++k) {
        const auto id = static_cast<std::uint16_t>(k);
        modules.every.addGroup(funcResourceName(id),
                               testing::groupBytes({{.bytesInResource = 8, .imageId = id}}));
        modules.every.addImage(id, testing::imageBytes(id, 8));
    }
    AnsweringRegistry registry;
    while (!input.empty()) {
        registry.answers.push_back(input.until('\n'));
    }
    testing::FakeSystem system;
    system.openLog();
    // A module without icon groups is then also looked for in its SystemResources companion.
    system.env.variables = {{"SystemRoot", "C:\\Windows"}};
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
    testing::FakeHoldingFiles holdingFiles;
    IconServices services{registry, modules, holdingFiles};
    const IconChoice choice = chooseIconFile(program, services, command, analysis, iconField, 1);
    FUZZ_CHECK(modules.open_ == 0);
    // Only the entry's own holding file is ever written.
    for (const auto& [path, bytes] : holdingFiles.files) {
        FUZZ_CHECK(path == program.strDataFolder + "\\1.ico" && path == choice.path);
        FUZZ_CHECK(!bytes.empty());
    }
    return 0;
}
