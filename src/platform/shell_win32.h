#pragma once
#include "tray/launch.h"

namespace perchlet::win32 {

class Win32Shell : public Shell {
public:
    std::intptr_t open(const std::string& target, const std::string& parameters) override;
    std::optional<std::intptr_t> runAsAdministrator(const std::string& target,
                                                    const std::string& parameters) override;
    void openLocation(const std::string& path) override;
};

}  // namespace perchlet::win32
