#include "tray/tray_logic.h"

#include <algorithm>
#include <utility>

#include "common/unicode.h"

namespace perchlet {

TrayAction decideTrayEvent(std::uint32_t mouseMessage, const Options& options, HeldKeys keys) {
    if (mouseMessage == static_cast<std::uint32_t>(options.ClickMode)) {
        return keys.shift && keys.control ? TrayAction::LaunchAsAdministrator : TrayAction::Launch;
    }
    if (mouseMessage == kKeySelect && options.ClickMode != 0) {
        return TrayAction::Launch;
    }
    if (options.RightMouseMenuDisabled) {
        return TrayAction::None;
    }
    if (mouseMessage == kRightButtonDown) {
        return keys.shift ? TrayAction::ExtendedMenu : TrayAction::OpenMenu;
    }
    return mouseMessage == kContextMenu ? TrayAction::KeyMenu : TrayAction::None;
}

TrayAction TrayEventReader::read(std::uint32_t id, std::uint32_t message, std::uint64_t time,
                                 std::uint64_t repeatWithin, const Options& options,
                                 HeldKeys keys) {
    const std::uint32_t previous = std::exchange(previous_, message);
    if (message == kContextMenu && previous == kRightButtonUp) {
        return TrayAction::None;  // the menu opened on the press already
    }
    if (message == kKeySelect) {
        const bool repeated =
            keySelectAt_ != 0 && id == keySelectId_ && time - keySelectAt_ < repeatWithin;
        keySelectId_ = id;
        keySelectAt_ = time == 0 ? 1 : time;
        if (repeated) {
            return TrayAction::None;
        }
    }
    return decideTrayEvent(message, options, keys);
}

bool menuLeavesFocus(int index) {
    return menuItemAction(index) == MenuAction::None;
}

MenuAction menuItemAction(int index) {
    switch (index) {
        case kMenuLaunch:
            return MenuAction::Launch;
        case kMenuExit:
            return MenuAction::Exit;
        case kMenuRunAsAdministrator:
            return MenuAction::RunAsAdministrator;
        case kMenuOpenLocation:
            return MenuAction::OpenLocation;
        default:
            return MenuAction::None;
    }
}

int trayPictureSide(int sideAtTaskbarScale, int systemSide) {
    constexpr int kLargest = 256;
    for (const int side : {sideAtTaskbarScale, systemSide}) {
        if (side > 0 && side <= kLargest) {
            return side;
        }
    }
    return 16;
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
