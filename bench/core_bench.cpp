// Throughput of the portable core's hot paths: the command-line parser, the options-file item
// splitter and the .ico builder (against a plain memcpy of the bytes it writes).
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "cmdline/parser.h"
#include "fakes.h"
#include "icon_fakes.h"
#include "icons/ico_builder.h"
#include "startup/options.h"

namespace perchlet {
namespace {

// Lines as users write them: programs with parameters, quoted paths and tips, URLs, documents,
// icon files and numbers, and an environment reference.
const std::array<std::string, 8> kCommandLines = {
    R"(%windir%\notepad.exe c:\notes.txt,My notes)",
    R"("C:\Program Files\Mozilla Firefox\firefox.exe" -private-window,"Browse, privately",2)",
    R"(https://www.example.org/news/today.html,Today's news)",
    R"(C:\Users\Ann\Documents\Quarterly report.docx,Report,C:\Icons\report.ico)",
    R"(C:\Tools\putty.exe -load "work server",Work server)",
    R"(\\fileserver\shared\Team folder)",
    R"("C:\Program Files (x86)\Steam\steam.exe" -silent,,1)",
    R"(ftp://ftp.example.org/pub/,Downloads,%USERPROFILE%\icons\ftp.ico)",
};

void ParseCommandLines(benchmark::State& state) {
    testing::FakeSystem system;
    system.env.variables = {{"windir", "C:\\Windows"}, {"USERPROFILE", "C:\\Users\\Ann"}};
    std::size_t next = 0;
    for (auto _ : state) {
        const auto fields = subParseInputLine(system.program, kCommandLines[next]);
        benchmark::DoNotOptimize(fields);
        next = (next + 1) % kCommandLines.size();
    }
    if (!system.boxes.shown.empty()) {
        state.SkipWithError("a benchmark line was rejected");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(ParseCommandLines);

const std::array<std::string, 6> kOptionLines = {
    "ClickMode=SINGLE",
    "ExitDisabled=False, RightMouseMenuDisabled=True",
    "; Perchlet's options: one key=value item per line, or several separated by commas",
    "\"ClickMode=DOUBLE, please\" ,ExitDisabled=True ",
    "RightMouseMenuDisabled=False,ClickMode=SINGLE,ExitDisabled=False,",
    "",
};

void SplitOptionItems(benchmark::State& state) {
    std::int64_t items = 0;
    std::size_t next = 0;
    for (auto _ : state) {
        const auto split = splitOptionItems(kOptionLines[next]);
        items += static_cast<std::int64_t>(split.size());
        benchmark::DoNotOptimize(split.data());
        next = (next + 1) % kOptionLines.size();
    }
    state.SetItemsProcessed(items);
}
BENCHMARK(SplitOptionItems);

// A typical program icon: 16, 24, 32 and 48 pixels at 32 bits, and a 256-pixel PNG.
struct IconGroup {
    testing::Bytes group;
    std::vector<testing::Bytes> images;  // by image id - 1
    std::size_t fileBytes = 0;

    IconGroup() {
        const std::vector<testing::GroupEntry> entries = {
            {16, 16, 0, 1, 32, 1128, 1}, {24, 24, 0, 1, 32, 2440, 2}, {32, 32, 0, 1, 32, 4264, 3},
            {48, 48, 0, 1, 32, 9640, 4}, {0, 0, 0, 1, 32, 31260, 5},
        };
        group = testing::groupBytes(entries);
        fileBytes = 6 + 16 * entries.size();
        for (const auto& entry : entries) {
            images.push_back(testing::imageBytes(entry.imageId, entry.bytesInResource));
            fileBytes += entry.bytesInResource;
        }
    }
    IconImageLookup lookup() const {
        return [this](std::uint16_t id) -> ResourceBytes {
            if (id == 0 || id > images.size()) {
                return {};
            }
            return {ResourceStatus::Found, images[id - 1]};
        };
    }
};

void BuildIcoFile(benchmark::State& state) {
    const IconGroup icon;
    const IconImageLookup lookup = icon.lookup();
    for (auto _ : state) {
        IcoBuild build = buildIcoFile(icon.group, lookup);
        benchmark::DoNotOptimize(build.file.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * icon.fileBytes));
}
BENCHMARK(BuildIcoFile);

// The same number of bytes moved by one memcpy into a buffer made beforehand: the most any
// builder could hope for.
void MemcpyIcoBytes(benchmark::State& state) {
    const IconGroup icon;
    const testing::Bytes source(icon.fileBytes, 0x5A);
    testing::Bytes file(icon.fileBytes);
    for (auto _ : state) {
        std::memcpy(file.data(), source.data(), source.size());
        benchmark::DoNotOptimize(file.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * icon.fileBytes));
}
BENCHMARK(MemcpyIcoBytes);

}  // namespace
}  // namespace perchlet

BENCHMARK_MAIN();
