#pragma once
// Icon holding files, replaced whole or not at all.
#include <string>
#include <vector>

#include "icons/icon_system.h"

namespace perchlet::win32 {

class Win32HoldingFiles : public HoldingFileWriter {
public:
    bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) override;

private:
    std::vector<std::string> sweptFolders_;  // a handful at most: a list is enough
};

}  // namespace perchlet::win32
