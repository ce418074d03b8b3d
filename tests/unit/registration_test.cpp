#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "tray/registration.h"

namespace perchlet {
namespace {

// A shell that refuses everything until `busyUntil`, then takes a change of an icon it has and
// the addition of one it has not (a second addition of the same icon fails, as the shell's does).
struct FakeShell {
    std::uint64_t now = 0;
    std::uint64_t busyUntil = 0;
    std::set<std::int32_t> has;
    std::string asked;
    std::string givenUps;  // "n@time " for each entry given up
};

// Icon n as the shell is asked about it.
struct FakeIcon : IconRegistration::Notifier {
    FakeShell* shell = nullptr;
    std::int32_t n = 0;
    IconRegistration registration;
    bool request(IconRegistration::Request request) override {
        const bool add = request == IconRegistration::Request::Add;
        shell->asked += (add ? "A" : "M") + std::to_string(n) + " ";
        if (shell->now < shell->busyUntil || shell->has.count(n) != (add ? 0u : 1u)) {
            return false;
        }
        shell->has.insert(n);
        return true;
    }
    void givenUp() override {
        shell->givenUps += std::to_string(n) + "@" + std::to_string(shell->now) + " ";
    }
};

TEST(Registrations, PendingEntriesAreRetriedUntilTakenOrTwoMinutesPass) {
    constexpr std::uint64_t kBusy = 1000000;
    // Steps: +n / -n entry n handed to the shell whole, taken / refused; Fn / fn a fade's change
    // of entry n taken / refused; xn entry n removed; @T the clock set to T ms; tT a tick at T,
    // which takes the icons in order; a no timer to be had; ? whether an addition may be asked
    // for now (?1 / ?0: none is pending).
    struct Case {
        const char* steps;
        std::uint64_t busyUntil;
        std::set<std::int32_t> landed;  // additions that timed out but were taken
        std::string asked;
        std::string givenUp;  // "n@time " for each entry given up
        bool timerAfter;
    } cases[] = {
        {"+1 +2", 0, {}, "", "", false},  // all taken: no timer
        {"+1 -2 t2000 t4000 t6000", 4000, {}, "M2 A2 M2 A2 ", "", false},
        {"-3 t2000 t4000", 0, {3}, "M3 ", "", false},  // changed, not added twice
        {"@1000 -1 t119000 t120999 t121000 t123000",
         kBusy,
         {},
         "M1 A1 M1 A1 M1 A1 ",
         "1@121000 ",
         false},
        {"-1 -2 f1 F2 t2000", kBusy, {}, "M1 A1 ", "", true},  // a taken fade change shows it
        {"-1 x1 t2000", kBusy, {}, "", "", false},
        {"-1 @100000 -1 t120000 t220000", kBusy, {}, "M1 A1 M1 A1 ", "1@220000 ", false},
        {"-2 +1 -30 @10 a", kBusy, {}, "", "2@10 30@10 ", false},
        // A refusal ends the tick's requests; time running out still gives the others up.
        {"-1 -2 -3 t2000 @4000 +1 t4000 t120000",
         kBusy,
         {},
         "M1 A1 M2 A2 M2 A2 ",
         "2@120000 3@120000 ",
         false},
        {"-1 -2 -3 t2000 t4000", 3000, {2}, "M1 A1 M1 A1 M2 M3 A3 ", "", false},
        // After a refusal the next additions wait for the ticks, until none is pending.
        {"? -1 ? -2 t2000 t4000 ?", 3000, {}, "?1 ?0 M1 A1 M1 A1 M2 A2 ?1 ", "", false},
    };
    for (const auto& c : cases) {
        FakeShell shell;
        shell.busyUntil = c.busyUntil;
        shell.has = c.landed;
        std::map<std::int32_t, FakeIcon> icons;  // in order
        const auto icon = [&](std::int32_t n) -> FakeIcon& {
            FakeIcon& made = icons[n];
            made.shell = &shell;
            made.n = n;
            return made;
        };
        const auto anyPending = [&] {
            return std::any_of(icons.begin(), icons.end(),
                               [](const auto& i) { return i.second.registration.pending(); });
        };
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            const auto value = step.size() > 1 ? std::stoull(step.substr(1)) : 0;
            const auto n = static_cast<std::int32_t>(value);
            switch (step[0]) {
                case '@':
                case 't':
                    shell.now = value;
                    if (step[0] == 't') {
                        bool refused = false;
                        for (auto& [number, each] : icons) {
                            each.registration.tick(shell.now, refused, each);
                        }
                    }
                    break;
                case '+':
                case '-':
                    icon(n).registration.registered(step[0] == '+', shell.now);
                    break;
                case 'F':
                case 'f':
                    icon(n).registration.modified(step[0] == 'F');
                    break;
                case 'x':
                    icon(n).registration.reset();
                    break;
                case '?':
                    shell.asked += anyPending() ? "?0 " : "?1 ";
                    break;
                default:
                    for (auto& [number, each] : icons) {
                        each.registration.abandon(each);
                    }
            }
        }
        EXPECT_EQ(shell.asked, c.asked) << c.steps;
        EXPECT_EQ(shell.givenUps, c.givenUp) << c.steps;
        EXPECT_EQ(anyPending(), c.timerAfter) << c.steps;
    }
    EXPECT_EQ(trayRefusedWarning("C:\\a b.exe /x"),
              "Warning: Tray didn't take the icon for 'C:\\a b.exe /x'");
}

}  // namespace
}  // namespace perchlet
