// The timetable of the timers' shared tick window, free of any window: which
// timers may tick, when each is due next, and how long until the next is due.
// Times are milliseconds on one monotonic clock.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

namespace velmora {

class TickSchedule {
public:
    // Adds timer `id` or changes it: it may tick when `runnable`, every
    // `interval` ms, the first time `interval` ms after `now` (a change starts
    // the wait over). When another timer ticks within a quarter interval of
    // that time, the first tick comes with that one instead: timers started
    // apart (a window's hand, the tray icon's frames) then share their ticks.
    void set(std::uint64_t id, bool runnable, std::uint32_t interval, std::uint64_t now);
    void remove(std::uint64_t id);
    bool contains(std::uint64_t id) const;
    bool empty() const { return entries_.empty(); }

    // How long from `now` until the earliest runnable
    // timer is due (0 when one is due); nothing when none may tick.
    std::optional<std::uint64_t> wait(std::uint64_t now) const;
    // The runnable timers due at `now`, and those due at most `early` ms
    // after it, the earliest first (in the order they were added when equally
    // due).
    std::vector<std::uint64_t> due(std::uint64_t now, std::uint32_t early = 0) const;
    // Timer `id`'s tick was handed over and returned at `now`: its next tick
    // is one interval later. An unknown id is ignored.
    void ticked(std::uint64_t id, std::uint64_t now);

    // Whether a periodic wake-up that next comes at `next` serves a tick due
    // at `due`: it comes no later, and at most `early` ms before it (the
    // round it starts gathers what is due that soon).
    static bool wakeServes(std::uint64_t next, std::uint64_t due, std::uint32_t early) {
        return next <= due && next + early >= due;
    }

private:
    struct Entry {
        std::uint64_t id;
        bool runnable;
        std::uint32_t interval;
        std::uint64_t due;
    };
    // The tick of another runnable timer nearest to `due` and at most
    // `leeway` from it, else `due`.
    std::uint64_t onTheBeat(std::uint64_t id, std::uint64_t due, std::uint64_t leeway, std::uint64_t now) const;

    std::vector<Entry> entries_;
};

}  // namespace velmora
