#include <gtest/gtest.h>

#include <set>

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

enum class Do { Register, Fade, Remove, Tick, Abandon };
struct Step {
    Do what;
    std::uint64_t at;
    std::int32_t n = 0;
    bool taken = false;
};

TEST(Registrations, PendingEntriesAreRetriedUntilTakenOrTwoMinutesPass) {
    struct Case {
        const char* name;
        std::uint64_t busyUntil;
        std::set<std::int32_t> landed;  // additions that timed out but were taken
        std::vector<Step> steps;
        std::string asked;
        std::string givenUp;  // "n@time" for each entry given up
        bool timerAfter;
    } cases[] = {
        {"all taken: no timer",
         0,
         {},
         {{Do::Register, 0, 1, true}, {Do::Register, 0, 2, true}},
         "",
         "",
         false},
        {"refused while busy, added once the shell is up",
         4000,
         {},
         {{Do::Register, 0, 1, true},
          {Do::Register, 0, 2, false},
          {Do::Tick, 2000},
          {Do::Tick, 4000},
          {Do::Tick, 6000}},
         "M2 A2 M2 A2 ",
         "",
         false},
        {"a timed-out addition that landed is changed, not added twice",
         0,
         {3},
         {{Do::Register, 0, 3, false}, {Do::Tick, 2000}, {Do::Tick, 4000}},
         "M3 ",
         "",
         false},
        {"given up at two minutes, not before, and only once",
         1000000,
         {},
         {{Do::Register, 1000, 1, false},
          {Do::Tick, 119000},
          {Do::Tick, 120999},
          {Do::Tick, 121000},
          {Do::Tick, 123000}},
         "M1 A1 M1 A1 M1 A1 ",
         "1@121000 ",
         false},
        {"a failed fade change keeps it pending, a taken one ends its tries",
         1000000,
         {},
         {{Do::Register, 0, 1, false},
          {Do::Register, 0, 2, false},
          {Do::Fade, 500, 1, false},
          {Do::Fade, 500, 2, true},
          {Do::Tick, 2000}},
         "M1 A1 ",
         "",
         true},
        {"a removed entry is not tried",
         1000000,
         {},
         {{Do::Register, 0, 1, false}, {Do::Remove, 10, 1}, {Do::Tick, 2000}},
         "",
         "",
         false},
        {"a new shell's refusal gives the entry two more minutes",
         1000000,
         {},
         {{Do::Register, 0, 1, false},
          {Do::Register, 100000, 1, false},
          {Do::Tick, 120000},
          {Do::Tick, 220000}},
         "M1 A1 M1 A1 ",
         "1@220000 ",
         false},
        {"without a timer every pending entry is given up at once",
         1000000,
         {},
         {{Do::Register, 0, 2, false},
          {Do::Register, 0, 1, true},
          {Do::Register, 0, 30, false},
          {Do::Abandon, 10}},
         "",
         "2@10 30@10 ",
         false},
        {"entries outside 1 to 30 are ignored",
         0,
         {},
         {{Do::Register, 0, 0, false}, {Do::Register, 0, 31, false}, {Do::Tick, 2000}},
         "",
         "",
         false},
    };
    for (const auto& c : cases) {
        IconRegistrations registrations;
        FakeShell shell;
        shell.busyUntil = c.busyUntil;
        shell.has = c.landed;
        for (const auto& step : c.steps) {
            shell.now = step.at;
            switch (step.what) {
                case Do::Register:
                    registrations.registered(step.n, step.taken, step.at);
                    break;
                case Do::Fade:
                    registrations.modified(step.n, step.taken);
                    break;
                case Do::Remove:
                    registrations.removed(step.n);
                    break;
                case Do::Tick:
                    registrations.tick(step.at, shell);
                    break;
                case Do::Abandon:
                    registrations.abandon(shell);
                    break;
            }
        }
        EXPECT_EQ(shell.asked, c.asked) << c.name;
        EXPECT_EQ(shell.givenUps, c.givenUp) << c.name;
        EXPECT_EQ(registrations.timerWanted(), c.timerAfter) << c.name;
    }
    EXPECT_EQ(trayRefusedWarning("C:\\a b.exe /x"),
              "Warning: Tray didn't take the icon for 'C:\\a b.exe /x'");
}

}  // namespace
}  // namespace perchlet
