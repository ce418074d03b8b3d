#pragma once
// Where start-up hands its accepted commands: the tray entries.
#include "cmdline/parser.h"

namespace perchlet {

class TrayIconSink {
public:
    virtual ~TrayIconSink() = default;
    // Makes one tray icon of a parsed command line.
    virtual void AddIconToTray(const InputFields& fields) = 0;
    // Removes every icon added so far from the notification area.
    virtual void removeAllIcons() = 0;
};

}  // namespace perchlet
