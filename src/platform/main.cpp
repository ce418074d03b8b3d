// Perchlet's entry: start-up, then the message loop while any of its windows exists.
#include <windows.h>

#include "common/program.h"
#include "platform/icon_services_win32.h"
#include "platform/procedure_guard.h"
#include "platform/services_win32.h"
#include "platform/system_library_win32.h"
#include "platform/tray_win32.h"
#include "startup/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    using namespace perchlet;
    using namespace perchlet::win32;
    restrictLibrarySearch();  // before anything below can load a library

    Win32Environment environment;
    Win32Files files;
    Win32MessageBoxes boxes;
    Win32Clock clock;
    Win32Process process;
    Win32Shell shell;
    Program program{Services{environment, files, boxes, clock, process}};
    Win32IconServices icons;
    Win32Tray tray(program, shell, icons.services, instance);
    boxes.watcher = &tray;

    try {
        const StartupOutcome outcome = subMain(program, tray.entries());
        tray.entries().showNewIcons();
        switch (outcome) {
            case StartupOutcome::EndNow:
                return 1;  // stopped on a problem the user has been told of: callers can see it
            case StartupOutcome::Run:
                if (!tray.anyWindow()) {
                    return 0;
                }
                break;
        }
        reportLiveObjects("after start-up");
        // Only the exit question ends the program once icons are up.
        MSG message;
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (...) {
        // What start-up's own report could not take (its report ran out of memory too): told
        // as far as can be, and the tray's icons go with it, not left behind by an abort.
        reportTrappedException(program, "WinMain");
        return 1;
    }
}
