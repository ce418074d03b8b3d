#pragma once
// Which tray icons the shell has yet to take, and when to ask it again. A task bar that is not
// up yet at log-on, or too busy to answer, refuses an addition (or lets it time out, perhaps
// after taking it); the entry stays without an icon until a later try is taken.
#include <array>
#include <cstdint>
#include <string>

#include "tray/tray_logic.h"

namespace perchlet {

class IconRegistrations {
public:
    static constexpr std::uint64_t kRetryEvery = 2000;  // milliseconds between tries
    static constexpr std::uint64_t kRetryFor = 120000;  // milliseconds before giving up

    // What one try asks of the shell for an entry.
    enum class Request { Modify, Add };
    class Notifier {
    public:
        // Hands one request for entry n to the shell; true when the shell took it.
        virtual bool request(std::int32_t n, Request request) = 0;
        // Entry n's tries are over without the shell taking its icon.
        virtual void givenUp(std::int32_t n) = 0;

    protected:
        ~Notifier() = default;
    };

    // Entry n (1 to kMaxTrayEntries) was handed to the shell whole at `now` (an addition at
    // start-up or after the task bar came back): a refusal leaves it pending, with two minutes
    // from now for its tries.
    void registered(std::int32_t n, bool taken, std::uint64_t now);
    // Whether an addition may be handed to the shell now: not while an entry is pending, as the
    // shell refused its last try and a busy one holds the user-interface thread for each request.
    // One held back is registered as refused, and waits for the retry timer.
    bool mayAsk() const { return !timerWanted(); }
    // The task bar was created again: a new shell, which has refused nothing yet. Every entry is
    // to be added anew.
    void restarted() { giveUpAt_.fill(0); }
    // A change of entry n's picture (the exit fade) that the shell took shows that the entry
    // is there. One it refused says nothing: the icon may be pending, or the shell busy.
    void modified(std::int32_t n, bool taken);
    // Entry n is gone: no more tries for it.
    void removed(std::int32_t n);

    // One tick of the retry timer: each pending entry is tried again, first as a change (an
    // addition that timed out may have been taken), then as an addition, until the shell
    // refuses one; the rest wait for the next tick. An entry whose time has run out by this
    // tick and is not taken on it is given up and no longer pending.
    void tick(std::uint64_t now, Notifier& shell);
    // No timer can run: gives up every pending entry at once.
    void abandon(Notifier& shell);

    // The retry timer runs only while an entry is pending.
    bool timerWanted() const;
    bool pending(std::int32_t n) const;

private:
    static bool valid(std::int32_t n) { return n >= 1 && n <= kMaxTrayEntries; }
    // When each pending entry's tries end; 0 when the entry is not pending.
    std::array<std::uint64_t, kMaxTrayEntries + 1> giveUpAt_{};
};

// The trace line of an entry whose icon the shell never took.
std::string trayRefusedWarning(const std::string& command);

}  // namespace perchlet
