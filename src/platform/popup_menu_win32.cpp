#include "platform/popup_menu_win32.h"

#include "platform/wide_text.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

PopupMenu::PopupMenu(bool exitDisabled, bool extended, bool locationOpens)
    : menu_(CreatePopupMenu()) {
    const int last = extended ? kMenuOpenLocation : kMenuExit;
    for (int index = 1; index <= last; ++index) {
        const char* caption = menuCaption(index);
        if (caption[0] == '-') {
            AppendMenuW(menu_.get(), MF_SEPARATOR, index, nullptr);
        } else {
            const bool greyed = (index == kMenuExit && exitDisabled) ||
                                (index == kMenuOpenLocation && !locationOpens);
            const UINT state = greyed ? MF_GRAYED : 0;
            AppendMenuW(menu_.get(), MF_STRING | state, index, toWide(caption).c_str());
        }
    }
}

int PopupMenu::show(HWND window, POINT at, const RECT* keepClear) const {
    // Without being the foreground window the menu would not close on a click elsewhere.
    SetForegroundWindow(window);
    TPMPARAMS params{sizeof params, keepClear != nullptr ? *keepClear : RECT{}};
    // Kept clear of its icon, the menu goes above or below it, as the task bar leaves room.
    const int index = TrackPopupMenuEx(menu_.get(), TPM_RETURNCMD | (keepClear ? TPM_VERTICAL : 0),
                                       at.x, at.y, window, keepClear ? &params : nullptr);
    PostMessageW(window, WM_NULL, 0, 0);
    return index;
}

}  // namespace perchlet::win32
