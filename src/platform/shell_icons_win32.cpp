#include "platform/shell_icons_win32.h"

#include <algorithm>

#include "platform/system_library_win32.h"

namespace perchlet::win32 {

// The shell reads the first-version record: its size is that of the fields up to the 64-unit tip.
constexpr DWORD kNotifyRecordSize = NOTIFYICONDATAW_V1_SIZE;
#ifndef _WIN64
static_assert(kNotifyRecordSize == 152, "the first-version wide record is 152 bytes on 32-bit");
#endif

void ShellIcons::addAllAgain() {
    // One the shell refuses waits for the retry timer, with two minutes of its own.
    icons_.forEachShellIcon([](ShellIcon& icon) { icon.registration_.reset(); });
    icons_.forEachShellIcon([](ShellIcon& icon) {
        if (icon.present_) {
            icon.added();
        }
    });
    updateRetryTimer();
}

void ShellIcons::retry() {
    const std::uint64_t now = GetTickCount64();
    bool refused = false;
    icons_.forEachShellIcon([&](ShellIcon& icon) { icon.registration_.tick(now, refused, icon); });
    updateRetryTimer();
}

bool ShellIcons::anyPending() {
    bool pending = false;
    icons_.forEachShellIcon(
        [&](ShellIcon& icon) { pending = pending || icon.registration_.pending(); });
    return pending;
}

void ShellIcons::updateRetryTimer() {
    const bool wanted = anyPending();
    if (wanted == retryTimerOn_) {
        return;
    }
    if (!wanted) {
        // Every icon is shown: idle stays without a wake-up.
        window_.stopTimer(kRetryTimer);
        retryTimerOn_ = false;
    } else if (window_.startTimer(kRetryTimer, IconRegistration::kRetryEvery)) {
        retryTimerOn_ = true;
    } else {
        // Without a timer no later try comes: say so now for every icon not shown.
        icons_.forEachShellIcon([](ShellIcon& icon) { icon.registration_.abandon(icon); });
    }
}

ShellIcon::~ShellIcon() {
    if (present_) {
        registration_.reset();
        notify(NIM_DELETE);
        present_ = false;
        shell_.updateRetryTimer();
    }
}

bool ShellIcon::notify(DWORD message) {
    NOTIFYICONDATAW data{};
    data.cbSize = kNotifyRecordSize;
    data.hWnd = shell_.window_.hwnd();
    data.uID = id_;
    if (message != NIM_DELETE) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = kTrayCallbackMessage;
        data.hIcon = picture_;
        std::copy(tip_.begin(), tip_.end(), data.szTip);
    }
    return Shell_NotifyIconW(message, &data) != FALSE;
}

bool ShellIcon::control(DWORD message) {
    NOTIFYICONDATAW data{};
    data.cbSize = NOTIFYICONDATAW_V2_SIZE;  // the first record with uVersion
    data.hWnd = shell_.window_.hwnd();
    data.uID = id_;
    data.uVersion = NOTIFYICON_VERSION;
    return Shell_NotifyIconW(message, &data) != FALSE;
}

void ShellIcon::useKeyboardMessages() {
    // The shell forgets the version with each addition. Version 3 reports the keyboard's choice
    // and menu key as NIN_KEYSELECT and WM_CONTEXTMENU, not as right clicks, and keeps the
    // message layout and the standard tip of the first version (version 4 changes both). A shell
    // that refuses it goes on sending right clicks for the keyboard, which open the menu.
    control(NIM_SETVERSION);
}

void ShellIcon::returnFocus() {
    // Without it the keyboard's focus stays with the hidden window once the menu is gone; a
    // refusal leaves it there, as before.
    if (present_) {
        control(NIM_SETFOCUS);
    }
}

std::optional<RECT> ShellIcon::rect() const {
    // Windows 7 and later: looked up, so that the program still starts without it.
    using GetRect = HRESULT(WINAPI*)(const NOTIFYICONIDENTIFIER*, RECT*);
    static const auto getRect = loadedFunction<GetRect>(L"shell32.dll", "Shell_NotifyIconGetRect");
    if (getRect == nullptr || !present_) {
        return std::nullopt;
    }
    NOTIFYICONIDENTIFIER icon{};
    icon.cbSize = sizeof icon;
    icon.hWnd = shell_.window_.hwnd();
    icon.uID = id_;
    RECT rect{};
    if (FAILED(getRect(&icon, &rect)) || IsRectEmpty(&rect)) {
        return std::nullopt;  // a shell that holds no such icon, or keeps its place to itself
    }
    return rect;
}

void ShellIcon::add(HICON picture) {
    present_ = true;
    picture_ = picture;
    added();
    shell_.updateRetryTimer();
}

void ShellIcon::added() {
    // A task bar that is not up yet, or too busy to answer in time, refuses it: the icon then
    // waits for the retry timer, and so do those added after it.
    const bool taken = !shell_.anyPending() && notify(NIM_ADD);
    if (taken) {
        useKeyboardMessages();
    }
    registration_.registered(taken, GetTickCount64());
}

void ShellIcon::change(HICON picture, bool tell) {
    if (!present_) {
        return;  // not handed to the shell yet: its addition will carry its picture
    }
    picture_ = picture;
    if (!tell) {
        return;
    }
    // A change the shell takes shows that a pending icon is there after all; a refused one
    // leaves its retries as they are.
    registration_.modified(notify(NIM_MODIFY));
    shell_.updateRetryTimer();
}

bool ShellIcon::request(IconRegistration::Request request) {
    const bool taken =
        present_ && notify(request == IconRegistration::Request::Modify ? NIM_MODIFY : NIM_ADD);
    if (taken) {
        useKeyboardMessages();  // a change taken shows an addition that timed out
    }
    return taken;
}

void ShellIcon::givenUp() {
    shell_.program_.subWriteTrace(trayRefusedWarning(command_));
}

}  // namespace perchlet::win32
