#pragma once
// Everything icon resolution needs from Windows, in one place for the tray entries.
#include "icons/icon_system.h"
#include "platform/holding_file_win32.h"
#include "platform/icon_picture_win32.h"
#include "platform/module_resources_win32.h"
#include "platform/registry_win32.h"

namespace perchlet::win32 {

struct Win32IconServices {
    Win32Registry registry;
    Win32ModuleResources modules;
    Win32HoldingFiles holdingFiles;
    IconServices services{registry, modules, holdingFiles};

    Win32IconServices() = default;
    Win32IconServices(const Win32IconServices&) = delete;
    Win32IconServices& operator=(const Win32IconServices&) = delete;
};

}  // namespace perchlet::win32
