#pragma once
#include "common/system.h"

namespace perchlet::win32 {

class Win32Process : public Process {
public:
    VersionRecord versionRecord() const override;
    std::string commandLineArguments() const override;
    std::string executableFolder() const override;
    std::string systemTempFolder() const override;
    void initCommonControls() override;
};

}  // namespace perchlet::win32
