#pragma once
// Icon holding files, replaced whole or not at all.
#include <set>
#include <string>

#include "icons/icon_system.h"

namespace perchlet::win32 {

class Win32HoldingFiles : public HoldingFileWriter {
public:
    bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) override;

private:
    std::set<std::string> sweptFolders_;
};

}  // namespace perchlet::win32
