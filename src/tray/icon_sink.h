#pragma once
// Where start-up hands its accepted commands: the tray entries.
#include <string>

namespace perchlet {

class TrayIconSink {
public:
    virtual ~TrayIconSink() = default;
    // Makes one tray icon of the parser's three fields; may overwrite them in place.
    virtual void AddIconToTray(std::string& strCommand, std::string& strToolTip,
                               std::string& strIconSpec) = 0;
    // Removes every icon added so far from the notification area.
    virtual void removeAllIcons() = 0;
};

}  // namespace perchlet
