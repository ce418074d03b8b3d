#include "platform/hidden_window_win32.h"

#include "platform/last_error_win32.h"
#include "platform/procedure_guard.h"
#include "platform/system_library_win32.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

namespace {

constexpr wchar_t kClassName[] = L"frmCommon";

// An elevated program does not hear the shell's broadcast from Explorer, which runs with fewer
// rights, unless its window lets that message through. Looked up: Windows before 7 lacks it.
void allowShellBroadcast(HWND window, UINT message) {
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
    using Allow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    const auto allow = loadedFunction<Allow>(L"user32.dll", "ChangeWindowMessageFilterEx");
    // A failure (a low-integrity process may not change its filter) leaves the icons as they
    // are: they are only missed should the shell start again.
    if (allow != nullptr && message != 0) {
        allow(window, message, kAllow, nullptr);
    }
}

}  // namespace

HiddenWindow::HiddenWindow(HINSTANCE instance, Program& program, HiddenWindowMessages& messages)
    : program_(program),
      messages_(messages),
      taskbarCreated_(RegisterWindowMessageW(L"TaskbarCreated")) {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kClassName;
    // Registered once per run; a second window of the class finds it there.
    if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
        raiseLastError();
    }
    // A plain hidden top-level window, not a message-only one: it must hear the shell's
    // broadcast when the task bar is created again, and the shell drops the icons of a
    // top-level window that goes away with a killed process.
    window_ = WindowHandle(CreateWindowExW(0, kClassName, kClassName, WS_POPUP, 0, 0, 0, 0, nullptr,
                                           nullptr, instance, this));
    if (!window_) {
        raiseLastError();
    }
    allowShellBroadcast(window_.get(), taskbarCreated_);
}

HiddenWindow::~HiddenWindow() {
    // The window's last messages find no object any more.
    if (window_) {
        SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
    }
}

bool HiddenWindow::startTimer(UINT_PTR timer, UINT milliseconds) {
    return SetTimer(window_.get(), timer, milliseconds, nullptr) != 0;
}

void HiddenWindow::stopTimer(UINT_PTR timer) {
    // It fails only for a timer that is not running, which is what is wanted.
    KillTimer(window_.get(), timer);
}

LRESULT CALLBACK HiddenWindow::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<HiddenWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self == nullptr) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    try {
        return self->message(window, message, wParam, lParam);
    } catch (...) {
        reportTrappedException(self->program_, "frmCommon");
        return 0;
    }
}

LRESULT HiddenWindow::message(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTrayCallbackMessage) {
        messages_.iconEvent(static_cast<UINT>(wParam), LOWORD(lParam));
        return 0;
    }
    if (message == WM_TIMER) {
        messages_.timerTick(wParam);
        return 0;
    }
    if (message == WM_DPICHANGED || message == WM_DISPLAYCHANGE || message == WM_SETTINGCHANGE) {
        // The window is never shown: it keeps its size whatever its display's scale.
        messages_.displayChanged();
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        messages_.taskbarCreated();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace perchlet::win32
