#pragma once
#include "common/system.h"

namespace perchlet::win32 {

class Win32Clock : public Clock {
public:
    LocalTime now() const override;
    std::string dateSeparator() const override;
    std::string timeSeparator() const override;
};

}  // namespace perchlet::win32
