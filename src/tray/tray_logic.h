#pragma once
// Decisions of the tray entries that need no window.
#include <array>
#include <cstdint>
#include <string>

#include "common/program.h"

namespace perchlet {

inline constexpr int kMaxTrayEntries = 30;
inline constexpr std::uint32_t kTrayCallbackMessage = 0x200;
inline constexpr std::uint32_t kRightButtonDown = 0x204;

enum class TrayAction { None, Launch, OpenMenu };
// What one mouse message on an icon does under the options.
TrayAction decideTrayEvent(std::uint32_t mouseMessage, const Options& options);

// The popup menu's items, by index: 1 "Launch!", 3 "Cancel Menu", 5 "Exit Perchlet...".
enum class MenuAction { None, Launch, Exit };
MenuAction menuItemAction(int index);
inline constexpr const char* kMenuCaptions[] = {"Launch!", "-", "Cancel Menu", "-",
                                                "Exit Perchlet..."};

// The tooltip as the shell's 64-unit UTF-16 field holds it: the text, a NUL, blanks to the end.
// A longer text is cut to 63 units so the NUL always ends it, and never inside a character.
std::array<char16_t, 64> tipField(const std::string& tooltip);

// The question of the exit dialog for the number of icons.
std::string exitQuestion(std::int32_t iconCount);

}  // namespace perchlet
