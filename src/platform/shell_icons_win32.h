#pragma once
// The notification-area icons of the hidden window as the shell holds them: every addition,
// change and removal goes through one request, an icon the shell refuses is asked for again on
// a timer, and all of them are added anew when the task bar is created again.
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <optional>
#include <string>

#include "common/program.h"
#include "platform/hidden_window_win32.h"
#include "tray/registration.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

class ShellIcons : private IconRegistrations::Notifier {
public:
    ShellIcons(Program& program, HiddenWindow& window) : program_(program), window_(window) {}

    // Icon n (1 to kMaxTrayEntries) with its tip, handed to the shell; `command` names it in
    // the warning when the shell never takes it.
    void add(std::int32_t n, HICON picture, const std::string& tooltip, const std::string& command);
    // Shows another picture for icon n (the exit fade, another scale). With `tell` false the
    // shell is not asked now: the next addition carries it.
    void change(std::int32_t n, HICON picture, bool tell = true);
    void remove(std::int32_t n);
    // The shell started again: every icon is added anew.
    void addAllAgain();
    // A tick of kRetryTimer.
    void retry();
    // The popup menu of icon n closed with nothing chosen: the keyboard goes back to the
    // notification area.
    void returnFocus(std::int32_t n);
    // Where the shell shows icon n on the screen; none when it cannot tell.
    std::optional<RECT> iconRect(std::int32_t n) const;

private:
    struct Record {
        bool present = false;
        HICON picture = nullptr;  // owned by the entry
        std::array<char16_t, 64> tip{};
        std::string command;
    };

    // The one call to the shell; true when it took the request.
    bool notify(DWORD message, std::int32_t n);
    void added(std::int32_t n);
    // A request about icon n that carries no picture or tip; true when the shell took it.
    bool control(DWORD message, std::int32_t n);
    void useKeyboardMessages(std::int32_t n);
    void updateRetryTimer();
    bool request(std::int32_t n, IconRegistrations::Request request) override;
    void givenUp(std::int32_t n) override;

    Program& program_;
    HiddenWindow& window_;
    std::array<Record, kMaxTrayEntries + 1> records_{};
    IconRegistrations registrations_;
    bool retryTimerOn_ = false;
};

}  // namespace perchlet::win32
