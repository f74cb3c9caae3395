#include "markup/tickschedule.h"

#include <algorithm>

namespace velmora {

void TickSchedule::set(std::uint64_t id, bool runnable, std::uint32_t interval, std::uint64_t now) {
    // Interval 0 never ticks, as a stopped timer.
    Entry entry{id, runnable && interval != 0, interval, now + interval};
    if (entry.runnable) entry.due = onTheBeat(id, entry.due, interval / 4, now);
    for (Entry& e : entries_)
        if (e.id == id) {
            e = entry;
            return;
        }
    entries_.push_back(entry);
}

void TickSchedule::remove(std::uint64_t id) {
    std::erase_if(entries_, [id](const Entry& e) { return e.id == id; });
}

bool TickSchedule::contains(std::uint64_t id) const {
    return std::any_of(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
}

std::uint64_t TickSchedule::onTheBeat(std::uint64_t id, std::uint64_t due, std::uint64_t leeway, std::uint64_t now) const {
    std::uint64_t best = due, distance = leeway + 1;
    for (const Entry& e : entries_) {
        if (!e.runnable || e.id == id) continue;
        // The other timer's tick nearest to `due`, from its next one on.
        std::uint64_t tick = e.due;
        if (due > tick) {
            const std::uint64_t periods = (due - tick + e.interval / 2) / e.interval;
            tick += periods * e.interval;
        }
        const std::uint64_t off = tick > due ? tick - due : due - tick;
        if (tick > now && off < distance) {
            best = tick;
            distance = off;
        }
    }
    return best;
}

std::optional<std::uint64_t> TickSchedule::wait(std::uint64_t now) const {
    std::optional<std::uint64_t> soonest;
    for (const Entry& e : entries_) {
        if (!e.runnable) continue;
        const std::uint64_t w = e.due > now ? e.due - now : 0;
        if (!soonest || w < *soonest) soonest = w;
    }
    return soonest;
}

std::vector<std::uint64_t> TickSchedule::due(std::uint64_t now, std::uint32_t early) const {
    std::vector<const Entry*> ready;
    for (const Entry& e : entries_)
        if (e.runnable && e.due <= now + early) ready.push_back(&e);
    std::stable_sort(ready.begin(), ready.end(), [](const Entry* a, const Entry* b) { return a->due < b->due; });
    std::vector<std::uint64_t> ids;
    for (const Entry* e : ready) ids.push_back(e->id);
    return ids;
}

void TickSchedule::ticked(std::uint64_t id, std::uint64_t now) {
    for (Entry& e : entries_)
        if (e.id == id) e.due = now + e.interval;
}

}  // namespace velmora
