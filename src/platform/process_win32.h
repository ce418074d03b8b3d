#pragma once
#include "common/system.h"

namespace perchlet::win32 {

class Win32Process : public Process {
public:
    VersionRecord versionRecord() const override;
    std::string commandLine() const override;
    std::string executableFolder() const override;
    std::string systemTempFolder() const override;
};

}  // namespace perchlet::win32
