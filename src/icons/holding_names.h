#pragma once
// The names of the temporaries an icon holding file is written to before it replaces the file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace perchlet {

// Beside the target, so the move stays on one volume and replaces it in one step; named by the
// process so that two running copies do not write into each other's file:
// "<path>.<process id>.tmp".
std::string holdingTemporaryName(const std::string& path, std::uint32_t processId);

// The process that wrote a temporary of an .ico holding file, from the file's name
// ("<name>.ico.<process id>.tmp"); nothing for any other name.
std::optional<std::uint32_t> holdingTemporaryOwner(std::string_view fileName);

}  // namespace perchlet
