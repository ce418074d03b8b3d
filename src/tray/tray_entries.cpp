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
        // Taken whether or not the entry is made, so that the ids of the lines after it do not
        // depend on what this run could make.
        const std::uint32_t id =
            iconIds_.take(fields.strWritten.empty() ? strCommand : fields.strWritten);
        host_.openWindow();
        TrayEntryPlan plan = planTrayEntry(program_, icons_, strCommand, fields.strIconSpec, n);
        const std::string& tip = fields.strToolTip.empty() ? strCommand : fields.strToolTip;
        TrayHost::MadeIcon made = host_.makeIcon({id, plan.iconFile, tip, strCommand});
        if (!made.asAsked) {
            traceUnloadableIcon(program_, plan.iconFile);
        }
        return std::make_unique<Entry>(Entry{std::move(plan.launchTarget),
                                             std::move(plan.parameters), std::move(made.icon), id,
                                             plan.isUrl});
    });
    if (stored != 0 && newIcons_.add(stored, host_.now())) {
        showNewIcons();
    }
}

void TrayEntries::showNewIcons() {
    newIcons_.show(host_.now(), [this](std::int32_t n) {
        if (const Entry* entry = entries_.find(n)) {
            entry->icon->show();
        }
    });
}

void TrayEntries::unloadEntry(std::int32_t n) {
    entries_.remove(n);  // its icon leaves the shell with it
}

void TrayEntries::removeAllIcons() {
    newIcons_.clear();
    for (std::int32_t n = 1; n <= lngIconCount(); ++n) {
        unloadEntry(n);
    }
}

std::int32_t TrayEntries::numberOf(std::uint32_t id) const {
    for (std::int32_t n = 1; n <= entries_.count(); ++n) {
        if (const Entry* entry = entries_.find(n); entry != nullptr && entry->id == id) {
            return n;
        }
    }
    return 0;
}

void TrayEntries::iconEvent(std::uint32_t id, std::uint32_t message, HeldKeys keys) {
    const std::int32_t n = numberOf(id);
    const Entry* entry = entries_.find(n);
    if (entry == nullptr) {
        return;
    }
    const TrayAction action =
        trayEvents_.read(id, message, host_.now(), host_.doubleClickTime(), program_.options, keys);
    EntryIcon::Extras extras;
    switch (action) {
        case TrayAction::Launch:
        case TrayAction::LaunchAsAdministrator:
            launchEntry(n, action == TrayAction::LaunchAsAdministrator);
            break;
        case TrayAction::ExtendedMenu:
            // Decided as the menu opens: the file may have come or gone since start-up.
            extras.shown = true;
            extras.locationOpens = !entry->isUrl && !entry->strLaunchTarget.empty() &&
                                   !containingFolder(entry->strLaunchTarget).empty() &&
                                   program_.sys.files.exists(entry->strLaunchTarget);
            [[fallthrough]];
        case TrayAction::OpenMenu:
        case TrayAction::KeyMenu:
            if (const int index = entry->icon->showMenu(action == TrayAction::KeyMenu, extras);
                index != 0) {
                mnuVisible_Click(n, index);
            }
            break;
        case TrayAction::None:
            break;
    }
}

void TrayEntries::launchEntry(std::int32_t n, bool asAdministrator) {
    // Looked up again: what ran while its menu was open may have removed it.
    const Entry* entry = entries_.find(n);
    if (entry == nullptr) {
        return;
    }
    if (asAdministrator) {
        launchAsAdministrator(program_, shell_, entry->strLaunchTarget, entry->strLaunchParameters);
    } else {
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
        case MenuAction::RunAsAdministrator:
            launchEntry(n, true);
            break;
        case MenuAction::OpenLocation:
            if (const Entry* entry = entries_.find(n)) {
                openFileLocation(program_, shell_, entry->strLaunchTarget);
            }
            break;
        case MenuAction::None:
            break;
    }
}

void TrayEntries::exitRequest() {
    if (host_.bringQuestionForward()) {
        return;  // the question is already open: one is enough
    }
    program_.subWriteTrace("Exit selected...");
    fadeFaults_.newFade();
    host_.startFadeTimer();
    host_.askExit(exitQuestion(lngIconCount()));
}

void TrayEntries::tmrFade_Timer() {
    const FadeDirection direction = phase_.tick();
    forEachIcon([&](EntryIcon& icon) { subFade(icon, direction); });
}

void TrayEntries::subFade(EntryIcon& icon, FadeDirection direction) {
    try {
        icon.showFadePicture(direction);
    } catch (const RunError& error) {
        if (fadeFaults_.firstOfFade()) {
            program_.reportError(error, "subFade");
        }
    }
}

void TrayEntries::subStopFade() {
    host_.stopFadeTimer();
    forEachIcon([&](EntryIcon& icon) { subFade(icon, FadeDirection::Down); });
}

void TrayEntries::subShutdown() {
    program_.subWriteTrace(shutdownTraceLine(lngIconCount()));
    program_.subWriteTrace(kSectionEnd);
    const std::int32_t count = lngIconCount();
    for (std::int32_t index = 1; index <= count; ++index) {
        unloadEntry(index);
    }
    host_.endProgram();
}

void TrayEntries::exitCancelled() {
    program_.subWriteTrace("Exit cancelled!");
    subStopFade();
}

}  // namespace perchlet
