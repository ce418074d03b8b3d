#pragma once
#include "common/system.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

class Win32Files : public Files {
public:
    bool isOrdinaryFile(const std::string& path) const override;
    bool exists(const std::string& path) const override;
    void createFolder(const std::string& path) override;
    // A new file, or an existing one that starts with the UTF-8 mark, is written in UTF-8 (a
    // new one gets the mark); any other goes on in the ANSI code page it was written in.
    std::unique_ptr<OutputFile> openAppend(const std::string& path) override;
    std::unique_ptr<InputFile> openRead(const std::string& path) override;

private:
    Win32AnsiCodePage ansi_;
};

}  // namespace perchlet::win32
