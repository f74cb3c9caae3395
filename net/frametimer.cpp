#include "net/frametimer.h"

#include <algorithm>
#include <climits>

namespace velmora::net {

std::optional<int> FrameClock::step(std::uint32_t now) {
    const std::uint32_t elapsed = now - previousTick_;
    if (elapsed < interval_) return std::nullopt;
    previousTick_ = now;
    const std::uint32_t whole = elapsed / divisor_;
    int lag = whole > static_cast<std::uint32_t>(INT_MAX) ? INT_MAX : static_cast<int>(whole);
    // MaxLag only records the largest lag seen; it never limits the lag passed on.
    if (maxLag_ > 0) maxLag_ = std::max(lag, maxLag_);
    lag = std::max(lag, 1);
    ++tickCount_;
    const std::uint32_t sinceRate = std::max<std::uint32_t>(now - rateTime_, 1);
    if (sinceRate >= 1000) {
        tickRate_ = ratePerSecond(tickCount_, sinceRate);
        tickCount_ = 0;
        rateTime_ = now;
    }
    return lag;
}

std::uint32_t FrameClock::untilWake(std::uint32_t now) const {
    const std::uint32_t due = untilDue(now);
    if (!sleeping_) return due;
    // The wake-up time may lie behind `now` (modulo 2^32): then only the tick counts.
    const auto toWake = static_cast<std::int32_t>(wakeAt_ - now);
    return toWake > 0 && static_cast<std::uint32_t>(toWake) > due ? static_cast<std::uint32_t>(toWake) : due;
}

int FrameClock::ratePerSecond(std::uint32_t ticks, std::uint32_t ms) {
    if (ms == 0) ms = 1;
    const std::uint64_t scaled = static_cast<std::uint64_t>(ticks) * 1000u;
    std::uint64_t q = scaled / ms;
    const std::uint64_t r = scaled % ms;
    if (2 * r > ms || (2 * r == ms && (q & 1u))) ++q;
    return q > static_cast<std::uint64_t>(INT_MAX) ? INT_MAX : static_cast<int>(q);
}

bool IdleGroup::attach(IdleStepper* member) {
    const bool wasEmpty = members_.empty();
    if (!contains(member)) members_.push_back(member);
    return wasEmpty;
}

bool IdleGroup::detach(IdleStepper* member) {
    const auto it = std::find(members_.begin(), members_.end(), member);
    if (it == members_.end()) return false;
    members_.erase(it);
    return members_.empty();
}

bool IdleGroup::contains(const IdleStepper* member) const {
    return std::find(members_.begin(), members_.end(), member) != members_.end();
}

void IdleGroup::step(bool& done, const std::function<void(const std::exception&)>& report) {
    // Walk a copy, and step only who is still a member when their turn comes.
    const std::vector<IdleStepper*> snapshot = members_;
    for (IdleStepper* member : snapshot) {
        if (!contains(member)) continue;
        try {
            member->idleStep(done);
        } catch (const std::exception& e) {
            if (report) report(e);
        }
    }
}

}  // namespace velmora::net
