#pragma once
// The tray entries and their hidden windows, the shared window with the fade timer, and the
// exit question.
#include <windows.h>
#include <shellapi.h>

#include <array>
#include <memory>
#include <optional>
#include <string>

#include "cmdline/command_analysis.h"
#include "common/program.h"
#include "exit/fade.h"
#include "icons/icon_system.h"
#include "platform/exit_dialog_win32.h"
#include "platform/handles.h"
#include "platform/icon_picture_win32.h"
#include "platform/message_boxes_win32.h"
#include "startup/startup.h"
#include "tray/launch.h"
#include "tray/registration.h"
#include "tray/tray_logic.h"

namespace perchlet::win32 {

// A picture: the icon lives while any picture box holds it.
using Picture = std::shared_ptr<IconHandle>;

struct WindowTraits {
    using Handle = HWND;
    static constexpr GuiKind kind = GuiKind::Window;
    static Handle invalid() { return nullptr; }
    static void release(Handle h) {
        if (IsWindow(h)) {
            DestroyWindow(h);
        }
    }
};
using WindowHandle = Owned<WindowTraits>;

// One tray entry, frmTL: its icon's id on the shared window, and what the entry carries.
struct TrayWindow {
    UINT id = 0;
    std::string Tag;
    Picture picTrayIcon;
    Picture picMerged;
    std::string labelToolTip;
    MenuHandle mnuPopup;
    std::string command;  // as given, for the trace
};

class IconPictures;

// The shared hidden window: the default picture, the cross's pixels, the fade timer. The
// picture and the pixels are made when first wanted.
class CommonWindow {
public:
    explicit CommonWindow(HINSTANCE instance);
    HWND hwnd() const { return window_.get(); }
    // The size of the tray's pictures: the system's small icons at its DPI.
    SIZE pictureSize() const { return pictureSize_; }
    const Picture& picDefault();
    // The cross laid over the pictures during the fade; null when it cannot be read.
    const BitmapPixels* crossPixels();

    void startFade();
    void stopTimer();
    // The timer that asks the shell again for the icons it has not taken.
    bool startRetries();
    void stopRetries();
    FadePhase& phase() { return phase_; }

private:
    HINSTANCE instance_;
    WindowHandle window_;
    SIZE pictureSize_;
    Picture picDefault_;
    std::optional<BitmapPixels> cross_;
    FadePhase phase_;
};

class TrayIcons : public TrayIconSink,
                  public BoxWatcher,
                  public ExitAnswers,
                  private IconRegistrations::Notifier {
public:
    TrayIcons(Program& program, Shell& shell, IconServices& icons, HINSTANCE instance);
    ~TrayIcons() override;

    void AddIconToTray(std::string& strCommand, std::string& strToolTip,
                       std::string& strIconSpec) override;
    void removeAllIcons() override;

    // Hands the icons added since the last call to the shell, all in a row.
    void showNewIcons();
    // What start-up has made so far shows while a box waits.
    void beforeBox() override { showNewIcons(); }

    Program& program() { return program_; }
    bool anyWindow() const { return lngIconCount_ > 0 || frmCommon_ != nullptr; }
    std::int32_t iconCount() const { return lngIconCount_; }

    // Messages of the shared window: every icon's mouse events, the fade timer, the shell's
    // restart.
    LRESULT commonMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void tmrFade_Timer();

    void subRemoveTrayIcon(UINT id);
    void subFade(std::int32_t index, const std::string& direction);
    void subStopFade();
    void subShutdown();

    void exitConfirmed() override;
    void exitCancelled() override;

private:
    CommonWindow& frmCommon();
    TrayWindow* entryOf(WPARAM id) const;
    void entryCallback(TrayWindow& entry, LPARAM lParam);
    void unloadEntry(std::int32_t n);
    void launchEntry(const TrayWindow& entry);
    void mnuVisible_Click(TrayWindow& entry, int index);
    void showPopupMenu(TrayWindow& entry);
    void exitRequest();
    void fillRecord(const TrayWindow& entry, HICON icon);
    // One request about the entry's icon to the shell; true when the shell took it.
    bool notify(DWORD message, const TrayWindow& entry, HICON icon);
    void registerEntry(std::int32_t n);
    void retryRegistrations();
    bool request(std::int32_t n, IconRegistrations::Request request) override;
    void givenUp(std::int32_t n) override;
    void updateRetryTimer();
    Picture chooseIcon(std::int32_t n, const std::string& command, std::string& iconSpec,
                       CommandAnalysis& analysis);
    Picture crossedPicture(const Picture& trayPicture);

    Program& program_;
    Shell& shell_;
    IconServices& icons_;
    HINSTANCE instance_;
    std::unique_ptr<CommonWindow> frmCommon_;
    std::int32_t lngIconCount_ = 0;
    std::array<std::unique_ptr<TrayWindow>, kMaxTrayEntries + 1> frmTrayIcons_;
    std::array<std::string, kMaxTrayEntries + 1> strLaunchTargets_;
    std::array<std::string, kMaxTrayEntries + 1> strLaunchParameters_;
    NOTIFYICONDATAA nidTray_{};
    UINT taskbarCreated_ = 0;
    ExitDialog exitDialog_{instance_, program_, *this};
    // Entries made since the icons were last handed to the shell, in order.
    std::array<std::int32_t, kMaxTrayEntries> newIcons_{};
    std::size_t newIconCount_ = 0;
    ULONGLONG iconsShownAt_ = GetTickCount64();
    bool fadeFaultReported_ = false;
    IconRegistrations registrations_;
    bool retryTimerOn_ = false;
};

}  // namespace perchlet::win32
