#pragma once
// What a new tray entry is made of, decided before any window is touched: the command's launch
// target and parameters, and the icon file its picture comes from.
#include <cstdint>
#include <string>

#include "common/errors.h"
#include "common/program.h"
#include "icons/icon_system.h"
#include "tray/entry_table.h"

namespace perchlet {

struct TrayEntryPlan {
    std::string iconFile;  // the icon file to load as the picture; "" for the default picture
    std::string launchTarget;
    std::string parameters;
    bool isUrl = false;
};

// Analyses strCommand, chooses the icon of entry n and checks that its file is there, tracing each
// step.
TrayEntryPlan planTrayEntry(Program& program, IconServices& services, const std::string& strCommand,
                            const std::string& strIconSpec, std::int32_t n);

// AddIconToTray's limit and order: a command beyond the last entry is traced and ignored; else
// make(n) makes entry n, which counts only once stored whole: a box shown while its icon is chosen
// lets the user act on the icons already shown, and an exit chosen then must not meet it half-made.
// A failure to make it is reported and leaves nothing: the next command gets the number and its
// icon. The number stored, or 0.
template <typename Entry, typename Make>
std::int32_t addTrayEntry(Program& program, TrayEntryTable<Entry>& entries,
                          const std::string& strCommand, Make&& make) {
    if (entries.full()) {
        program.subWriteTrace("Warning: Tray icon limit of " + std::to_string(kMaxTrayEntries) +
                              " reached, ignoring command '" + strCommand + "'");
        return 0;
    }
    const std::int32_t n = entries.nextNumber();
    program.subWriteTrace("Adding new icon to Tray for '" + strCommand + "'");
    try {
        return entries.store(make(n));
    } catch (const RunError& error) {
        program.reportError(error, "AddIconToTray");
        return 0;
    }
}

}  // namespace perchlet
