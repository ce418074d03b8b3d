#include "platform/tray_win32.h"

#include "icons/icon_choice.h"
#include "platform/icon_picture_win32.h"
#include "platform/procedure_guard.h"
#include "platform/last_error_win32.h"

#include <cstddef>

#include "cmdline/command_analysis.h"
#include "common/errors.h"
#include "resources/resource_ids.h"

namespace perchlet::win32 {

// The shell reads the first-version record: its size is that of the fields up to the 64-byte tip.
constexpr DWORD kNotifyRecordSize = NOTIFYICONDATAA_V1_SIZE;
#ifndef _WIN64
static_assert(kNotifyRecordSize == 88, "the first-version ANSI record is 88 bytes on 32-bit");
#endif

namespace {

constexpr char kCommonClass[] = "frmCommon";
constexpr UINT_PTR kFadeTimer = 1;
constexpr UINT kFadeInterval = 800;
constexpr UINT_PTR kRetryTimer = 2;
constexpr int kPictureSize = 16;  // when the system does not tell its small icons' size
constexpr ULONGLONG kShowNewIconsEvery = 250;  // milliseconds

TrayIcons* theTray = nullptr;

LRESULT CALLBACK commonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (theTray != nullptr) {
        try {
            return theTray->commonMessage(window, message, wParam, lParam);
        } catch (...) {
            reportTrappedException(theTray->program(), "frmCommon");
            return 0;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void registerClass(HINSTANCE instance, const char* name, WNDPROC procedure) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = name;
    RegisterClassA(&windowClass);
}

HWND createHiddenWindow(HINSTANCE instance, const char* className) {
    // A plain hidden top-level window, not a message-only one: it must hear the shell's
    // broadcast when the task bar is created again, and the shell drops the icons of a
    // top-level window that goes away with a killed process.
    HWND window = CreateWindowExA(0, className, className, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                  instance, nullptr);
    if (window == nullptr) {
        raiseLastError();
    }
    return window;
}

// An elevated program does not hear the shell's broadcast from Explorer, which runs with fewer
// rights, unless its window lets that message through. Looked up: Windows before 7 lacks it.
void allowShellBroadcast(HWND window, UINT message) {
    constexpr DWORD kAllow = 1;  // MSGFLT_ALLOW
    using Allow = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
    HMODULE user32 = GetModuleHandleA("user32.dll");
    const auto allow = user32 == nullptr
                           ? nullptr
                           : reinterpret_cast<Allow>(reinterpret_cast<void (*)()>(
                                 GetProcAddress(user32, "ChangeWindowMessageFilterEx")));
    // A failure (a low-integrity process may not change its filter) leaves the icons as they
    // are: they are only missed should the shell start again.
    if (allow != nullptr && message != 0) {
        allow(window, message, kAllow, nullptr);
    }
}

// The system's small icon size, which the shell shows tray icons at: 16 at 96 DPI, more for a
// program that is aware of a higher DPI. A picture of another size would be stretched.
SIZE smallIconSize() {
    const int width = GetSystemMetrics(SM_CXSMICON);
    const int height = GetSystemMetrics(SM_CYSMICON);
    return width > 0 && height > 0 ? SIZE{width, height} : SIZE{kPictureSize, kPictureSize};
}

}  // namespace

CommonWindow::CommonWindow(HINSTANCE instance)
    : instance_(instance),
      window_(createHiddenWindow(instance, kCommonClass)),
      pictureSize_(smallIconSize()) {}

const Picture& CommonWindow::picDefault() {
    if (!picDefault_) {
        picDefault_ = std::make_shared<IconHandle>(
            static_cast<HICON>(LoadImageA(instance_, MAKEINTRESOURCEA(IDI_DEFAULT), IMAGE_ICON,
                                          pictureSize_.cx, pictureSize_.cy, 0)));
    }
    return picDefault_;
}

const BitmapPixels* CommonWindow::crossPixels() {
    if (!cross_) {
        // As a section, so that its colours, the grey key above all, read back exactly at any
        // screen depth.
        const BitmapHandle bitmap(static_cast<HBITMAP>(LoadImageA(
            instance_, MAKEINTRESOURCEA(IDB_CROSS), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)));
        cross_ = readBitmapPixels(bitmap.get());
    }
    return cross_ ? &*cross_ : nullptr;
}

void CommonWindow::startFade() {
    SetTimer(window_.get(), kFadeTimer, kFadeInterval, nullptr);
}
void CommonWindow::stopTimer() {
    KillTimer(window_.get(), kFadeTimer);
}
bool CommonWindow::startRetries() {
    return SetTimer(window_.get(), kRetryTimer, IconRegistrations::kRetryEvery, nullptr) != 0;
}
void CommonWindow::stopRetries() {
    // It fails only for a timer that is not running, which is what is wanted.
    KillTimer(window_.get(), kRetryTimer);
}

TrayIcons::TrayIcons(Program& program, Shell& shell, IconServices& icons, HINSTANCE instance)
    : program_(program), shell_(shell), icons_(icons), instance_(instance) {
    theTray = this;
    registerClass(instance, kCommonClass, commonProc);
    taskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
}

TrayIcons::~TrayIcons() {
    removeAllIcons();
    theTray = nullptr;
}

CommonWindow& TrayIcons::frmCommon() {
    if (!frmCommon_) {
        frmCommon_ = std::make_unique<CommonWindow>(instance_);
        allowShellBroadcast(frmCommon_->hwnd(), taskbarCreated_);
    }
    return *frmCommon_;
}

TrayWindow* TrayIcons::entryOf(WPARAM id) const {
    return id >= 1 && id <= static_cast<WPARAM>(lngIconCount_) ? frmTrayIcons_[id].get() : nullptr;
}

Picture TrayIcons::chooseIcon(std::int32_t n, const std::string& command, std::string& iconSpec,
                              CommandAnalysis& analysis) {
    analysis = analyseCommand(command);
    const IconChoice choice = funcChooseIcon(program_, icons_, command, analysis, iconSpec, n);
    if (!funcUseIconFile(program_, choice, program_.sys.files.isOrdinaryFile(choice.path))) {
        return frmCommon().picDefault();
    }
    const SIZE size = frmCommon().pictureSize();
    auto loaded = std::make_shared<IconHandle>(static_cast<HICON>(
        LoadImageA(nullptr, choice.path.c_str(), IMAGE_ICON, size.cx, size.cy, LR_LOADFROMFILE)));
    if (!*loaded) {
        subTraceUnloadableIcon(program_, choice.path);
        return frmCommon().picDefault();
    }
    return loaded;
}

Picture TrayIcons::crossedPicture(const Picture& trayPicture) {
    // Composed from pixels, so that the cross stays opaque and the picture's transparent parts
    // transparent whatever kind of icon it was; the tray picture itself when that fails.
    const BitmapPixels* cross = frmCommon().crossPixels();
    Picture merged = cross != nullptr && trayPicture
                         ? funcCreateCrossedIcon(trayPicture->get(), cross->view())
                         : nullptr;
    return merged ? merged : trayPicture;
}

void TrayIcons::fillRecord(const TrayWindow& entry, HICON icon) {
    nidTray_.cbSize = kNotifyRecordSize;
    nidTray_.hWnd = frmCommon().hwnd();
    nidTray_.uID = entry.id;
    nidTray_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    nidTray_.uCallbackMessage = kTrayCallbackMessage;
    nidTray_.hIcon = icon;
    const auto tip = tipField(entry.labelToolTip);
    std::copy(tip.begin(), tip.end(), nidTray_.szTip);
}

void TrayIcons::AddIconToTray(std::string& strCommand, std::string& strToolTip,
                              std::string& strIconSpec) {
    if (lngIconCount_ >= kMaxTrayEntries) {
        program_.subWriteTrace("Warning: Tray icon limit of " + std::to_string(kMaxTrayEntries) +
                               " reached, ignoring command '" + strCommand + "'");
        return;
    }
    const std::int32_t n = ++lngIconCount_;
    program_.subWriteTrace("Adding new icon to Tray for '" + strCommand + "'");
    try {
        frmCommon();  // the window the shell reports this icon's mouse events to
        auto entry = std::make_unique<TrayWindow>();
        entry->id = static_cast<UINT>(n);
        entry->mnuPopup = MenuHandle(CreatePopupMenu());
        for (int index = 1; index <= 5; ++index) {
            const char* caption = kMenuCaptions[index - 1];
            if (caption[0] == '-') {
                AppendMenuA(entry->mnuPopup.get(), MF_SEPARATOR, index, nullptr);
            } else {
                const UINT state = index == 5 && program_.options.ExitDisabled ? MF_GRAYED : 0;
                AppendMenuA(entry->mnuPopup.get(), MF_STRING | state, index, caption);
            }
        }
        CommandAnalysis analysis;
        entry->picTrayIcon = chooseIcon(n, strCommand, strIconSpec, analysis);
        entry->Tag = std::to_string(n);
        entry->labelToolTip = strToolTip.empty() ? strCommand : strToolTip;
        entry->command = strCommand;
        strLaunchTargets_[n] = analysis.launchTarget;
        strLaunchParameters_[n] = analysis.parameters;
        if (strToolTip.empty()) {
            strToolTip = strCommand;
        }
        frmTrayIcons_[n] = std::move(entry);
        // The shell gets the icons together once start-up has made them: it shows a run of
        // additions much sooner than the same additions spaced out by the work between them.
        // A slow start-up still shows what it has made every quarter second.
        newIcons_[newIconCount_++] = n;
        if (GetTickCount64() - iconsShownAt_ >= kShowNewIconsEvery) {
            showNewIcons();
        }
    } catch (const RunError& error) {
        // Leave no half-built entry behind; the next command still gets its icon.
        frmTrayIcons_[n].reset();
        --lngIconCount_;
        const auto report = errorReport(error, "AddIconToTray");
        program_.subWriteTrace(report);
        program_.showMessage(report, kIconError);
    }
}

bool TrayIcons::notify(DWORD message, const TrayWindow& entry, HICON icon) {
    fillRecord(entry, icon);
    return Shell_NotifyIconA(message, &nidTray_) != FALSE;
}

void TrayIcons::registerEntry(std::int32_t n) {
    if (const TrayWindow* entry = frmTrayIcons_[n].get()) {
        // A task bar that is not up yet, or too busy to answer in time, refuses it: the entry
        // then waits for the retry timer.
        registrations_.registered(n, notify(NIM_ADD, *entry, entry->picTrayIcon->get()),
                                  GetTickCount64());
    }
}

void TrayIcons::showNewIcons() {
    for (std::size_t index = 0; index < newIconCount_; ++index) {
        registerEntry(newIcons_[index]);
    }
    newIconCount_ = 0;
    iconsShownAt_ = GetTickCount64();
    updateRetryTimer();
}

void TrayIcons::retryRegistrations() {
    registrations_.tick(GetTickCount64(), *this);
    updateRetryTimer();
}

bool TrayIcons::request(std::int32_t n, IconRegistrations::Request request) {
    const TrayWindow* entry = frmTrayIcons_[n].get();
    return entry != nullptr &&
           notify(request == IconRegistrations::Request::Modify ? NIM_MODIFY : NIM_ADD, *entry,
                  entry->picTrayIcon->get());
}

void TrayIcons::updateRetryTimer() {
    const bool wanted = registrations_.timerWanted();
    if (!frmCommon_ || wanted == retryTimerOn_) {
        return;
    }
    if (!wanted) {
        // Every icon is shown: idle stays without a wake-up.
        frmCommon_->stopRetries();
        retryTimerOn_ = false;
    } else if (frmCommon_->startRetries()) {
        retryTimerOn_ = true;
    } else {
        // Without a timer no later try comes: say so now for every icon not shown.
        registrations_.abandon(*this);
    }
}

void TrayIcons::givenUp(std::int32_t n) {
    if (const TrayWindow* entry = frmTrayIcons_[n].get()) {
        program_.subWriteTrace(trayRefusedWarning(entry->command));
    }
}

void TrayIcons::subRemoveTrayIcon(UINT id) {
    if (frmCommon_) {
        nidTray_.hWnd = frmCommon_->hwnd();
        nidTray_.uID = id;
        Shell_NotifyIconA(NIM_DELETE, &nidTray_);
    }
}

void TrayIcons::unloadEntry(std::int32_t n) {
    registrations_.removed(n);
    if (frmTrayIcons_[n]) {
        subRemoveTrayIcon(frmTrayIcons_[n]->id);
        frmTrayIcons_[n].reset();
    }
}

void TrayIcons::removeAllIcons() {
    newIconCount_ = 0;
    for (std::int32_t n = 1; n <= lngIconCount_; ++n) {
        unloadEntry(n);
    }
    updateRetryTimer();
}

LRESULT TrayIcons::commonMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kTrayCallbackMessage) {
        if (TrayWindow* entry = entryOf(wParam)) {
            entryCallback(*entry, lParam);
        }
        return 0;
    }
    if (message == WM_TIMER && wParam == kFadeTimer) {
        tmrFade_Timer();
        return 0;
    }
    if (message == WM_TIMER && wParam == kRetryTimer) {
        retryRegistrations();
        return 0;
    }
    if (message == taskbarCreated_ && taskbarCreated_ != 0) {
        // The shell started again and knows none of our icons: add them anew. One it refuses
        // waits for the retry timer, with two minutes of its own.
        for (std::int32_t n = 1; n <= lngIconCount_; ++n) {
            registerEntry(n);
        }
        updateRetryTimer();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void TrayIcons::entryCallback(TrayWindow& entry, LPARAM lParam) {
    switch (decideTrayEvent(LOWORD(lParam), program_.options)) {
        case TrayAction::Launch:
            launchEntry(entry);
            break;
        case TrayAction::OpenMenu:
            showPopupMenu(entry);
            break;
        case TrayAction::None:
            break;
    }
}

void TrayIcons::launchEntry(const TrayWindow& entry) {
    const int n = std::stoi(entry.Tag);
    funcLaunchCommand(program_, shell_, strLaunchTargets_[n], strLaunchParameters_[n]);
}

void TrayIcons::showPopupMenu(TrayWindow& entry) {
    HWND window = frmCommon().hwnd();
    POINT at;
    GetCursorPos(&at);
    // Without being the foreground window the menu would not close on a click elsewhere.
    SetForegroundWindow(window);
    const int index =
        TrackPopupMenu(entry.mnuPopup.get(), TPM_RETURNCMD, at.x, at.y, 0, window, nullptr);
    PostMessageA(window, WM_NULL, 0, 0);
    if (index != 0) {
        mnuVisible_Click(entry, index);
    }
}

void TrayIcons::mnuVisible_Click(TrayWindow& entry, int index) {
    switch (menuItemAction(index)) {
        case MenuAction::Launch:
            launchEntry(entry);
            break;
        case MenuAction::Exit:
            exitRequest();
            break;
        case MenuAction::None:
            break;
    }
}

void TrayIcons::exitRequest() {
    if (exitDialog_.bringForward()) {
        return;  // the question is already open: one is enough
    }
    program_.subWriteTrace("Exit selected...");
    fadeFaultReported_ = false;
    frmCommon().startFade();
    exitDialog_.ask(exitQuestion(lngIconCount_));
}

void TrayIcons::tmrFade_Timer() {
    const char* direction = frmCommon().phase().tick();
    const std::int32_t count = lngIconCount_;
    for (std::int32_t index = 1; index <= count; ++index) {
        subFade(index, direction);
    }
    reportLiveObjects("after a fade tick");
}

void TrayIcons::subFade(std::int32_t index, const std::string& direction) {
    try {
        TrayWindow* entry =
            index >= 1 && index <= kMaxTrayEntries ? frmTrayIcons_[index].get() : nullptr;
        if (entry == nullptr || !frmCommon_ || !IsWindow(frmCommon_->hwnd())) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            raiseLastError();
        }
        const bool up = isFadeUp(direction);
        if (up && !entry->picMerged) {
            // Drawn when first shown: most runs never ask to exit, and start-up is quicker.
            entry->picMerged = crossedPicture(entry->picTrayIcon);
        }
        const Picture& picture = up ? entry->picMerged : entry->picTrayIcon;
        // A change the shell takes shows that a pending icon is there after all; a refused one
        // leaves its retries as they are.
        registrations_.modified(index,
                                notify(NIM_MODIFY, *entry, picture ? picture->get() : nullptr));
        updateRetryTimer();
    } catch (const RunError& error) {
        // Once per fade is enough: a missing window would otherwise report itself every tick.
        if (!fadeFaultReported_) {
            fadeFaultReported_ = true;
            const auto report = errorReport(error, "subFade");
            program_.subWriteTrace(report);
            program_.showMessage(report, kIconError);
        }
    }
}

void TrayIcons::subStopFade() {
    frmCommon().stopTimer();
    const std::int32_t count = lngIconCount_;
    for (std::int32_t index = 1; index <= count; ++index) {
        subFade(index, "Down");
    }
}

void TrayIcons::subShutdown() {
    program_.subWriteTrace(shutdownTraceLine(lngIconCount_));
    program_.subWriteTrace(kSectionEnd);
    const std::int32_t count = lngIconCount_;
    for (std::int32_t index = 1; index <= count; ++index) {
        unloadEntry(index);
    }
    frmCommon_.reset();
    program_.logFile.reset();
    reportLiveObjects("at shutdown");
    ExitProcess(0);
}

void TrayIcons::exitConfirmed() {
    subShutdown();
}

void TrayIcons::exitCancelled() {
    program_.subWriteTrace("Exit cancelled!");
    subStopFade();
}

}  // namespace perchlet::win32
