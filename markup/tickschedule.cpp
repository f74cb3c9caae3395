#include "markup/tickschedule.h"

#include <algorithm>

namespace velmora {

void TickSchedule::set(std::uint64_t id, bool runnable, std::uint32_t interval, std::uint64_t now) {
    // Interval 0 never ticks, as a stopped timer.
    const Entry entry{id, runnable && interval != 0, interval, now + interval};
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

std::optional<std::uint64_t> TickSchedule::wait(std::uint64_t now) const {
    std::optional<std::uint64_t> soonest;
    for (const Entry& e : entries_) {
        if (!e.runnable) continue;
        const std::uint64_t w = e.due > now ? e.due - now : 0;
        if (!soonest || w < *soonest) soonest = w;
    }
    return soonest;
}

std::vector<std::uint64_t> TickSchedule::due(std::uint64_t now) const {
    std::vector<const Entry*> ready;
    for (const Entry& e : entries_)
        if (e.runnable && e.due <= now) ready.push_back(&e);
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
