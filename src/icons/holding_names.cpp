#include "icons/holding_names.h"

#include <charconv>

namespace perchlet {

std::string holdingFileName(const std::string& folder, std::int32_t n) {
    return folder + "\\" + std::to_string(n) + ".ico";
}

std::string holdingTemporaryName(const std::string& path, std::uint32_t processId) {
    return path + "." + std::to_string(processId) + ".tmp";
}

std::optional<std::uint32_t> holdingTemporaryOwner(std::string_view fileName) {
    constexpr std::string_view kTmp = ".tmp";
    constexpr std::string_view kIco = ".ico";
    if (fileName.size() <= 8 || !fileName.ends_with(kTmp)) {
        return std::nullopt;
    }
    const std::string_view rest = fileName.substr(0, fileName.size() - kTmp.size());
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string_view::npos || !rest.substr(0, dot).ends_with(kIco)) {
        return std::nullopt;
    }
    const std::string_view id = rest.substr(dot + 1);
    std::uint32_t owner = 0;
    const auto [end, error] = std::from_chars(id.data(), id.data() + id.size(), owner);
    if (id.empty() || id.size() > 10 || id.find_first_not_of("0123456789") != id.npos ||
        error != std::errc() || end != id.data() + id.size()) {
        return std::nullopt;
    }
    return owner;
}

}  // namespace perchlet
