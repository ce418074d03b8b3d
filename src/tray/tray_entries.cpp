#include "tray/tray_entries.h"

#include <memory>
#include <utility>

#include "common/errors.h"
#include "icons/icon_choice.h"
#include "tray/entry_plan.h"

namespace perchlet {

void TrayEntries::AddIconToTray(const InputFields& fields) {
    const std::string& strCommand = fields.strCommand;
    const std::int32_t stored = addTrayEntry(program_, entries_, strCommand, [&](std::int32_t n) {
        windows_.openWindow();
        TrayEntryPlan plan = planTrayEntry(program_, icons_, strCommand, fields.strIconSpec, n);
        if (!windows_.makeEntry(n, plan.iconFile)) {
            traceUnloadableIcon(program_, plan.iconFile);
        }
        const std::string& tip = fields.strToolTip.empty() ? strCommand : fields.strToolTip;
        return std::make_unique<Entry>(
            Entry{tip, strCommand, std::move(plan.launchTarget), std::move(plan.parameters)});
    });
    if (stored != 0 && newIcons_.add(stored, windows_.now())) {
        showNewIcons();
    }
}

void TrayEntries::showNewIcons() {
    newIcons_.show(windows_.now(), [this](std::int32_t n) {
        if (const Entry* entry = entries_.find(n)) {
            windows_.showIcon(n, entry->labelToolTip, entry->command);
        }
    });
}

void TrayEntries::unloadEntry(std::int32_t n) {
    if (entries_.find(n) != nullptr) {
        windows_.removeIcon(n);
        entries_.remove(n);
    }
}

void TrayEntries::removeAllIcons() {
    newIcons_.clear();
    for (std::int32_t n = 1; n <= lngIconCount(); ++n) {
        unloadEntry(n);
    }
}

void TrayEntries::iconEvent(std::int32_t n, std::uint32_t message) {
    if (entries_.find(n) == nullptr) {
        return;
    }
    const TrayAction action =
        trayEvents_.read(static_cast<std::uint32_t>(n), message, windows_.now(),
                         windows_.doubleClickTime(), program_.options);
    switch (action) {
        case TrayAction::Launch:
            launchEntry(n);
            break;
        case TrayAction::OpenMenu:
        case TrayAction::KeyMenu:
            if (const int index = windows_.showMenu(n, action == TrayAction::KeyMenu); index != 0) {
                mnuVisible_Click(n, index);
            }
            break;
        case TrayAction::None:
            break;
    }
}

void TrayEntries::launchEntry(std::int32_t n) {
    // Looked up again: what ran while its menu was open may have removed it.
    if (const Entry* entry = entries_.find(n)) {
        funcLaunchCommand(program_, shell_, entry->strLaunchTarget, entry->strLaunchParameters);
    }
}

void TrayEntries::mnuVisible_Click(std::int32_t n, int index) {
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

void TrayEntries::exitRequest() {
    if (windows_.bringQuestionForward()) {
        return;  // the question is already open: one is enough
    }
    program_.subWriteTrace("Exit selected...");
    fadeFaults_.newFade();
    windows_.startFadeTimer();
    windows_.askExit(exitQuestion(lngIconCount()));
}

void TrayEntries::tmrFade_Timer() {
    const FadeDirection direction = phase_.tick();
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        subFade(index, direction);
    }
}

void TrayEntries::subFade(std::int32_t index, FadeDirection direction) {
    try {
        windows_.showFadePicture(index, direction);
    } catch (const RunError& error) {
        if (fadeFaults_.firstOfFade()) {
            program_.reportError(error, "subFade");
        }
    }
}

void TrayEntries::subStopFade() {
    windows_.stopFadeTimer();
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        subFade(index, FadeDirection::Down);
    }
}

void TrayEntries::subShutdown() {
    program_.subWriteTrace(shutdownTraceLine(lngIconCount()));
    program_.subWriteTrace(kSectionEnd);
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        unloadEntry(index);
    }
    windows_.endProgram();
}

void TrayEntries::exitCancelled() {
    program_.subWriteTrace("Exit cancelled!");
    subStopFade();
}

}  // namespace perchlet
