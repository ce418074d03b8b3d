#pragma once
// The tray entries by number, 1 to kMaxTrayEntries. An entry counts only once it is stored whole:
// making one may show a box, whose message loop runs whatever the user does meanwhile (an exit
// chosen on an icon already shown), and that must meet only entries that exist.
#include <array>
#include <cstdint>
#include <memory>

#include "tray/tray_logic.h"

namespace perchlet {

template <typename Entry>
class TrayEntryTable {
public:
    // The entries stored so far; the numbers 1 to count() have been given out.
    std::int32_t count() const { return count_; }
    bool full() const { return count_ >= kMaxTrayEntries; }
    // The number the entry being made gets when it is stored.
    std::int32_t nextNumber() const { return count_ + 1; }
    // Stores the entry made for nextNumber() and counts it; returns its number.
    std::int32_t store(std::unique_ptr<Entry> entry) {
        if (full() || !entry) {
            return 0;
        }
        entries_[++count_] = std::move(entry);
        return count_;
    }
    // Entry n; none for a number not given out, or an entry removed.
    Entry* find(std::int32_t n) const {
        return n >= 1 && n <= count_ ? entries_[n].get() : nullptr;
    }
    // Removes entry n; its number is not given out again.
    void remove(std::int32_t n) {
        if (n >= 1 && n <= count_) {
            entries_[n].reset();
        }
    }

private:
    std::int32_t count_ = 0;
    std::array<std::unique_ptr<Entry>, kMaxTrayEntries + 1> entries_;
};

}  // namespace perchlet
