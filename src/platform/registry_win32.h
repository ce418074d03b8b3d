#pragma once
// The registry reader of icon resolution: read only, every value read whole.
#include "icons/icon_system.h"

namespace perchlet::win32 {

class Win32Registry : public RegistryReader {
public:
    std::optional<std::string> readValue(RegistryRoot root, const std::string& subKey,
                                         const std::string& valueName) const override;
};

}  // namespace perchlet::win32
