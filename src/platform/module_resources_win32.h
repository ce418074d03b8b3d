#pragma once
// Program and library modules mapped as data files, for their icon resources.
#include "icons/icon_system.h"

namespace perchlet::win32 {

class Win32ModuleResources : public ModuleResources {
public:
    std::unique_ptr<ResourceModule> open(const std::string& path) override;
};

}  // namespace perchlet::win32
