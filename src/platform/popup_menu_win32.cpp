#include "platform/popup_menu_win32.h"

#include "platform/wide_text.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

PopupMenu::PopupMenu(bool exitDisabled) : menu_(CreatePopupMenu()) {
    for (int index = 1; index <= 5; ++index) {
        const char* caption = kMenuCaptions[index - 1];
        if (caption[0] == '-') {
            AppendMenuW(menu_.get(), MF_SEPARATOR, index, nullptr);
        } else {
            const UINT state = index == 5 && exitDisabled ? MF_GRAYED : 0;
            AppendMenuW(menu_.get(), MF_STRING | state, index, toWide(caption).c_str());
        }
    }
}

int PopupMenu::show(HWND window) const {
    POINT at;
    GetCursorPos(&at);
    // Without being the foreground window the menu would not close on a click elsewhere.
    SetForegroundWindow(window);
    const int index = TrackPopupMenu(menu_.get(), TPM_RETURNCMD, at.x, at.y, 0, window, nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    return index;
}

}  // namespace perchlet::win32
