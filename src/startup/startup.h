#pragma once
#include "tray/icon_sink.h"

namespace perchlet {

class Program;

enum class StartupOutcome {
    Run,     // go on while any window of the program exists
    EndNow,  // end the program at once
};

// The start-up sequence: identity, working folder, trace log, options, then the commands.
StartupOutcome subMain(Program& program, TrayIconSink& tray);

}  // namespace perchlet
