#include "tray/registration.h"

namespace perchlet {

void IconRegistrations::registered(std::int32_t n, bool taken, std::uint64_t now) {
    if (valid(n)) {
        giveUpAt_[n] = taken ? 0 : now + kRetryFor;
    }
}

void IconRegistrations::modified(std::int32_t n, bool taken) {
    if (taken && valid(n)) {
        giveUpAt_[n] = 0;
    }
}

void IconRegistrations::removed(std::int32_t n) {
    if (valid(n)) {
        giveUpAt_[n] = 0;
    }
}

void IconRegistrations::tick(std::uint64_t now, Notifier& shell) {
    // A busy shell answers each request only when its wait runs out: after one refusal the
    // others wait for the next tick rather than hold the user-interface thread.
    bool refused = false;
    for (std::int32_t n = 1; n <= kMaxTrayEntries; ++n) {
        if (giveUpAt_[n] == 0) {
            continue;
        }
        if (!refused && (shell.request(n, Request::Modify) || shell.request(n, Request::Add))) {
            giveUpAt_[n] = 0;
            continue;
        }
        refused = true;
        if (now >= giveUpAt_[n]) {
            giveUpAt_[n] = 0;
            shell.givenUp(n);
        }
    }
}

void IconRegistrations::abandon(Notifier& shell) {
    for (std::int32_t n = 1; n <= kMaxTrayEntries; ++n) {
        if (giveUpAt_[n] != 0) {
            giveUpAt_[n] = 0;
            shell.givenUp(n);
        }
    }
}

bool IconRegistrations::timerWanted() const {
    for (const std::uint64_t at : giveUpAt_) {
        if (at != 0) {
            return true;
        }
    }
    return false;
}

bool IconRegistrations::pending(std::int32_t n) const {
    return valid(n) && giveUpAt_[n] != 0;
}

std::string trayRefusedWarning(const std::string& command) {
    return "Warning: Tray didn't take the icon for '" + command + "'";
}

}  // namespace perchlet
