#pragma once
// An icon the shell has yet to take, and when to ask it again. A task bar that is not up yet at
// log-on, or too busy to answer, refuses an addition (or lets it time out, perhaps after taking
// it); the entry stays without an icon until a later try is taken.
#include <cstdint>
#include <string>

namespace perchlet {

class IconRegistration {
public:
    static constexpr std::uint64_t kRetryEvery = 2000;  // milliseconds between tries
    static constexpr std::uint64_t kRetryFor = 120000;  // milliseconds before giving up

    // What one try asks of the shell for the icon.
    enum class Request { Modify, Add };
    class Notifier {
    public:
        // Hands one request for the icon to the shell; true when the shell took it.
        virtual bool request(Request request) = 0;
        // The icon's tries are over without the shell taking it.
        virtual void givenUp() = 0;

    protected:
        ~Notifier() = default;
    };

    // The icon was handed to the shell whole at `now` (an addition at start-up or after the task
    // bar came back): a refusal leaves it pending, with two minutes from now for its tries.
    void registered(bool taken, std::uint64_t now) { giveUpAt_ = taken ? 0 : now + kRetryFor; }
    // A change of its picture (the exit fade) that the shell took shows that the icon is there.
    // One it refused says nothing: the icon may be pending, or the shell busy.
    void modified(bool taken) {
        if (taken) {
            giveUpAt_ = 0;
        }
    }
    // The icon is gone, or the task bar was created again (a new shell, which has refused
    // nothing yet): no tries are pending.
    void reset() { giveUpAt_ = 0; }
    // While any icon is pending the retry timer runs, and no addition is handed to the shell:
    // it refused the last try, and a busy one holds the user-interface thread for each request.
    bool pending() const { return giveUpAt_ != 0; }

    // The icon's turn in one tick of the retry timer, which takes the icons in order: a pending
    // icon is tried again, first as a change (an addition that timed out may have been taken),
    // then as an addition, unless the shell refused an earlier icon on this tick (`refused`,
    // set when it refuses this one). One whose time has run out by this tick and is not taken
    // on it is given up and no longer pending.
    void tick(std::uint64_t now, bool& refused, Notifier& shell);
    // No timer can run: a pending icon is given up at once.
    void abandon(Notifier& shell);

private:
    std::uint64_t giveUpAt_ = 0;  // when the tries end; 0 while not pending
};

// The trace line of an entry whose icon the shell never took.
std::string trayRefusedWarning(const std::string& command);

}  // namespace perchlet
