#include "platform/message_boxes_win32.h"

#include <windows.h>

#include "platform/common_controls_win32.h"
#include "platform/wide_text.h"

namespace perchlet::win32 {

void Win32MessageBoxes::show(const std::string& prompt, unsigned iconFlags,
                             const std::string& title) {
    if (watcher != nullptr) {
        watcher->beforeBox();
    }
    ensureCommonControls();
    MessageBoxW(nullptr, toWide(prompt).c_str(), toWide(title).c_str(),
                MB_OK | MB_SETFOREGROUND | iconFlags);
}

}  // namespace perchlet::win32
