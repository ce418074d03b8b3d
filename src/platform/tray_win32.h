#pragma once
// The tray entries: what start-up adds, what their icons' clicks and menus do, the exit
// question with its fade, and the shutdown.
#include <windows.h>

#include <array>
#include <memory>
#include <string>

#include "common/program.h"
#include "exit/fade.h"
#include "icons/icon_system.h"
#include "platform/exit_dialog_win32.h"
#include "platform/hidden_window_win32.h"
#include "platform/message_boxes_win32.h"
#include "platform/popup_menu_win32.h"
#include "platform/shell_icons_win32.h"
#include "platform/tray_pictures_win32.h"
#include "startup/startup.h"
#include "tray/entry_table.h"
#include "tray/launch.h"
#include "tray/new_icons.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

// One tray entry. Its number is its icon's id on the hidden window.
struct TrayEntry {
    explicit TrayEntry(bool exitDisabled) : mnuPopup(exitDisabled) {}

    Picture picTrayIcon;
    Picture picMerged;  // drawn at the first fade tick
    std::string labelToolTip;
    std::string command;  // as given, for the trace
    PopupMenu mnuPopup;
};

class TrayIcons : public TrayIconSink,
                  public BoxWatcher,
                  private HiddenWindowMessages,
                  private ExitAnswers {
public:
    TrayIcons(Program& program, Shell& shell, IconServices& icons, HINSTANCE instance)
        : program_(program), shell_(shell), icons_(icons), instance_(instance) {}
    ~TrayIcons() override { removeAllIcons(); }

    void AddIconToTray(std::string& strCommand, std::string& strToolTip,
                       std::string& strIconSpec) override;
    void removeAllIcons() override;

    // Hands the icons added since the last call to the shell, all in a row.
    void showNewIcons();
    // What start-up has made so far shows while a box waits.
    void beforeBox() override { showNewIcons(); }

    bool anyWindow() const { return lngIconCount() > 0 || frmCommon_ != nullptr; }

private:
    // The hidden window and what lives with it, made with the first entry.
    struct Common {
        Common(HINSTANCE instance, Program& program, TrayIcons& tray)
            : window(instance, program, tray), shell(program, window), pictures(instance) {}
        HiddenWindow window;
        ShellIcons shell;
        TrayPictures pictures;
        FadePhase phase;
    };
    Common& frmCommon();

    void iconEvent(UINT id, UINT mouseMessage) override;
    void timerTick(UINT_PTR timer) override;
    void taskbarCreated() override;
    void displayChanged() override;
    // Re-makes the pictures when the task bar's display has another scale; the icons the shell
    // holds are changed to them when `tellShell`.
    void followDisplayScale(bool tellShell);
    void exitConfirmed() override;
    void exitCancelled() override;

    // The picture of entry n from its icon file; the default one for "" or a file that cannot
    // be loaded.
    Picture loadPicture(std::int32_t n, const std::string& iconFile);
    void launchEntry(std::int32_t n);
    void mnuVisible_Click(std::int32_t n, int index);
    void exitRequest();
    void tmrFade_Timer();
    void subFade(std::int32_t index, FadeDirection direction);
    void subStopFade();
    [[noreturn]] void subShutdown();
    void unloadEntry(std::int32_t n);

    Program& program_;
    Shell& shell_;
    IconServices& icons_;
    HINSTANCE instance_;
    std::unique_ptr<Common> frmCommon_;
    std::int32_t lngIconCount() const { return entries_.count(); }
    TrayEntryTable<TrayEntry> entries_;
    std::array<std::string, kMaxTrayEntries + 1> strLaunchTargets_;
    std::array<std::string, kMaxTrayEntries + 1> strLaunchParameters_;
    // The icon file each entry's picture was loaded from; "" for the default picture.
    std::array<std::string, kMaxTrayEntries + 1> picturePaths_;
    ExitDialog exitDialog_{instance_, program_, *this};
    NewIcons newIcons_{GetTickCount64()};
    OncePerFade fadeFaults_;
    TrayEventReader trayEvents_;
};

}  // namespace perchlet::win32
