#include "tray/registration.h"

namespace perchlet {

void IconRegistration::tick(std::uint64_t now, bool& refused, Notifier& shell) {
    if (giveUpAt_ == 0) {
        return;
    }
    // A busy shell answers each request only when its wait runs out: after one refusal the
    // others wait for the next tick rather than hold the user-interface thread.
    if (!refused && (shell.request(Request::Modify) || shell.request(Request::Add))) {
        giveUpAt_ = 0;
        return;
    }
    refused = true;
    if (now >= giveUpAt_) {
        giveUpAt_ = 0;
        shell.givenUp();
    }
}

void IconRegistration::abandon(Notifier& shell) {
    if (giveUpAt_ != 0) {
        giveUpAt_ = 0;
        shell.givenUp();
    }
}

std::string trayRefusedWarning(const std::string& command) {
    return "Warning: Tray didn't take the icon for '" + command + "'";
}

}  // namespace perchlet
