#pragma once
// The tray entries: what start-up adds, what their icons' clicks and menus do, the exit question
// with its fade, and the shutdown. Each entry owns its icon's Win32 side (EntryIcon); what the
// entries share there (the hidden window, the fade's timer, the exit dialog) is TrayHost.
#include <cstdint>
#include <memory>
#include <string>

#include "common/program.h"
#include "exit/fade.h"
#include "icons/icon_system.h"
#include "tray/entry_table.h"
#include "tray/icon_ids.h"
#include "tray/icon_sink.h"
#include "tray/launch.h"
#include "tray/new_icons.h"
#include "tray/tray_logic.h"

namespace perchlet {

// The Win32 side of one entry: its picture and crossed picture, its popup menu, and the shell's
// record of its icon with its retries. Destroying it takes the icon from the shell and lets its
// pictures and menu go.
class EntryIcon {
public:
    virtual ~EntryIcon() = default;
    // Hands the icon, with its picture and tip, to the shell.
    virtual void show() = 0;
    // Shows the crossed picture (Up) or the icon's own (Down). Raises RunError when the hidden
    // window is gone.
    virtual void showFadePicture(FadeDirection direction) = 0;
    // The items the extended menu adds: whether they show, and whether "Open file location"
    // can be chosen.
    struct Extras {
        bool shown = false;
        bool locationOpens = false;
    };
    // Shows the popup menu at the pointer, or at the icon; the index of the item chosen, 0 for
    // none.
    virtual int showMenu(bool atIcon, Extras extras) = 0;
};

// What an entry's icon is made of.
struct EntryIconSpec {
    std::uint32_t id;      // the icon's id with the shell, which its events come back with
    std::string iconFile;  // the file of its picture; "" for the default picture
    std::string tooltip;
    std::string command;  // names it in the warning when the shell never takes it
};

// The Win32 side the entries share.
class TrayHost {
public:
    // Makes the window the shell reports the icons' events to, with the first entry. Raises
    // RunError when it cannot be made.
    virtual void openWindow() = 0;
    struct MadeIcon {
        std::unique_ptr<EntryIcon> icon;
        bool asAsked = true;  // false: the icon file could not be loaded, the default shows
    };
    // Makes an entry's icon, not yet shown.
    virtual MadeIcon makeIcon(const EntryIconSpec& spec) = 0;
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
    ~TrayHost() = default;
};

class TrayEntries : public TrayIconSink {
public:
    TrayEntries(Program& program, Shell& shell, IconServices& icons, TrayHost& host,
                std::uint64_t startedAt)
        : program_(program), shell_(shell), icons_(icons), host_(host), newIcons_(startedAt) {}

    void AddIconToTray(const InputFields& fields) override;
    void removeAllIcons() override;
    // Hands the icons added since the last call to the shell, all in a row.
    void showNewIcons();

    std::int32_t lngIconCount() const { return entries_.count(); }
    // Each entry's icon in order, for what the Win32 side does to all of them.
    template <typename Visit>
    void forEachIcon(Visit&& visit) const {
        for (std::int32_t n = 1; n <= entries_.count(); ++n) {
            if (const Entry* entry = entries_.find(n)) {
                visit(*entry->icon);
            }
        }
    }
    // A mouse or keyboard message on the icon with that id, with the modifier keys held.
    void iconEvent(std::uint32_t id, std::uint32_t message, HeldKeys keys = {});
    // One tick of the fade's timer.
    void tmrFade_Timer();
    // The exit question's answers.
    void exitConfirmed() { subShutdown(); }
    void exitCancelled();

private:
    struct Entry {
        std::string strLaunchTarget;
        std::string strLaunchParameters;
        std::unique_ptr<EntryIcon> icon;  // never null
        std::uint32_t id;
        bool isUrl;
    };

    // The number of the entry whose icon has that id; 0 for none.
    std::int32_t numberOf(std::uint32_t id) const;

    void launchEntry(std::int32_t n, bool asAdministrator = false);
    void mnuVisible_Click(std::int32_t n, int index);
    void exitRequest();
    void subFade(EntryIcon& icon, FadeDirection direction);
    void subStopFade();
    void subShutdown();
    void unloadEntry(std::int32_t n);

    Program& program_;
    Shell& shell_;
    IconServices& icons_;
    TrayHost& host_;
    TrayEntryTable<Entry> entries_;
    IconIds iconIds_;
    NewIcons newIcons_;
    FadePhase phase_;
    OncePerFade fadeFaults_;
    TrayEventReader trayEvents_;
};

}  // namespace perchlet
