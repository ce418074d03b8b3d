#pragma once
// Icon holding files, replaced whole or not at all.
#include "icons/icon_system.h"

namespace perchlet::win32 {

class Win32HoldingFiles : public HoldingFileWriter {
public:
    bool replaceWith(const std::string& path, std::span<const std::uint8_t> bytes) override;
};

}  // namespace perchlet::win32
