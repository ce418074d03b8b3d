#pragma once
// mnuPopup: an entry's menu of "Launch!", "Cancel Menu" and "Exit Perchlet...", and the extended
// menu that adds "Run as administrator" and "Open file location".
#include <windows.h>

#include "platform/handles.h"

namespace perchlet::win32 {

class PopupMenu {
public:
    // "Exit Perchlet..." greyed when exitDisabled. Should the system have no menu left to give,
    // the entry goes on without one: its right click then shows nothing.
    // The extended menu has the further items, "Open file location" greyed unless
    // locationOpens.
    explicit PopupMenu(bool exitDisabled, bool extended = false, bool locationOpens = false);
    // Shows the menu at that point on behalf of the window, leaving keepClear (if any) uncovered;
    // the index of the chosen item, 0 when the menu was closed without a choice.
    int show(HWND window, POINT at, const RECT* keepClear) const;

private:
    MenuHandle menu_;
};

}  // namespace perchlet::win32
