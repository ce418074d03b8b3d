#pragma once
// frmExit: the exit question, a modal dialog asked while the icons fade.
#include <windows.h>

#include <string>

#include "common/program.h"
#include "platform/handles.h"

namespace perchlet::win32 {

// What the question's answers do.
class ExitAnswers {
public:
    // Yes: the program ends.
    virtual void exitConfirmed() = 0;
    // No, or the dialog closed without a button.
    virtual void exitCancelled() = 0;

protected:
    ~ExitAnswers() = default;
};

class ExitDialog {
public:
    ExitDialog(HINSTANCE instance, Program& program, ExitAnswers& answers)
        : instance_(instance), program_(program), answers_(answers) {}
    ExitDialog(const ExitDialog&) = delete;
    ExitDialog& operator=(const ExitDialog&) = delete;

    // Asks the question; returns once it is answered No or closed.
    void ask(const std::string& question);
    // Brings the open question to the front: another icon's "Exit Perchlet..." then does not
    // stack a second one over it. False when none is open.
    bool bringForward() const;

private:
    static INT_PTR CALLBACK procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR message(UINT message, WPARAM wParam, LPARAM lParam);
    // Lays the dialog out for the scale of its display, centred on the screen, or where it is
    // when it moved to a display of another scale.
    void layOut(bool keepPlace = false);
    int displayDpi() const;
    void drawQuestion(const DRAWITEMSTRUCT& item) const;
    void butYes_Click();
    void butNo_Click();

    HINSTANCE instance_;
    Program& program_;
    ExitAnswers& answers_;
    const std::string* question_ = nullptr;
    HWND dialog_ = nullptr;
    // The question's font lives as long as the dialog that shows it.
    FontHandle labMsgFont_;
};

}  // namespace perchlet::win32
