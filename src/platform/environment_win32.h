#pragma once
#include "common/system.h"

namespace perchlet::win32 {

class Win32Environment : public Environment {
public:
    std::string variable(const std::string& name) const override;
};

}  // namespace perchlet::win32
