#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "tray/registration.h"

namespace perchlet {
namespace {

// A shell that refuses everything until `busyUntil`, then takes a change of an icon it has and
// the addition of one it has not (a second addition of the same icon fails, as the shell's does).
struct FakeShell : IconRegistrations::Notifier {
    std::uint64_t now = 0;
    std::uint64_t busyUntil = 0;
    std::set<std::int32_t> has;
    std::string asked;
    std::string givenUps;  // "n@time " for each entry given up
    bool request(std::int32_t n, IconRegistrations::Request request) override {
        const bool add = request == IconRegistrations::Request::Add;
        asked += (add ? "A" : "M") + std::to_string(n) + " ";
        if (now < busyUntil || has.count(n) != (add ? 0u : 1u)) {
            return false;
        }
        has.insert(n);
        return true;
    }
    void givenUp(std::int32_t n) override {
        givenUps += std::to_string(n) + "@" + std::to_string(now) + " ";
    }
};

TEST(Registrations, PendingEntriesAreRetriedUntilTakenOrTwoMinutesPass) {
    constexpr std::uint64_t kBusy = 1000000;
    // Steps: +n / -n entry n handed to the shell whole, taken / refused; Fn / fn a fade's change
    // of entry n taken / refused; xn entry n removed; @T the clock set to T ms; tT a tick at T;
    // a no timer to be had; ? whether an addition may be asked for now (?1 / ?0).
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
        {"-0 -31 t2000", 0, {}, "", "", false},
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
        IconRegistrations registrations;
        FakeShell shell;
        shell.busyUntil = c.busyUntil;
        shell.has = c.landed;
        std::istringstream steps(c.steps);
        for (std::string step; steps >> step;) {
            const auto value = step.size() > 1 ? std::stoull(step.substr(1)) : 0;
            const auto n = static_cast<std::int32_t>(value);
            switch (step[0]) {
                case '@':
                case 't':
                    shell.now = value;
                    if (step[0] == 't') {
                        registrations.tick(shell.now, shell);
                    }
                    break;
                case '+':
                case '-':
                    registrations.registered(n, step[0] == '+', shell.now);
                    break;
                case 'F':
                case 'f':
                    registrations.modified(n, step[0] == 'F');
                    break;
                case 'x':
                    registrations.removed(n);
                    break;
                case '?':
                    shell.asked += registrations.mayAsk() ? "?1 " : "?0 ";
                    break;
                default:
                    registrations.abandon(shell);
            }
        }
        EXPECT_EQ(shell.asked, c.asked) << c.steps;
        EXPECT_EQ(shell.givenUps, c.givenUp) << c.steps;
        EXPECT_EQ(registrations.timerWanted(), c.timerAfter) << c.steps;
    }
    EXPECT_EQ(trayRefusedWarning("C:\\a b.exe /x"),
              "Warning: Tray didn't take the icon for 'C:\\a b.exe /x'");
}

}  // namespace
}  // namespace perchlet
