// The texts the Win32 layer hands over or reads: the raw command line, text files read in
// chunks and decoded, and the names of the holding files' temporaries.
#include <gtest/gtest.h>

#include <algorithm>

#include "common/line_reader.h"
#include "common/unicode.h"
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

// A Western ANSI code page: 0xE9 is "é", every other byte above ASCII shows as "?".
class FakeAnsi : public AnsiCodePage {
public:
    std::string toUtf8(std::string_view bytes) const override {
        std::string text;
        for (const char c : bytes) {
            text += c == '\xE9' ? "\xC3\xA9" : c < 0 ? "?" : std::string(1, c);
        }
        return text;
    }
};

TEST(LineReader, DecodesAndEndsLinesAtCrLfLoneLfAndLoneCrWhateverTheChunks) {
    using namespace std::string_literals;
    const std::vector<std::string> abc = {"a", "b", "c"};
    struct Case {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"a\r\nb\nc\r", abc},
        {"a\rb\r\nc", abc},
        {"a\n\nb", {"a", "", "b"}},
        {"\r\n\r\n", {"", ""}},
        {"\n\r", {"", ""}},
        {"", {}},
        {"one line", {"one line"}},
        {"J\xC3\xBCrgen\r\n\xE8\xA1\xA8", {"J\xC3\xBCrgen", "\xE8\xA1\xA8"}},
        // A mark is no part of the first line; invalid UTF-8 after one becomes U+FFFD.
        {"\xEF\xBB\xBF;c\r\nx", {";c", "x"}},
        {"\xEF\xBB\xBF", {}},
        {"\xFF\xFE"s, {}},
        {"\xEF\xBB\xBFx\xFFy\xE8\xA1", {"x\xEF\xBF\xBDy\xEF\xBF\xBD\xEF\xBF\xBD"}},
        {"\xFF\xFEx\0\r\0\n\0\xFC\0"s, {"x", "\xC3\xBC"}},
        {"\xFE\xFF\0x\0\r\0\n\xD8\x3D\xDE\x00"s, {"x", "\xF0\x9F\x98\x80"}},
        {"\xFF\xFE\x00\xD8x\0y"s, {"\xEF\xBF\xBDx\xEF\xBF\xBD"}},  // lone surrogate, odd byte
        // One invalid sequence anywhere makes the whole file ANSI, as files were always read:
        // here also an overlong form, a surrogate and a value past U+10FFFF.
        {"caf\xE9\r\nJ\xC3\xBC", {"caf\xC3\xA9", "J??"}},
        {"\xC0\xAF\r\n\xED\xA0\x80\xF4\x90\x80\x80", {"??", "???????"}},
    };
    const FakeAnsi ansi;
    for (const auto& c : cases) {
        for (const std::size_t chunk : {1u, 2u, 3u, 64u}) {
            LineReader reader(std::make_unique<TextChunks>(c.text), ansi, chunk);
            std::vector<std::string> lines;
            for (std::string line; reader.readLine(line);) {
                lines.push_back(line);
            }
            EXPECT_EQ(lines, c.lines) << c.text << " in chunks of " << chunk;
        }
    }
}

TEST(HoldingTemporaries, AreNamedByTheProcessThatWritesThem) {
    EXPECT_EQ(holdingFileName("C:\\d", 3), "C:\\d\\3.ico");
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

// The system's wide text is made in place, unit for unit as the UTF-16 text, invalid bytes too.
TEST(WideText, HoldsTheSameUnitsAsUtf16) {
    for (const char* text : {"", "a,b", "\xE8\xA1\xA8", "\xF0\x9F\x98\x80", "\xC3", "a\xE2\x82z"}) {
        const std::u16string utf16 = utf16FromUtf8(text);
        EXPECT_TRUE(std::ranges::equal(wideFromUtf8(text), utf16, [](wchar_t w, char16_t u) {
            return static_cast<std::uint32_t>(w) == u;
        })) << text;
    }
}

}  // namespace
}  // namespace perchlet
