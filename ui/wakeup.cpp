#include "ui/wakeup.h"

namespace velmora {

WakeUp::Action WakeUp::plan(std::uint32_t now, std::optional<std::uint32_t> within) {
    if (!within) {
        if (!set_) return Action::Keep;
        set_ = false;
        return Action::Kill;
    }
    const std::uint32_t at = now + *within;
    // Signed: the millisecond clock wraps around.
    const auto off = static_cast<std::int32_t>(at_ - at);
    if (set_ && off >= -static_cast<std::int32_t>(kSlack) && off <= static_cast<std::int32_t>(kSlack))
        return Action::Keep;
    if (*within < kShortest) return Action::TimedWait;
    set_ = true;
    at_ = at;
    return Action::Set;
}

}  // namespace velmora
