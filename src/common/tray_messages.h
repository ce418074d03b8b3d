#pragma once
// The window messages of the tray icons: the one the shell reports an icon's events with, and the
// mouse and keyboard messages it carries, which the options name and the entries act on.
#include <cstdint>

namespace perchlet {

// The message the shell sends the hidden window for an event on an icon (WM_MOUSEMOVE, as the
// icons have always used); the event itself comes with it.
inline constexpr std::uint32_t kTrayCallbackMessage = 0x200;

// The left button's release (WM_LBUTTONUP) and its double click (WM_LBUTTONDBLCLK): the mouse
// messages a click mode launches on.
inline constexpr std::int32_t kSingleClickMessage = 514;
inline constexpr std::int32_t kDoubleClickMessage = 515;
inline constexpr std::uint32_t kRightButtonDown = 0x204;
inline constexpr std::uint32_t kRightButtonUp = 0x205;
// What a shell of Windows 2000 or later adds for an icon of the 5.0 behaviour: the context menu
// asked for (after a right click, or with the menu key), and the icon chosen with the mouse or
// with the keyboard (Enter or Space).
inline constexpr std::uint32_t kContextMenu = 0x7B;  // WM_CONTEXTMENU
inline constexpr std::uint32_t kSelect = 0x400;      // NIN_SELECT
inline constexpr std::uint32_t kKeySelect = 0x401;   // NIN_KEYSELECT

}  // namespace perchlet
