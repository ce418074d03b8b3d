#include "platform/shell_icons_win32.h"

#include <algorithm>

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
    // waits for the retry timer.
    registrations_.registered(n, notify(NIM_ADD, n), GetTickCount64());
}

void ShellIcons::change(std::int32_t n, HICON picture) {
    records_[static_cast<std::size_t>(n)].picture = picture;
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
    return records_[static_cast<std::size_t>(n)].present &&
           notify(request == IconRegistrations::Request::Modify ? NIM_MODIFY : NIM_ADD, n);
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
