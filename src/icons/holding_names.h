#pragma once
// The names of the icon holding files, and of the temporaries one is written to before it
// replaces the file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace perchlet {

// The holding file of entry n's icon in the data folder: "<folder>\\<n>.ico".
std::string holdingFileName(const std::string& folder, std::int32_t n);

// Beside the target, so the move stays on one volume and replaces it in one step; named by the
// process so that two running copies do not write into each other's file:
// "<path>.<process id>.tmp".
std::string holdingTemporaryName(const std::string& path, std::uint32_t processId);

// The process that wrote a temporary of an .ico holding file, from the file's name
// ("<name>.ico.<process id>.tmp"); nothing for any other name.
std::optional<std::uint32_t> holdingTemporaryOwner(std::string_view fileName);

}  // namespace perchlet
