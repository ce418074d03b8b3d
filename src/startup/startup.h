#pragma once
#include <string>

namespace perchlet {

class Program;

// Where accepted commands go: the tray entries.
class TrayIconSink {
public:
    virtual ~TrayIconSink() = default;
    // Makes one tray icon of the parser's three fields; may overwrite them in place.
    virtual void AddIconToTray(std::string& strCommand, std::string& strToolTip,
                               std::string& strIconSpec) = 0;
    // Removes every icon added so far from the notification area.
    virtual void removeAllIcons() = 0;
};

enum class StartupOutcome {
    Run,     // go on while any window of the program exists
    EndNow,  // end the program at once
};

// The start-up sequence: identity, working folder, trace log, options, then the commands.
StartupOutcome subMain(Program& program, TrayIconSink& tray);

}  // namespace perchlet
