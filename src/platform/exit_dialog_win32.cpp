#include "platform/exit_dialog_win32.h"

#include "platform/common_controls_win32.h"
#include "platform/procedure_guard.h"
#include "platform/system_library_win32.h"
#include "platform/wide_text.h"
#include "resources/resource_ids.h"

namespace perchlet::win32 {

namespace {

// Asks for the dialog's own layout after the dialog manager has scaled the dialog to a new display.
constexpr UINT kLayOutAgain = WM_APP;

// Twips of the dialog's design, turned into pixels of this screen.
int pixels(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

struct DialogLayout {
    int id;
    int left, top, width, height;
};
constexpr DialogLayout kLayout[] = {
    {IDC_LABMSG, 1485, 150, 5580, 570},
    {IDC_IMAGE1, 450, 525, 495, 480},
    {IDC_BUTYES, 2610, 825, 1290, 435},
    {IDC_BUTNO, 4260, 825, 1290, 435},
};

}  // namespace

void ExitDialog::ask(const std::string& question) {
    question_ = &question;
    ensureCommonControls();
    DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_FRMEXIT), nullptr, procedure,
                    reinterpret_cast<LPARAM>(this));
    dialog_ = nullptr;
    question_ = nullptr;
}

bool ExitDialog::bringForward() const {
    if (dialog_ == nullptr) {
        return false;
    }
    SetForegroundWindow(dialog_);
    return true;
}

INT_PTR CALLBACK ExitDialog::procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        reinterpret_cast<ExitDialog*>(lParam)->dialog_ = dialog;
    }
    // Messages before WM_INITDIALOG (the dialog's font) have no object yet.
    auto* self = reinterpret_cast<ExitDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    try {
        return self->message(message, wParam, lParam);
    } catch (...) {
        reportTrappedException(self->program_, "frmExit");
        return FALSE;
    }
}

INT_PTR ExitDialog::message(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(dialog_, IDC_LABMSG, toWide(*question_).c_str());
            layOut();
            SetForegroundWindow(dialog_);
            return TRUE;  // the focus goes to the first button in the tab order: No
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_BUTYES:
                    butYes_Click();
                    return TRUE;
                case IDC_BUTNO:
                    butNo_Click();
                    return TRUE;
                default:
                    return TRUE;  // Escape is no answer
            }
        case WM_CLOSE:
            // Closed without a button: take it as No, so no fade runs on without a question.
            butNo_Click();
            return TRUE;
        case WM_DPICHANGED:
            // The dialog manager scales the controls and their fonts and moves the dialog where
            // the system suggests; the dialog's own layout is laid over that once it has.
            PostMessageW(dialog_, kLayOutAgain, 0, 0);
            return FALSE;
        case kLayOutAgain:
            layOut(true);
            return TRUE;
        case WM_DRAWITEM:
            drawQuestion(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DESTROY:
            labMsgFont_.reset();
            return FALSE;
        default:
            return FALSE;
    }
}

int ExitDialog::displayDpi() const {
    // Windows 10 1607 and later tell the scale of the dialog's own display; before, there is
    // only the system's.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    static const auto dpiForWindow = loadedFunction<DpiForWindow>(L"user32.dll", "GetDpiForWindow");
    if (dpiForWindow != nullptr) {
        if (const UINT dpi = dpiForWindow(dialog_); dpi != 0) {
            return static_cast<int>(dpi);
        }
    }
    const ScreenDc screen;
    const int dpi = GetDeviceCaps(screen.get(), LOGPIXELSY);
    return dpi > 0 ? dpi : 96;
}

void ExitDialog::layOut(bool keepPlace) {
    // Displays have one scale for both directions.
    const int dpiX = displayDpi();
    const int dpiY = dpiX;
    for (const auto& control : kLayout) {
        MoveWindow(GetDlgItem(dialog_, control.id), pixels(control.left, dpiX),
                   pixels(control.top, dpiY), pixels(control.width, dpiX),
                   pixels(control.height, dpiY), FALSE);
    }
    // The Image1 picture keeps its own 33 by 32 pixels.
    SetWindowPos(GetDlgItem(dialog_, IDC_IMAGE1), nullptr, 0, 0, 33, 32, SWP_NOMOVE | SWP_NOZORDER);
    RECT frame{0, 0, pixels(7905, dpiX), pixels(1545, dpiY)};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog_, GWL_EXSTYLE));
    // The frame at the display's scale, not at the system's (Windows 10 1607 and later).
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi =
        loadedFunction<AdjustForDpi>(L"user32.dll", "AdjustWindowRectExForDpi");
    if (adjustForDpi == nullptr ||
        !adjustForDpi(&frame, style, FALSE, exStyle, static_cast<UINT>(dpiX))) {
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
    }
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    RECT now{};
    if (keepPlace && GetWindowRect(dialog_, &now)) {
        SetWindowPos(dialog_, nullptr, now.left, now.top, width, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    } else {
        SetWindowPos(dialog_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER);
    }

    const int fontHeight = -MulDiv(825, dpiY, 7200);  // 8.25 point
    labMsgFont_ = FontHandle(CreateFontW(fontHeight, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                         DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                         DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"Verdana"));
    SendDlgItemMessageW(dialog_, IDC_LABMSG, WM_SETFONT,
                        reinterpret_cast<WPARAM>(labMsgFont_.get()), FALSE);
}

void ExitDialog::drawQuestion(const DRAWITEMSTRUCT& item) const {
    BitmapHandle bitmap(static_cast<HBITMAP>(
        LoadImageW(instance_, MAKEINTRESOURCEW(IDB_QUESTION), IMAGE_BITMAP, 0, 0, 0)));
    MemoryDc source(CreateCompatibleDC(item.hDC));
    Selection selected(source.get(), bitmap.get());
    GdiTransparentBlt(item.hDC, 0, 0, 33, 32, source.get(), 0, 0, 33, 32, QUESTION_KEY_COLOUR);
}

void ExitDialog::butYes_Click() {
    // The program ends now: let go of the question's font with everything else.
    SendDlgItemMessageW(dialog_, IDC_LABMSG, WM_SETFONT, 0, FALSE);
    labMsgFont_.reset();
    answers_.exitConfirmed();
}

void ExitDialog::butNo_Click() {
    answers_.exitCancelled();
    EndDialog(dialog_, IDC_BUTNO);
}

}  // namespace perchlet::win32
