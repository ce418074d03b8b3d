#pragma once
#include "common/system.h"

namespace perchlet::win32 {

class Win32Files : public Files {
public:
    bool isOrdinaryFile(const std::string& path) const override;
    bool exists(const std::string& path) const override;
    void createFolder(const std::string& path) override;
    std::unique_ptr<OutputFile> openAppend(const std::string& path) override;
    std::unique_ptr<InputFile> openRead(const std::string& path) override;
};

}  // namespace perchlet::win32
