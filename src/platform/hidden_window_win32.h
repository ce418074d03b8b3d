#pragma once
// frmCommon: the hidden window every tray icon reports its mouse events to, which also runs the
// program's timers and hears the shell's broadcast when the task bar is created anew.
#include <windows.h>

#include "common/program.h"
#include "platform/handles.h"

namespace perchlet::win32 {

// The timers the hidden window runs, by id: the exit fade, the retries of icons the shell
// refused, and the look at the display's scale once a change is over.
inline constexpr UINT_PTR kFadeTimer = 1;
inline constexpr UINT_PTR kRetryTimer = 2;
inline constexpr UINT_PTR kScaleTimer = 3;

// What the hidden window's messages are handed to.
class HiddenWindowMessages {
public:
    // A mouse message on the icon with that id.
    virtual void iconEvent(UINT id, UINT mouseMessage) = 0;
    virtual void timerTick(UINT_PTR timer) = 0;
    // The shell started again and knows none of the icons.
    virtual void taskbarCreated() = 0;
    // A display's scale or layout changed, or the task bar may have moved to another display.
    virtual void displayChanged() = 0;

protected:
    ~HiddenWindowMessages() = default;
};

class HiddenWindow {
public:
    // Raises RunError when the window cannot be made.
    HiddenWindow(HINSTANCE instance, Program& program, HiddenWindowMessages& messages);
    HiddenWindow(const HiddenWindow&) = delete;
    HiddenWindow& operator=(const HiddenWindow&) = delete;
    ~HiddenWindow();

    HWND hwnd() const { return window_.get(); }
    bool alive() const { return IsWindow(window_.get()) != FALSE; }
    // False when the system has no timer left to give.
    bool startTimer(UINT_PTR timer, UINT milliseconds);
    void stopTimer(UINT_PTR timer);

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT message(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    Program& program_;
    HiddenWindowMessages& messages_;
    UINT taskbarCreated_;
    WindowHandle window_;
};

}  // namespace perchlet::win32
