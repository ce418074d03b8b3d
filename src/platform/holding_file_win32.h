#pragma once
// Icon holding files, replaced whole or not at all.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "icons/icon_system.h"

namespace perchlet::win32 {

class Win32HoldingFiles : public HoldingFileWriter {
public:
    bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) override;

    // The bytes last written to this path by this writer, if it was the last one written: the
    // icon is then taken from memory instead of being read back from the disk.
    std::span<const std::uint8_t> lastWritten(const std::string& path) const;

private:
    std::set<std::string> sweptFolders_;
    std::string lastPath_;
    std::vector<std::uint8_t> lastBytes_;
};

}  // namespace perchlet::win32
