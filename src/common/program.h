#pragma once
// The program-wide values every part reads, and the system services they reach it through.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "common/system.h"

namespace perchlet {

class RunError;

struct Options {
    bool ExitDisabled = false;
    // The tray mouse message that launches (common/tray_messages.h); 0: no click launches.
    std::int32_t ClickMode = 0;
    bool RightMouseMenuDisabled = false;
};

struct Services {
    Environment& env;
    Files& files;
    MessageBoxes& boxes;
    Clock& clock;
    Process& process;
};

class Program {
public:
    explicit Program(Services services) : sys(services) {}

    Services sys;

    std::string strProductName;
    std::string strVersion;
    std::string strAppTitle;
    std::string strDataFolder;
    std::unique_ptr<OutputFile> logFile;  // the open trace log; none while no log is open

    Options options;

    // Appends one time-stamped line to the trace log (does nothing while no log is open).
    void subWriteTrace(const std::string& message);
    // A trapped run-time error of `where`: its report goes to the trace and into a stop box.
    void reportError(const RunError& error, std::string_view where);
    // The same for a report made otherwise (errorReport).
    void reportError(const std::string& report);
    // A message box with one OK button, titled with the program's title.
    void showMessage(const std::string& prompt, unsigned iconFlags) {
        sys.boxes.show(prompt, iconFlags, strAppTitle);
    }
};

}  // namespace perchlet
