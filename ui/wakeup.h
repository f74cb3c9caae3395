// The message loop's wake-up. The loop sleeps in GetMessage, as a plain
// message loop does; a wake-up the idle handler asks for then comes as the
// message of a window timer on the application window. Setting that timer is
// a call to the window server, so the loop keeps a timer it has set while it
// still goes off when asked: a query waiting out its time-out asks for the
// same moment after every frame of its animation, and sets the timer once.
// A wake-up sooner than the window timer's shortest period has the loop wait
// for messages with a time-out instead, unless the timer is already set for
// that moment.
#pragma once

#include <cstdint>
#include <optional>

namespace velmora {

class WakeUp {
public:
    // The window timer's shortest period (USER_TIMER_MINIMUM).
    static constexpr std::uint32_t kShortest = 10;
    // A timer that goes off this close to the asked moment is kept: the
    // clocks the loop and its handlers read differ by a millisecond.
    static constexpr std::uint32_t kSlack = 2;

    enum class Action {
        Keep,     // sleep in GetMessage; the timer, if one is set, stays as it is
        Set,      // set the timer to `within` milliseconds, then sleep in GetMessage
        Kill,     // kill the timer (nobody waits for it), then sleep in GetMessage
        TimedWait // wait for a message at most `within` milliseconds
    };

    // What to do before sleeping, at `now` (milliseconds on a steady clock),
    // when the idle handler wants to be woken within `within` milliseconds,
    // or not at all.
    Action plan(std::uint32_t now, std::optional<std::uint32_t> within);
    // The timer went off; the loop kills it.
    void wentOff() { set_ = false; }
    bool set() const { return set_; }

private:
    bool set_ = false;
    std::uint32_t at_ = 0;
};

}  // namespace velmora
