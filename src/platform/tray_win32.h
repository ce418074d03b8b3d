#pragma once
// The Win32 side of the tray: each entry's icon (its pictures, its popup menu and the shell's
// record of it), and what the icons share: the one hidden window with its timers, the pictures
// every icon may use, and the exit question.
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "common/program.h"
#include "icons/icon_system.h"
#include "platform/exit_dialog_win32.h"
#include "platform/hidden_window_win32.h"
#include "platform/message_boxes_win32.h"
#include "platform/popup_menu_win32.h"
#include "platform/shell_icons_win32.h"
#include "platform/tray_pictures_win32.h"
#include "tray/tray_entries.h"

namespace perchlet::win32 {

// frmCommon: the hidden window and what lives with it, made with the first entry.
struct TrayCommon {
    TrayCommon(HINSTANCE instance, Program& program, HiddenWindowMessages& messages,
               ShellIconList& icons)
        : window(instance, program, messages), shell(program, window, icons), pictures(instance) {}
    HiddenWindow window;
    ShellIcons shell;
    TrayPictures pictures;
};

// One entry's icon. Its shell record goes first when it is destroyed: the shell must not keep a
// picture that is gone.
class Win32EntryIcon final : public EntryIcon {
public:
    Win32EntryIcon(TrayCommon& common, const EntryIconSpec& spec, bool exitDisabled)
        : common_(common),
          exitDisabled_(exitDisabled),
          mnuPopup_(exitDisabled),
          record_(common.shell, spec.id, spec.tooltip, spec.command) {}

    // Takes its picture from iconFile ("" for the default picture); false when the file cannot
    // be loaded as an icon, and the default picture shows.
    bool usePicture(const std::string& iconFile);
    void show() override { record_.add(picTrayIcon_->get()); }
    void showFadePicture(FadeDirection direction) override;
    int showMenu(bool atIcon, Extras extras) override;
    // Makes the pictures again at the tray's new size; the shell is changed to them when
    // `tellShell`.
    void followScale(bool tellShell);
    ShellIcon& shellIcon() { return record_; }

private:
    TrayCommon& common_;
    Picture picTrayIcon_;
    Picture picMerged_;  // drawn at the first fade tick that shows it
    bool defaultPicture_ = true;
    // The bytes of the icon file picTrayIcon_ came from, read once: a holding file may be
    // another run's icon by the time the scale changes. None for the default picture, or for
    // a file too large to keep, whose picture then stays as it is.
    std::shared_ptr<const KeptIconFile> pictureFile_;
    bool exitDisabled_;
    PopupMenu mnuPopup_;
    ShellIcon record_;
};

class Win32Tray final : public BoxWatcher,
                        private TrayHost,
                        private HiddenWindowMessages,
                        private ShellIconList,
                        private ExitAnswers {
public:
    Win32Tray(Program& program, Shell& shell, IconServices& icons, HINSTANCE instance)
        : program_(program),
          instance_(instance),
          entries_(program, shell, icons, *this, GetTickCount64()) {}
    ~Win32Tray() { entries_.removeAllIcons(); }

    // Where start-up adds its commands.
    TrayEntries& entries() { return entries_; }
    // A box is about to wait for the user: the icons start-up has made so far are handed to the
    // shell first, so that they show meanwhile.
    void beforeBox() override { entries_.showNewIcons(); }

    bool anyWindow() const { return entries_.lngIconCount() > 0 || frmCommon_ != nullptr; }

private:
    TrayCommon& frmCommon();

    void openWindow() override { frmCommon(); }
    MadeIcon makeIcon(const EntryIconSpec& spec) override;
    void startFadeTimer() override;
    void stopFadeTimer() override;
    bool bringQuestionForward() override { return exitDialog_.bringForward(); }
    void askExit(const std::string& question) override { exitDialog_.ask(question); }
    std::uint64_t now() override { return GetTickCount64(); }
    std::uint64_t doubleClickTime() override { return GetDoubleClickTime(); }
    [[noreturn]] void endProgram() override;

    void iconEvent(UINT id, UINT mouseMessage) override;
    void timerTick(UINT_PTR timer) override;
    void taskbarCreated() override;
    void displayChanged() override;
    // Re-makes the pictures when the task bar's display has another scale; the icons the shell
    // holds are changed to them when `tellShell`.
    void followDisplayScale(bool tellShell);
    void exitConfirmed() override { entries_.exitConfirmed(); }
    void exitCancelled() override { entries_.exitCancelled(); }

    void forEachShellIcon(const std::function<void(ShellIcon&)>& visit) override;
    // Every icon is one this tray made.
    template <typename Visit>
    void forEachEntryIcon(Visit&& visit) {
        entries_.forEachIcon([&](EntryIcon& icon) { visit(static_cast<Win32EntryIcon&>(icon)); });
    }

    Program& program_;
    HINSTANCE instance_;
    std::unique_ptr<TrayCommon> frmCommon_;
    ExitDialog exitDialog_{instance_, program_, *this};
    TrayEntries entries_;  // its icons go before the hidden window they belong to
};

}  // namespace perchlet::win32
