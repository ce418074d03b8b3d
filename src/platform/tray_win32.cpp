#include "platform/tray_win32.h"

#include "common/errors.h"
#include "icons/icon_choice.h"
#include "tray/entry_plan.h"
#include "platform/last_error_win32.h"

namespace perchlet::win32 {

namespace {

constexpr UINT_PTR kFadeTimer = 1;
constexpr UINT kFadeInterval = 800;
// The scale is read again this long after a display's change, once the task bar has followed.
constexpr UINT_PTR kScaleTimer = 3;
constexpr UINT kScaleDelay = 500;

}  // namespace

TrayIcons::Common& TrayIcons::frmCommon() {
    if (!frmCommon_) {
        frmCommon_ = std::make_unique<Common>(instance_, program_, *this);
    }
    return *frmCommon_;
}

Picture TrayIcons::loadPicture(std::int32_t n, const std::string& iconFile) {
    TrayPictures& pictures = frmCommon().pictures;
    picturePaths_[n].clear();
    if (iconFile.empty()) {
        return pictures.picDefault();
    }
    Picture loaded = pictures.load(iconFile);
    if (!loaded) {
        traceUnloadableIcon(program_, iconFile);
        return pictures.picDefault();
    }
    picturePaths_[n] = iconFile;
    return loaded;
}

void TrayIcons::AddIconToTray(std::string& strCommand, std::string& strToolTip,
                              std::string& strIconSpec) {
    const std::int32_t stored = addTrayEntry(program_, entries_, strCommand, [&](std::int32_t n) {
        frmCommon();  // the window the shell reports this icon's mouse events to
        auto entry = std::make_unique<TrayEntry>(program_.options.ExitDisabled);
        TrayEntryPlan plan = planTrayEntry(program_, icons_, strCommand, strIconSpec, n);
        entry->picTrayIcon = loadPicture(n, plan.iconFile);
        entry->labelToolTip = strToolTip.empty() ? strCommand : strToolTip;
        entry->command = strCommand;
        strLaunchTargets_[n] = std::move(plan.launchTarget);
        strLaunchParameters_[n] = std::move(plan.parameters);
        if (strToolTip.empty()) {
            strToolTip = strCommand;
        }
        return entry;
    });
    if (stored != 0 && newIcons_.add(stored, GetTickCount64())) {
        showNewIcons();
    }
}

void TrayIcons::showNewIcons() {
    newIcons_.show(GetTickCount64(), [this](std::int32_t n) {
        if (const TrayEntry* entry = entries_.find(n)) {
            frmCommon_->shell.add(n, entry->picTrayIcon->get(), entry->labelToolTip,
                                  entry->command);
        }
    });
}

void TrayIcons::unloadEntry(std::int32_t n) {
    if (entries_.find(n) != nullptr) {
        frmCommon_->shell.remove(n);
        entries_.remove(n);
    }
}

void TrayIcons::removeAllIcons() {
    newIcons_.clear();
    for (std::int32_t n = 1; n <= lngIconCount(); ++n) {
        unloadEntry(n);
    }
}

void TrayIcons::iconEvent(UINT id, UINT mouseMessage) {
    const auto n = static_cast<std::int32_t>(id);
    TrayEntry* entry = entries_.find(n);
    if (entry == nullptr) {
        return;
    }
    switch (trayEvents_.read(id, mouseMessage, GetTickCount64(), GetDoubleClickTime(),
                             program_.options)) {
        case TrayAction::Launch:
            launchEntry(n);
            break;
        case TrayAction::OpenMenu: {
            const HWND window = frmCommon().window.hwnd();
            const int index = entry->mnuPopup.show(window);
            // Closed with Esc or "Cancel Menu"; one closed by a click elsewhere leaves the
            // focus where that click put it.
            if (menuLeavesFocus(index) && GetForegroundWindow() == window) {
                frmCommon().shell.returnFocus(n);
            }
            if (index != 0) {
                mnuVisible_Click(n, index);
            }
            break;
        }
        case TrayAction::None:
            break;
    }
}

void TrayIcons::timerTick(UINT_PTR timer) {
    if (timer == kFadeTimer) {
        tmrFade_Timer();
    } else if (timer == ShellIcons::kRetryTimer) {
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
    for (std::int32_t n = 1; n <= lngIconCount(); ++n) {
        TrayEntry* entry = entries_.find(n);
        if (entry == nullptr) {
            continue;
        }
        // An icon file gone since keeps the picture it had, stretched.
        if (Picture remade = picturePaths_[n].empty() ? common.pictures.picDefault()
                                                      : common.pictures.load(picturePaths_[n])) {
            entry->picTrayIcon = std::move(remade);
        }
        entry->picMerged.reset();  // drawn again at the next fade tick that shows it
        // The shell's record must not keep a picture that is gone.
        common.shell.change(n, entry->picTrayIcon ? entry->picTrayIcon->get() : nullptr, tellShell);
    }
}

void TrayIcons::launchEntry(std::int32_t n) {
    funcLaunchCommand(program_, shell_, strLaunchTargets_[n], strLaunchParameters_[n]);
}

void TrayIcons::mnuVisible_Click(std::int32_t n, int index) {
    switch (menuItemAction(index)) {
        case MenuAction::Launch:
            launchEntry(n);
            break;
        case MenuAction::Exit:
            exitRequest();
            break;
        case MenuAction::None:
            break;
    }
}

void TrayIcons::exitRequest() {
    if (exitDialog_.bringForward()) {
        return;  // the question is already open: one is enough
    }
    program_.subWriteTrace("Exit selected...");
    fadeFaults_.newFade();
    frmCommon().window.startTimer(kFadeTimer, kFadeInterval);
    exitDialog_.ask(exitQuestion(lngIconCount()));
}

void TrayIcons::tmrFade_Timer() {
    const FadeDirection direction = frmCommon().phase.tick();
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        subFade(index, direction);
    }
    reportLiveObjects("after a fade tick");
}

void TrayIcons::subFade(std::int32_t index, FadeDirection direction) {
    try {
        TrayEntry* entry = entries_.find(index);
        if (entry == nullptr || !frmCommon_ || !frmCommon_->window.alive()) {
            raiseWindowsError(ERROR_INVALID_WINDOW_HANDLE);
        }
        const bool up = direction == FadeDirection::Up;
        if (up && !entry->picMerged) {
            // Drawn when first shown: most runs never ask to exit, and start-up is quicker.
            entry->picMerged = frmCommon_->pictures.crossed(entry->picTrayIcon);
        }
        const Picture& picture = up ? entry->picMerged : entry->picTrayIcon;
        frmCommon_->shell.change(index, picture ? picture->get() : nullptr);
    } catch (const RunError& error) {
        if (fadeFaults_.firstOfFade()) {
            program_.reportError(error, "subFade");
        }
    }
}

void TrayIcons::subStopFade() {
    frmCommon().window.stopTimer(kFadeTimer);
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        subFade(index, FadeDirection::Down);
    }
}

void TrayIcons::subShutdown() {
    program_.subWriteTrace(shutdownTraceLine(lngIconCount()));
    program_.subWriteTrace(kSectionEnd);
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        unloadEntry(index);
    }
    frmCommon_.reset();
    program_.logFile.reset();
    reportLiveObjects("at shutdown");
    ExitProcess(0);
}

void TrayIcons::exitConfirmed() {
    subShutdown();
}

void TrayIcons::exitCancelled() {
    program_.subWriteTrace("Exit cancelled!");
    subStopFade();
}

}  // namespace perchlet::win32
