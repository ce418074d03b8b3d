// The texts the Win32 layer hands over or reads: the raw command line, text files read in
// chunks, and the names of the holding files' temporaries.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/line_reader.h"
#include "icons/holding_names.h"
#include "startup/arguments.h"

namespace perchlet {
namespace {

TEST(ArgumentsOf, SkipsTheProgramNameAndOneBlank) {
    struct Case {
        const char* commandLine;
        const char* arguments;
    } cases[] = {
        {"Perchlet.exe /BATCH:x", "/BATCH:x"},
        {"\"C:\\Program Files\\Perchlet.exe\"  two blanks", " two blanks"},
        {"\"C:\\A B\\P.exe\"x", "x"},  // no blank after the quote
        {"P.exe\tcmd", "cmd"},
        {"P.exe", ""},
        {"\"unclosed quote x", ""},
        {"", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(argumentsOf(c.commandLine), c.arguments) << c.commandLine;
    }
}

class TextChunks : public ChunkSource {
public:
    explicit TextChunks(std::string text) : text_(std::move(text)) {}
    std::size_t read(std::span<char> into) override {
        const std::size_t n = std::min(into.size(), text_.size() - at_);
        std::copy_n(text_.data() + at_, n, into.data());
        at_ += n;
        return n;
    }

private:
    std::string text_;
    std::size_t at_ = 0;
};

TEST(LineReader, EndsLinesAtCrLfLoneLfAndLoneCrWhateverTheChunks) {
    const std::vector<std::string> abc = {"a", "b", "c"};
    struct Case {
        const char* text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\nc\r", abc},       {"a\rb\r\nc", abc}, {"a\n\nb", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},     {"\n\r", {"", ""}}, {"", {}},
        {"one line", {"one line"}},
    };
    for (const auto& c : cases) {
        for (const std::size_t chunk : {1u, 2u, 3u, 64u}) {
            LineReader reader(std::make_unique<TextChunks>(c.text), chunk);
            std::vector<std::string> lines;
            for (std::string line; reader.readLine(line);) {
                lines.push_back(line);
            }
            EXPECT_EQ(lines, c.lines) << c.text << " in chunks of " << chunk;
        }
    }
}

TEST(HoldingTemporaries, AreNamedByTheProcessThatWritesThem) {
    EXPECT_EQ(holdingTemporaryName("C:\\d\\3.ico", 4242), "C:\\d\\3.ico.4242.tmp");
    struct Case {
        const char* name;
        std::optional<std::uint32_t> owner;
    } cases[] = {
        {"3.ico.4242.tmp", 4242u},    {"x.ico.4294967295.tmp", 4294967295u},
        {"x.ico.4294967296.tmp", {}}, {"x.ico.-1.tmp", {}},
        {"x.ico..tmp", {}},           {"x.ico.12a.tmp", {}},
        {"x.icon.12.tmp", {}},        {".ico.1.tmp", 1u},
        {"3.ico.4242.tmp.tmp", {}},   {"ico.12.tmp", {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(holdingTemporaryOwner(c.name), c.owner) << c.name;
    }
}

}  // namespace
}  // namespace perchlet
