// Any bytes as the options file, read by funcReadOptions.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fakes.h"
#include "startup/options.h"

#include "fuzz_input.h"

using namespace perchlet;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    testing::FakeSystem system;
    system.files.contents[system.process.exeFolder + "\\Perchlet.ini"] =
        std::string(reinterpret_cast<const char*>(data), size);
    system.openLog();

    // Nothing in a readable file is an error: unknown settings are only traced.
    FUZZ_CHECK(funcReadOptions(system.program));
    FUZZ_CHECK(system.boxes.shown.empty());
    const std::int32_t clickMode = system.program.options.ClickMode;
    FUZZ_CHECK(clickMode == 0 || clickMode == 514 || clickMode == 515);
    return 0;
}
