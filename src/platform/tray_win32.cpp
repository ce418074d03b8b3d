#include "platform/tray_win32.h"

#include "platform/last_error_win32.h"

namespace perchlet::win32 {

namespace {

constexpr UINT kFadeInterval = 800;
// The scale is read again this long after a display's change, once the task bar has followed.
constexpr UINT kScaleDelay = 500;

}  // namespace

bool Win32EntryIcon::usePicture(const std::string& iconFile) {
    TrayPictures::Loaded loaded;
    if (!iconFile.empty()) {
        loaded = common_.pictures.load(iconFile);
    }
    if (loaded.picture) {
        picTrayIcon_ = std::move(loaded.picture);
        defaultPicture_ = false;
        pictureFile_ = std::move(loaded.file);
        return true;
    }
    picTrayIcon_ = common_.pictures.picDefault();
    return iconFile.empty();
}

void Win32EntryIcon::showFadePicture(FadeDirection direction) {
    if (!common_.window.alive()) {
        raiseWindowsError(ERROR_INVALID_WINDOW_HANDLE);
    }
    const bool up = direction == FadeDirection::Up;
    if (up && !picMerged_) {
        // Drawn when first shown: most runs never ask to exit, and start-up is quicker.
        picMerged_ = common_.pictures.crossed(picTrayIcon_);
    }
    const Picture& picture = up ? picMerged_ : picTrayIcon_;
    record_.change(picture ? picture->get() : nullptr);
}

int Win32EntryIcon::showMenu(bool atIcon, Extras extras) {
    const HWND window = common_.window.hwnd();
    POINT pointer{};
    if (!GetCursorPos(&pointer)) {
        // Refused while another desktop takes the input: where it was at the icon's message.
        const DWORD position = GetMessagePos();
        const POINTS at = MAKEPOINTS(position);
        pointer = {at.x, at.y};
    }
    // The keyboard's menu opens at the top-left corner of its icon, clear of it, where the shell
    // tells where that is: the pointer may have been left anywhere.
    const std::optional<RECT> icon = atIcon ? record_.rect() : std::nullopt;
    // The extended menu is made as it opens: whether its location item can be chosen is
    // decided then.
    std::optional<PopupMenu> extended;
    if (extras.shown) {
        extended.emplace(exitDisabled_, true, extras.locationOpens);
    }
    const PopupMenu& menu = extended ? *extended : mnuPopup_;
    const int index =
        menu.show(window, icon ? POINT{icon->left, icon->top} : pointer, icon ? &*icon : nullptr);
    // Closed with Esc or "Cancel Menu"; one closed by a click elsewhere leaves the focus where
    // that click put it.
    if (menuLeavesFocus(index) && GetForegroundWindow() == window) {
        record_.returnFocus();
    }
    return index;
}

void Win32EntryIcon::followScale(bool tellShell) {
    // Made from what was read when the entry was made, never from the file again. A picture
    // that cannot be made again, or whose file was too large to keep, stays as it is.
    Picture remade;
    if (defaultPicture_) {
        remade = common_.pictures.picDefault();
    } else if (pictureFile_) {
        remade = common_.pictures.make(*pictureFile_);
    }
    if (remade) {
        picTrayIcon_ = std::move(remade);
    }
    picMerged_.reset();  // drawn again at the next fade tick that shows it
    // The shell's record must not keep a picture that is gone.
    record_.change(picTrayIcon_ ? picTrayIcon_->get() : nullptr, tellShell);
}

TrayCommon& Win32Tray::frmCommon() {
    if (!frmCommon_) {
        HiddenWindowMessages& messages = *this;
        ShellIconList& icons = *this;
        frmCommon_ = std::make_unique<TrayCommon>(instance_, program_, messages, icons);
    }
    return *frmCommon_;
}

TrayHost::MadeIcon Win32Tray::makeIcon(const EntryIconSpec& spec) {
    auto icon = std::make_unique<Win32EntryIcon>(frmCommon(), spec, program_.options.ExitDisabled);
    const bool asAsked = icon->usePicture(spec.iconFile);
    return {std::move(icon), asAsked};
}

void Win32Tray::startFadeTimer() {
    frmCommon().window.startTimer(kFadeTimer, kFadeInterval);
}

void Win32Tray::stopFadeTimer() {
    frmCommon().window.stopTimer(kFadeTimer);
}

void Win32Tray::endProgram() {
    frmCommon_.reset();
    program_.logFile.reset();
    reportLiveObjects("at shutdown");
    ExitProcess(0);
}

void Win32Tray::iconEvent(UINT id, UINT mouseMessage) {
    // The keys as they are now, a moment after the click: the shell sends the click, so this
    // thread has read no key message that GetKeyState's view would follow.
    const HeldKeys keys{(GetAsyncKeyState(VK_SHIFT) & 0x8000) != 0,
                        (GetAsyncKeyState(VK_CONTROL) & 0x8000) != 0};
    entries_.iconEvent(id, mouseMessage, keys);
}

void Win32Tray::timerTick(UINT_PTR timer) {
    if (timer == kFadeTimer) {
        entries_.tmrFade_Timer();
        reportLiveObjects("after a fade tick");
    } else if (timer == kRetryTimer) {
        frmCommon().shell.retry();
    } else if (timer == kScaleTimer) {
        frmCommon().window.stopTimer(kScaleTimer);
        followDisplayScale(true);
    }
}

void Win32Tray::taskbarCreated() {
    followDisplayScale(false);  // the additions carry the new pictures
    frmCommon().shell.addAllAgain();
}

void Win32Tray::displayChanged() {
    // Several of these come for one change: one look once they are over. Without a timer the
    // look is taken now.
    if (!frmCommon().window.startTimer(kScaleTimer, kScaleDelay)) {
        followDisplayScale(true);
    }
}

void Win32Tray::followDisplayScale(bool tellShell) {
    if (!frmCommon().pictures.followScale()) {
        return;
    }
    forEachEntryIcon([&](Win32EntryIcon& icon) { icon.followScale(tellShell); });
}

void Win32Tray::forEachShellIcon(const std::function<void(ShellIcon&)>& visit) {
    forEachEntryIcon([&](Win32EntryIcon& icon) { visit(icon.shellIcon()); });
}

}  // namespace perchlet::win32
