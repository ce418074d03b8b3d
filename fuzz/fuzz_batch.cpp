// Any bytes as the batch file of "/BATCH:", taken in by subMain line by line.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes.h"
#include "startup/startup.h"

#include "fuzz_input.h"

using namespace perchlet;

namespace {
constexpr const char* kBatchFile = "C:\\Perchlet.txt";
constexpr const char* kReadLine = "Read batch command line '";
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing::FakeSystem system;
    system.env.variables["APPDATA"] = "C:\\Data";
    system.process.arguments = std::string("/BATCH:") + kBatchFile;
    system.files.contents[kBatchFile] = std::string(reinterpret_cast<const char*>(data), size);
    testing::RecordingTray tray;

    // A readable file never ends the program, whatever its lines hold.
    FUZZ_CHECK(subMain(system.program, tray) == StartupOutcome::Run);
    FUZZ_CHECK(tray.removals == 0);

    // Every command line taken is in the trace before its icon is made, so none is lost.
    std::size_t traced = 0;
    for (const auto& message : system.traceMessages()) {
        traced += startsWith(message, kReadLine) ? 1 : 0;
    }
    std::size_t commands = 0;
    const auto file = system.files.openRead(kBatchFile);
    for (std::string line; file->readLine(line);) {
        commands += (line.empty() || line.front() != ';') && !trimBlanks(line).empty() ? 1 : 0;
    }
    FUZZ_CHECK(traced == commands);
    FUZZ_CHECK(tray.added.size() <= commands);
    return 0;
}
