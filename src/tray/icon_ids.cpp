#include "tray/icon_ids.h"

#include <algorithm>

namespace perchlet {

std::uint32_t commandHash(std::string_view command) {
    std::uint32_t hash = 2166136261u;
    for (const char c : command) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 16777619u;
    }
    return hash;
}

bool IconIds::taken(std::uint32_t id) const {
    return id == 0 || std::find(ids_.begin(), ids_.end(), id) != ids_.end();
}

std::uint32_t IconIds::take(const std::string& command) {
    const auto before = std::count(commands_.begin(), commands_.end(), command);
    std::uint32_t id = hash_(command) + static_cast<std::uint32_t>(before);
    while (taken(id)) {
        ++id;  // unsigned: wraps past the top, and 0 is passed over
    }
    commands_.push_back(command);
    ids_.push_back(id);
    return id;
}

}  // namespace perchlet
