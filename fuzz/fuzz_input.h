#pragma once
// Reading a fuzzer's bytes as the few simple records each target is given, and failing a run on
// a broken promise of the code under test.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace perchlet::fuzzing {

class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return rest_.empty(); }

    // The bytes before the next separator, or all that is left; the separator is passed over.
    std::string_view until(char separator) {
        const auto at = rest_.find(separator);
        const std::string_view piece = rest_.substr(0, at);
        rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + 1);
        return piece;
    }

    // At most count bytes: fewer when the input ends first.
    std::string_view take(std::size_t count) {
        const std::string_view piece = rest_.substr(0, count);
        rest_.remove_prefix(piece.size());
        return piece;
    }

    // Missing bytes read as 0, so a short input is still a whole record.
    std::uint8_t byte() {
        const std::string_view piece = take(1);
        return piece.empty() ? 0 : static_cast<std::uint8_t>(piece[0]);
    }

    // Little-endian, as the icon records are.
    std::uint16_t u16() {
        const std::uint8_t low = byte();
        return static_cast<std::uint16_t>(low | (byte() << 8));
    }

private:
    std::string_view rest_;
};

[[noreturn]] inline void checkFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, condition);
    std::abort();
}

}  // namespace perchlet::fuzzing

// Aborts the run, which libFuzzer reports as a crash with the input that caused it.
#define FUZZ_CHECK(condition) \
    ((condition) ? void() : ::perchlet::fuzzing::checkFailed(#condition, __FILE__, __LINE__))
