#include "platform/tray_win32.h"

#include "platform/last_error_win32.h"

namespace perchlet::win32 {

namespace {

constexpr UINT kFadeInterval = 800;
// The scale is read again this long after a display's change, once the task bar has followed.
constexpr UINT kScaleDelay = 500;

}  // namespace

TrayIcons::Common& TrayIcons::frmCommon() {
    if (!frmCommon_) {
        frmCommon_ = std::make_unique<Common>(instance_, program_, *this);
    }
    return *frmCommon_;
}

bool TrayIcons::makeEntry(std::int32_t n, const std::string& iconFile) {
    TrayPictures& pictures = frmCommon().pictures;
    auto made = std::make_unique<EntryWindows>(program_.options.ExitDisabled);
    TrayPictures::Loaded loaded;
    if (!iconFile.empty()) {
        loaded = pictures.load(iconFile);
    }
    const bool asAsked = iconFile.empty() || loaded.picture;
    if (loaded.picture) {
        made->picTrayIcon = std::move(loaded.picture);
        made->defaultPicture = false;
        made->pictureFile = std::move(loaded.file);
    } else {
        made->picTrayIcon = pictures.picDefault();
    }
    entryWindows_[n] = std::move(made);
    return asAsked;
}

void TrayIcons::showIcon(std::int32_t n, const std::string& tooltip, const std::string& command) {
    if (const EntryWindows* entry = entryWindows_[n].get(); entry != nullptr && frmCommon_) {
        frmCommon_->shell.add(n, entry->picTrayIcon->get(), tooltip, command);
    }
}

void TrayIcons::removeIcon(std::int32_t n) {
    if (frmCommon_) {
        frmCommon_->shell.remove(n);
    }
    entryWindows_[n].reset();
}

void TrayIcons::showFadePicture(std::int32_t n, FadeDirection direction) {
    EntryWindows* entry = entryWindows_[n].get();
    if (entry == nullptr || !frmCommon_ || !frmCommon_->window.alive()) {
        raiseWindowsError(ERROR_INVALID_WINDOW_HANDLE);
    }
    const bool up = direction == FadeDirection::Up;
    if (up && !entry->picMerged) {
        // Drawn when first shown: most runs never ask to exit, and start-up is quicker.
        entry->picMerged = frmCommon_->pictures.crossed(entry->picTrayIcon);
    }
    const Picture& picture = up ? entry->picMerged : entry->picTrayIcon;
    frmCommon_->shell.change(n, picture ? picture->get() : nullptr);
}

int TrayIcons::showMenu(std::int32_t n, bool atIcon) {
    Common& common = frmCommon();
    const HWND window = common.window.hwnd();
    POINT pointer{};
    if (!GetCursorPos(&pointer)) {
        // Refused while another desktop takes the input: where it was at the icon's message.
        const DWORD position = GetMessagePos();
        const POINTS at = MAKEPOINTS(position);
        pointer = {at.x, at.y};
    }
    // The keyboard's menu opens at the top-left corner of its icon, clear of it, where the shell
    // tells where that is: the pointer may have been left anywhere.
    const std::optional<RECT> icon = atIcon ? common.shell.iconRect(n) : std::nullopt;
    const int index = entryWindows_[n]->mnuPopup.show(
        window, icon ? POINT{icon->left, icon->top} : pointer, icon ? &*icon : nullptr);
    // Closed with Esc or "Cancel Menu"; one closed by a click elsewhere leaves the focus where
    // that click put it.
    if (menuLeavesFocus(index) && GetForegroundWindow() == window) {
        common.shell.returnFocus(n);
    }
    return index;
}

void TrayIcons::startFadeTimer() {
    frmCommon().window.startTimer(kFadeTimer, kFadeInterval);
}

void TrayIcons::stopFadeTimer() {
    frmCommon().window.stopTimer(kFadeTimer);
}

void TrayIcons::endProgram() {
    frmCommon_.reset();
    program_.logFile.reset();
    reportLiveObjects("at shutdown");
    ExitProcess(0);
}

void TrayIcons::iconEvent(UINT id, UINT mouseMessage) {
    entries_.iconEvent(static_cast<std::int32_t>(id), mouseMessage);
}

void TrayIcons::timerTick(UINT_PTR timer) {
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

void TrayIcons::taskbarCreated() {
    followDisplayScale(false);  // the additions carry the new pictures
    frmCommon().shell.addAllAgain();
}

void TrayIcons::displayChanged() {
    // Several of these come for one change: one look once they are over. Without a timer the
    // look is taken now.
    if (!frmCommon().window.startTimer(kScaleTimer, kScaleDelay)) {
        followDisplayScale(true);
    }
}

void TrayIcons::followDisplayScale(bool tellShell) {
    Common& common = frmCommon();
    if (!common.pictures.followScale()) {
        return;
    }
    for (std::int32_t n = 1; n <= entries_.lngIconCount(); ++n) {
        EntryWindows* entry = entryWindows_[n].get();
        if (entry == nullptr) {
            continue;
        }
        // Made from what was read when the entry was made, never from the file again. A picture
        // that cannot be made again, or whose file was too large to keep, stays as it is.
        Picture remade;
        if (entry->defaultPicture) {
            remade = common.pictures.picDefault();
        } else if (entry->pictureFile) {
            remade = common.pictures.make(*entry->pictureFile);
        }
        if (remade) {
            entry->picTrayIcon = std::move(remade);
        }
        entry->picMerged.reset();  // drawn again at the next fade tick that shows it
        // The shell's record must not keep a picture that is gone.
        common.shell.change(n, entry->picTrayIcon ? entry->picTrayIcon->get() : nullptr, tellShell);
    }
}

}  // namespace perchlet::win32
