#pragma once
// The notification-area icons of the hidden window as the shell holds them: every addition,
// change and removal goes through one request, an icon the shell refuses is asked for again on
// a timer, and all of them are added anew when the task bar is created again.
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "common/program.h"
#include "platform/hidden_window_win32.h"
#include "tray/registration.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

class ShellIcon;

// The icons there are, each visited in order: the entries own them.
class ShellIconList {
public:
    virtual void forEachShellIcon(const std::function<void(ShellIcon&)>& visit) = 0;

protected:
    ~ShellIconList() = default;
};

// What the icons share: the window they belong to and the retry timer.
class ShellIcons {
public:
    ShellIcons(Program& program, HiddenWindow& window, ShellIconList& icons)
        : program_(program), window_(window), icons_(icons) {}

    // The shell started again: every icon is added anew.
    void addAllAgain();
    // A tick of kRetryTimer.
    void retry();

private:
    friend class ShellIcon;

    bool anyPending();
    // The retry timer runs only while an icon is pending.
    void updateRetryTimer();

    Program& program_;
    HiddenWindow& window_;
    ShellIconList& icons_;
    bool retryTimerOn_ = false;
};

// One icon as the shell holds it, with its tip and its retries. Destroying it takes the icon
// from the shell.
class ShellIcon : private IconRegistration::Notifier {
public:
    // `command` names the icon in the warning when the shell never takes it.
    ShellIcon(ShellIcons& shell, UINT id, const std::string& tooltip, std::string command)
        : shell_(shell), id_(id), tip_(tipField(tooltip)), command_(std::move(command)) {}
    ShellIcon(const ShellIcon&) = delete;
    ShellIcon& operator=(const ShellIcon&) = delete;
    ~ShellIcon();

    // Hands the icon, with this picture, to the shell.
    void add(HICON picture);
    // Shows another picture (the exit fade, another scale). With `tell` false the shell is not
    // asked now: the next addition carries it.
    void change(HICON picture, bool tell = true);
    // The popup menu closed with nothing chosen: the keyboard goes back to the notification
    // area.
    void returnFocus();
    // Where the shell shows the icon on the screen; none when it cannot tell.
    std::optional<RECT> rect() const;

private:
    friend class ShellIcons;

    // The one call to the shell; true when it took the request.
    bool notify(DWORD message);
    // A request that carries no picture or tip; true when the shell took it.
    bool control(DWORD message);
    void added();
    void useKeyboardMessages();
    bool request(IconRegistration::Request request) override;
    void givenUp() override;

    ShellIcons& shell_;
    UINT id_;
    bool present_ = false;
    HICON picture_ = nullptr;  // owned by the entry
    std::array<char16_t, 64> tip_;
    std::string command_;
    IconRegistration registration_;
};

}  // namespace perchlet::win32
