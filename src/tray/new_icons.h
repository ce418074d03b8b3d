#pragma once
// The icons start-up has made and the shell has not yet been handed. The shell shows a run of
// additions much sooner than the same additions spaced out by the work between them, so they go
// together once start-up has made them; a slow start-up still shows what it has made every
// quarter second.
#include <array>
#include <cstddef>
#include <cstdint>

#include "tray/tray_logic.h"

namespace perchlet {

inline constexpr std::uint64_t kShowNewIconsEvery = 250;  // milliseconds

class NewIcons {
public:
    explicit NewIcons(std::uint64_t now) : shownAt_(now) {}

    // Records entry n, made at `now`; true when the icons made so far are due to be shown.
    bool add(std::int32_t n, std::uint64_t now) {
        if (count_ < numbers_.size()) {
            numbers_[count_++] = n;
        }
        return now - shownAt_ >= kShowNewIconsEvery;
    }
    // Hands each entry recorded, in order, to `show`, and starts again from `now`.
    template <typename Show>
    void show(std::uint64_t now, Show&& show) {
        for (std::size_t index = 0; index < count_; ++index) {
            show(numbers_[index]);
        }
        count_ = 0;
        shownAt_ = now;
    }
    // Forgets the entries recorded: their icons are gone.
    void clear() { count_ = 0; }

private:
    std::array<std::int32_t, kMaxTrayEntries> numbers_{};
    std::size_t count_ = 0;
    std::uint64_t shownAt_;
};

}  // namespace perchlet
