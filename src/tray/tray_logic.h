#pragma once
// Decisions of the tray entries that need no window.
#include <array>
#include <cstdint>
#include <iterator>
#include <string>

#include "common/program.h"
#include "common/tray_messages.h"

namespace perchlet {

inline constexpr int kMaxTrayEntries = 30;

// KeyMenu: the menu asked for with the keyboard, which opens beside its icon, not wherever the
// pointer was left. ExtendedMenu: the menu with the task bar's shortcuts too.
enum class TrayAction { None, Launch, OpenMenu, KeyMenu, ExtendedMenu, LaunchAsAdministrator };
// The modifier keys held when an icon's message is handled.
struct HeldKeys {
    bool shift = false;
    bool control = false;
};
// What one message on an icon does under the options. The keyboard's choice is the launching
// click of the mode, its menu key the right button; the mouse's NIN_SELECT adds nothing to the
// clicks it follows. As on the task bar, Shift with the right button shows more, and Ctrl+Shift
// with the launching click runs as administrator; the keyboard's menu (Shift+F10 included) is
// always the plain one.
TrayAction decideTrayEvent(std::uint32_t mouseMessage, const Options& options, HeldKeys keys = {});

// The same for a run of messages to one window, which tells the keyboard's from the mouse's:
// the context menu message that follows a right click is the click's own, and a keyboard
// choice repeated on one icon within `repeatWithin` milliseconds is one choice.
class TrayEventReader {
public:
    TrayAction read(std::uint32_t id, std::uint32_t message, std::uint64_t time,
                    std::uint64_t repeatWithin, const Options& options, HeldKeys keys = {});

private:
    std::uint32_t previous_ = 0;
    std::uint32_t keySelectId_ = 0;
    std::uint64_t keySelectAt_ = 0;
};

// Whether the notification area should get the keyboard focus back after the popup menu
// closed with this item (0: closed without one).
bool menuLeavesFocus(int index);

// The popup menu's items, by index from 1 (the item's id too): "-" is a separator.
inline constexpr const char* kMenuCaptions[] = {"Launch!", "-", "Cancel Menu", "-",
                                                "Exit Perchlet..."};
inline constexpr int kMenuLaunch = 1;
inline constexpr int kMenuCancel = 3;
inline constexpr int kMenuExit = 5;
static_assert(std::size(kMenuCaptions) == kMenuExit);
// What the extended menu adds after them, by index from kMenuExit + 1.
inline constexpr const char* kExtendedMenuCaptions[] = {"-", "Run as administrator",
                                                        "Open file location"};
inline constexpr int kMenuRunAsAdministrator = 7;
inline constexpr int kMenuOpenLocation = 8;
static_assert(std::size(kExtendedMenuCaptions) == kMenuOpenLocation - kMenuExit);
// The caption of item `index` (1 to kMenuOpenLocation).
inline const char* menuCaption(int index) {
    return index <= kMenuExit ? kMenuCaptions[index - 1]
                              : kExtendedMenuCaptions[index - kMenuExit - 1];
}
enum class MenuAction { None, Launch, Exit, RunAsAdministrator, OpenLocation };
MenuAction menuItemAction(int index);

// The side of the tray pictures in pixels: the system's small icon at the scale of the display
// that holds the task bar when the system can tell it (0 when it cannot: before Windows 10 1607,
// no task bar, or one unaware of scale), else at the system's scale, else 16. A side no icon
// has (beyond 256) counts as untold.
int trayPictureSide(int sideAtTaskbarScale, int systemSide);

// The tooltip as the shell's 64-unit UTF-16 field holds it: the text, a NUL, blanks to the end.
// A longer text is cut to 63 units so the NUL always ends it, and never inside a character.
std::array<char16_t, 64> tipField(const std::string& tooltip);

// The question of the exit dialog for the number of icons.
std::string exitQuestion(std::int32_t iconCount);

}  // namespace perchlet
