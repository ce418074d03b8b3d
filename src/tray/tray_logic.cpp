#include "tray/tray_logic.h"

#include <algorithm>

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

std::array<char, 64> tipField(const std::string& tooltip) {
    std::array<char, 64> field;
    field.fill(' ');
    const std::size_t length = std::min<std::size_t>(tooltip.size(), field.size() - 1);
    std::copy_n(tooltip.begin(), length, field.begin());
    field[length] = '\0';
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
