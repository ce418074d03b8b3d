#include "platform/common_controls_win32.h"

#include <windows.h>

#include "platform/system_library_win32.h"

namespace perchlet::win32 {

void ensureCommonControls() {
    static bool loaded = false;
    if (loaded) {
        return;
    }
    loaded = true;
    // By name: the manifest's version 6 of the library, not System32's older one.
    using Init = void(WINAPI*)();
    if (const auto init =
            moduleFunction<Init>(loadSystemLibraryByName(L"comctl32.dll"), "InitCommonControls")) {
        init();
    }
}

}  // namespace perchlet::win32
