#pragma once
// The tray entries: what start-up adds, what their icons' clicks and menus do, the exit question
// with its fade, and the shutdown. What needs a window (pictures, the shell's records of the
// icons, the timer, the menu and the dialog) is reached through TrayWindows.
#include <cstdint>
#include <string>

#include "common/program.h"
#include "exit/fade.h"
#include "icons/icon_system.h"
#include "tray/entry_table.h"
#include "tray/icon_sink.h"
#include "tray/launch.h"
#include "tray/new_icons.h"
#include "tray/tray_logic.h"

namespace perchlet {

class TrayWindows {
public:
    // Makes the window the shell reports the icons' events to, with the first entry. Raises
    // RunError when it cannot be made.
    virtual void openWindow() = 0;
    // Makes entry n's picture from iconFile ("" for the default picture) and its popup menu.
    // False when the file cannot be loaded as an icon: the entry has the default picture.
    virtual bool makeEntry(std::int32_t n, const std::string& iconFile) = 0;
    // Hands icon n, with its picture and tip, to the shell.
    virtual void showIcon(std::int32_t n, const std::string& tooltip,
                          const std::string& command) = 0;
    // Takes icon n from the shell and lets its picture and menu go.
    virtual void removeIcon(std::int32_t n) = 0;
    // Icon n shows its crossed picture (Up) or its own (Down). Raises RunError when its window
    // is gone.
    virtual void showFadePicture(std::int32_t n, FadeDirection direction) = 0;
    // Shows icon n's popup menu at the pointer, or at the icon; the index of the item chosen, 0
    // for none.
    virtual int showMenu(std::int32_t n, bool atIcon) = 0;
    virtual void startFadeTimer() = 0;
    virtual void stopFadeTimer() = 0;
    // Brings an open exit question to the front; false when none is open.
    virtual bool bringQuestionForward() = 0;
    // Asks the exit question; returns once it is answered No or closed. Its answers come back
    // as exitConfirmed and exitCancelled.
    virtual void askExit(const std::string& question) = 0;
    // Milliseconds on a clock that only goes forward.
    virtual std::uint64_t now() = 0;
    // The longest gap between the clicks of a double click, in milliseconds.
    virtual std::uint64_t doubleClickTime() = 0;
    // Closes the windows and the trace log, and ends the program.
    virtual void endProgram() = 0;

protected:
    ~TrayWindows() = default;
};

class TrayEntries : public TrayIconSink {
public:
    TrayEntries(Program& program, Shell& shell, IconServices& icons, TrayWindows& windows,
                std::uint64_t startedAt)
        : program_(program),
          shell_(shell),
          icons_(icons),
          windows_(windows),
          newIcons_(startedAt) {}

    void AddIconToTray(const InputFields& fields) override;
    void removeAllIcons() override;
    // Hands the icons added since the last call to the shell, all in a row.
    void showNewIcons();

    std::int32_t lngIconCount() const { return entries_.count(); }
    // A mouse or keyboard message on icon n.
    void iconEvent(std::int32_t n, std::uint32_t message);
    // One tick of the fade's timer.
    void tmrFade_Timer();
    // The exit question's answers.
    void exitConfirmed() { subShutdown(); }
    void exitCancelled();

private:
    struct Entry {
        std::string labelToolTip;
        std::string command;  // as given, for the trace
        std::string strLaunchTarget;
        std::string strLaunchParameters;
    };

    void launchEntry(std::int32_t n);
    void mnuVisible_Click(std::int32_t n, int index);
    void exitRequest();
    void subFade(std::int32_t index, FadeDirection direction);
    void subStopFade();
    void subShutdown();
    void unloadEntry(std::int32_t n);

    Program& program_;
    Shell& shell_;
    IconServices& icons_;
    TrayWindows& windows_;
    TrayEntryTable<Entry> entries_;
    NewIcons newIcons_;
    FadePhase phase_;
    OncePerFade fadeFaults_;
    TrayEventReader trayEvents_;
};

}  // namespace perchlet
