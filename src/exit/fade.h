#pragma once
#include <cstdint>
#include <string>
#include <utility>

namespace perchlet {

// Up shows the crossed picture, Down the normal one.
enum class FadeDirection { Up, Down };

// The phase of the icon fade. It is not reset when a fade stops, so the next fade goes on
// from where the last one left off.
class FadePhase {
public:
    // One timer tick: flips the phase and gives the direction every icon takes.
    FadeDirection tick() {
        blnFadeUp_ = !blnFadeUp_;
        return blnFadeUp_ ? FadeDirection::Up : FadeDirection::Down;
    }

private:
    bool blnFadeUp_ = false;
};

// A fault of the fade is reported once per fade: a missing window would otherwise report itself
// at every tick.
class OncePerFade {
public:
    void newFade() { reported_ = false; }
    // True for the first fault since the fade began.
    bool firstOfFade() { return !std::exchange(reported_, true); }

private:
    bool reported_ = false;
};

// The closing lines a confirmed exit writes to the trace.
std::string shutdownTraceLine(std::int32_t iconCount);
inline const std::string kSectionEnd(75, '-');

}  // namespace perchlet
