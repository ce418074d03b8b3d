#include "platform/shell_icons_win32.h"

#include <algorithm>

#include "platform/system_library_win32.h"

namespace perchlet::win32 {

// The shell reads the first-version record: its size is that of the fields up to the 64-unit tip.
constexpr DWORD kNotifyRecordSize = NOTIFYICONDATAW_V1_SIZE;
#ifndef _WIN64
static_assert(kNotifyRecordSize == 152, "the first-version wide record is 152 bytes on 32-bit");
#endif

bool ShellIcons::notify(DWORD message, std::int32_t n) {
    const Record& record = records_[static_cast<std::size_t>(n)];
    NOTIFYICONDATAW data{};
    data.cbSize = kNotifyRecordSize;
    data.hWnd = window_.hwnd();
    data.uID = static_cast<UINT>(n);
    if (message != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kTrayCallbackMessage;
        data.hIcon = record.picture;
        std::copy(record.tip.begin(), record.tip.end(), data.szTip);
    }
    return Shell_NotifyIconW(message, &data) != FALSE;
}

bool ShellIcons::control(DWORD message, std::int32_t n) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;  // the first record with uVersion
    data.hWnd = window_.hwnd();
    data.uID = static_cast<UINT>(n);
    data.uVersion = NOTIFYICON_VERSION;
    return Shell_NotifyIconW(message, &data) != FALSE;
}

void ShellIcons::useKeyboardMessages(std::int32_t n) {
    // The shell forgets the version with each addition. Version 3 reports the keyboard's choice
    // and menu key as NIN_KEYSELECT and WM_CONTEXTMENU, not as right clicks, and keeps the
    // message layout and the standard tip of the first version (version 4 changes both). A shell
    // that refuses it goes on sending right clicks for the keyboard, which open the menu.
    control(NIM_SETVERSION, n);
}

void ShellIcons::returnFocus(std::int32_t n) {
    // Without it the keyboard's focus stays with the hidden window once the menu is gone; a
    // refusal leaves it there, as before.
    if (records_[static_cast<std::size_t>(n)].present) {
        control(NIM_SETFOCUS, n);
    }
}

std::optional<RECT> ShellIcons::iconRect(std::int32_t n) const {
    // Windows 7 and later: looked up, so that the program still starts without it.
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    static const auto getRect = loadedFunction<GetRect>(L"shell32.dll", "Shell_NotifyIconGetRect");
    if (getRect == nullptr || !records_[static_cast<std::size_t>(n)].present) {
        return std::nullopt;
    }
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = window_.hwnd();
    icon.uID = static_cast<UINT>(n);
    RECT rect{};
    if (FAILED(getRect(&icon, &rect)) || IsRectEmpty(&rect)) {
        return std::nullopt;  // a shell that holds no such icon, or keeps its place to itself
    }
    return rect;
}

void ShellIcons::add(std::int32_t n, HICON picture, const std::string& tooltip,
                     const std::string& command) {
    Record& record = records_[static_cast<std::size_t>(n)];
    record.present = true;
    record.picture = picture;
    record.tip = tipField(tooltip);
    record.command = command;
    added(n);
    updateRetryTimer();
}

void ShellIcons::added(std::int32_t n) {
    // A task bar that is not up yet, or too busy to answer in time, refuses it: the icon then
    // waits for the retry timer, and so do those added after it.
    const bool taken = registrations_.mayAsk() && notify(NIM_ADD, n);
    if (taken) {
        useKeyboardMessages(n);
    }
    registrations_.registered(n, taken, GetTickCount64());
}

void ShellIcons::change(std::int32_t n, HICON picture, bool tell) {
    Record& record = records_[static_cast<std::size_t>(n)];
    if (!record.present) {
        return;  // not handed to the shell yet: its addition will carry its picture
    }
    record.picture = picture;
    if (!tell) {
        return;
    }
    // A change the shell takes shows that a pending icon is there after all; a refused one
    // leaves its retries as they are.
    registrations_.modified(n, notify(NIM_MODIFY, n));
    updateRetryTimer();
}

void ShellIcons::remove(std::int32_t n) {
    Record& record = records_[static_cast<std::size_t>(n)];
    if (record.present) {
        registrations_.removed(n);
        notify(NIM_DELETE, n);
        record = Record{};
        updateRetryTimer();
    }
}

void ShellIcons::addAllAgain() {
    // One the shell refuses waits for the retry timer, with two minutes of its own.
    registrations_.restarted();
    for (std::int32_t n = 1; n <= kMaxTrayEntries; ++n) {
        if (records_[static_cast<std::size_t>(n)].present) {
            added(n);
        }
    }
    updateRetryTimer();
}

void ShellIcons::retry() {
    registrations_.tick(GetTickCount64(), *this);
    updateRetryTimer();
}

bool ShellIcons::request(std::int32_t n, IconRegistrations::Request request) {
    const bool taken =
        records_[static_cast<std::size_t>(n)].present &&
        notify(request == IconRegistrations::Request::Modify ? NIM_MODIFY : NIM_ADD, n);
    if (taken) {
        useKeyboardMessages(n);  // a change taken shows an addition that timed out
    }
    return taken;
}

void ShellIcons::givenUp(std::int32_t n) {
    program_.subWriteTrace(trayRefusedWarning(records_[static_cast<std::size_t>(n)].command));
}

void ShellIcons::updateRetryTimer() {
    const bool wanted = registrations_.timerWanted();
    if (wanted == retryTimerOn_) {
        return;
    }
    if (!wanted) {
        // Every icon is shown: idle stays without a wake-up.
        window_.stopTimer(kRetryTimer);
        retryTimerOn_ = false;
    } else if (window_.startTimer(kRetryTimer, IconRegistrations::kRetryEvery)) {
        retryTimerOn_ = true;
    } else {
        // Without a timer no later try comes: say so now for every icon not shown.
        registrations_.abandon(*this);
    }
}

}  // namespace perchlet::win32
