#pragma once
// The windows of the tray entries: their pictures, the shell's records of their icons, the
// hidden window with its timers, the popup menus and the exit question.
#include <windows.h>

#include <array>
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

class TrayIcons final : public BoxWatcher,
                        private TrayWindows,
                        private HiddenWindowMessages,
                        private ExitAnswers {
public:
    TrayIcons(Program& program, Shell& shell, IconServices& icons, HINSTANCE instance)
        : program_(program),
          instance_(instance),
          entries_(program, shell, icons, *this, GetTickCount64()) {}
    ~TrayIcons() { entries_.removeAllIcons(); }

    // Where start-up adds its commands.
    TrayEntries& entries() { return entries_; }
    // What start-up has made so far shows while a box waits.
    void beforeBox() override { entries_.showNewIcons(); }

    bool anyWindow() const { return entries_.lngIconCount() > 0 || frmCommon_ != nullptr; }

private:
    // The hidden window and what lives with it, made with the first entry.
    struct Common {
        Common(HINSTANCE instance, Program& program, TrayIcons& tray)
            : window(instance, program, tray), shell(program, window), pictures(instance) {}
        HiddenWindow window;
        ShellIcons shell;
        TrayPictures pictures;
    };
    Common& frmCommon();

    // The window side of one entry. Its number is its icon's id on the hidden window.
    struct EntryWindows {
        explicit EntryWindows(bool exitDisabled) : mnuPopup(exitDisabled) {}
        Picture picTrayIcon;
        Picture picMerged;  // drawn at the first fade tick that shows it
        bool defaultPicture = true;
        // The bytes of the icon file picTrayIcon came from, read once: a holding file may be
        // another run's icon by the time the scale changes. None for the default picture, or for
        // a file too large to keep, whose picture then stays as it is.
        std::optional<KeptIconFile> pictureFile;
        PopupMenu mnuPopup;
    };

    void openWindow() override { frmCommon(); }
    bool makeEntry(std::int32_t n, const std::string& iconFile) override;
    void showIcon(std::int32_t n, const std::string& tooltip, const std::string& command) override;
    void removeIcon(std::int32_t n) override;
    void showFadePicture(std::int32_t n, FadeDirection direction) override;
    int showMenu(std::int32_t n, bool atIcon) override;
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

    Program& program_;
    HINSTANCE instance_;
    std::unique_ptr<Common> frmCommon_;
    std::array<std::unique_ptr<EntryWindows>, kMaxTrayEntries + 1> entryWindows_;
    ExitDialog exitDialog_{instance_, program_, *this};
    TrayEntries entries_;
};

}  // namespace perchlet::win32
