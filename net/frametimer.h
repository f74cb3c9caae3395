// The platform-free part of the frame timer: the arithmetic of one idle step,
// and the group that lets every attached timer tick from the application's
// single idle slot.
#pragma once
#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <vector>

namespace velmora::net {

// Tick timing on a 32-bit millisecond clock (the program's one clock,
// clockMilliseconds); differences are taken modulo 2^32, so the clock may
// wrap while the timer runs.
class FrameClock {
public:
    std::uint32_t interval() const { return interval_; }
    // The divisor that turns elapsed milliseconds into whole intervals is the
    // interval, but at least 1, so Interval 0 still gives a lag of elapsed ms.
    void setInterval(std::uint32_t value) {
        interval_ = value;
        divisor_ = value < 1 ? 1 : value;
    }
    int maxLag() const { return maxLag_; }
    void setMaxLag(int value) { maxLag_ = value; }
    int tickRate() const { return tickRate_; }

    // Timing starts over from `now`; the loop wakes for every tick again.
    void restart(std::uint32_t now) {
        previousTick_ = now;
        rateTime_ = now;
        sleeping_ = false;
    }
    // One idle step at time `now`: the lag (whole intervals since the previous
    // tick, at least 1) when a tick is due, otherwise nothing.
    std::optional<int> step(std::uint32_t now);
    // Milliseconds from `now` until the next tick is due; 0 when it is due.
    std::uint32_t untilDue(std::uint32_t now) const {
        const std::uint32_t elapsed = now - previousTick_;
        return elapsed >= interval_ ? 0 : interval_ - elapsed;
    }
    // The owner needs no tick for `ms` from `now` (nothing is drawn until
    // then): the loop may sleep that long. Ticks still come after any message
    // that wakes it earlier, with the lag of the time passed.
    void sleepFor(std::uint32_t ms, std::uint32_t now) {
        wakeAt_ = now + ms;
        sleeping_ = true;
    }
    // How long the loop may wait from `now`: until the next tick is due, or
    // until the owner's wake-up time when that is later.
    std::uint32_t untilWake(std::uint32_t now) const;

    // ticks * 1000 / ms to the nearest integer, halves to the even neighbour.
    static int ratePerSecond(std::uint32_t ticks, std::uint32_t ms);

private:
    std::uint32_t interval_ = 1000;
    std::uint32_t divisor_ = 1000;
    int maxLag_ = 10;
    int tickRate_ = 0;
    std::uint32_t tickCount_ = 0;
    std::uint32_t previousTick_ = 0;
    std::uint32_t rateTime_ = 0;
    std::uint32_t wakeAt_ = 0;
    bool sleeping_ = false;
};

// Something that ticks from the idle slot.
class IdleStepper {
public:
    virtual void idleStep(bool& done) = 0;

protected:
    ~IdleStepper() = default;
};

// The attached timers, stepped together from one idle handler. Attaching or
// detaching while a step runs (a tick handler that starts, stops or destroys
// a timer) is safe: a member detached during the step is not stepped after.
class IdleGroup {
public:
    // True when the group was empty: the caller then installs the handler.
    bool attach(IdleStepper* member);
    // True when the group became empty: the caller then empties the slot.
    bool detach(IdleStepper* member);
    bool contains(const IdleStepper* member) const;
    bool empty() const { return members_.empty(); }
    std::size_t size() const { return members_.size(); }

    // Steps every member in attach order. An error thrown by one member goes
    // to `report` and the others still step.
    void step(bool& done, const std::function<void(const std::exception&)>& report);

private:
    std::vector<IdleStepper*> members_;
};

}  // namespace velmora::net
