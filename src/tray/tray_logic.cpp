#include "tray/tray_logic.h"

#include <algorithm>

#include "common/unicode.h"

namespace perchlet {

TrayAction decideTrayEvent(std::uint32_t mouseMessage, const Options& options) {
    if (mouseMessage == static_cast<std::uint32_t>(options.ClickMode)) {
        return TrayAction::Launch;
    }
    if (!options.RightMouseMenuDisabled && mouseMessage == kRightButtonDown) {
        return TrayAction::OpenMenu;
    }
    return TrayAction::None;
}

MenuAction menuItemAction(int index) {
    switch (index) {
        case 1:
            return MenuAction::Launch;
        case 5:
            return MenuAction::Exit;
        default:
            return MenuAction::None;
    }
}

std::array<char16_t, 64> tipField(const std::string& tooltip) {
    std::array<char16_t, 64> field;
    field.fill(u' ');
    const std::u16string text = utf16FromUtf8(tooltip);
    const std::size_t length = utf16UnitsCut(text, field.size() - 1);
    std::copy_n(text.begin(), length, field.begin());
    field[length] = u'\0';
    return field;
}

std::string exitQuestion(std::int32_t iconCount) {
    if (iconCount == 1) {
        return "Exiting Perchlet will remove the icon currently managed by it. Are you sure?";
    }
    return "Exiting Perchlet will remove the " + std::to_string(iconCount) +
           " icons currently managed by it. Are you sure?";
}

}  // namespace perchlet
