#pragma once
// The ids the icons have with the shell. Windows keeps the user's choice to show an icon on the
// task bar by the program's path and the icon's id, so the id comes from the command as written,
// not from its place among the lines: the choice stays with the command when lines are added,
// removed or reordered.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace perchlet {

// FNV-1a over the UTF-8 bytes: the same on every run, build and machine.
std::uint32_t commandHash(std::string_view command);

class IconIds {
public:
    using Hash = std::uint32_t (*)(std::string_view);
    explicit IconIds(Hash hash = commandHash) : hash_(hash) {}

    // The id of the next line with this command: its hash, plus the number of lines before it
    // with the same command; should that be taken already (or 0, which names no icon), the next
    // free one.
    std::uint32_t take(const std::string& command);

private:
    bool taken(std::uint32_t id) const;

    Hash hash_;
    std::vector<std::string> commands_;
    std::vector<std::uint32_t> ids_;
};

}  // namespace perchlet
