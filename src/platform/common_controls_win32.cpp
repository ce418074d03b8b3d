#include "platform/common_controls_win32.h"

#include <windows.h>

namespace perchlet::win32 {

void ensureCommonControls() {
    static bool loaded = false;
    if (loaded) {
        return;
    }
    loaded = true;
    if (HMODULE library = LoadLibraryW(L"comctl32.dll")) {
        using Init = void(WINAPI*)();
        // Through void (*)(): the one function type any other converts to without a warning.
        const auto init = reinterpret_cast<Init>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "InitCommonControls")));
        if (init != nullptr) {
            init();
        }
    }
}

}  // namespace perchlet::win32
