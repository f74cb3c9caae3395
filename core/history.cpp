#include "core/history.h"

#include <algorithm>

#include "core/velmoraglobal.h"

namespace velmora {

std::vector<std::string> historylist(std::string_view value) {
    if (value.empty()) return {};
    return splitstring(value, ',');
}

std::string historyvalue(const std::vector<std::string>& entries) {
    std::string value;
    for (const auto& entry : entries) value += entry + ",";
    return value;
}

std::vector<std::string> puthistoryentry(std::vector<std::string> entries, const std::string& entry) {
    // Read back, the pieces would be servers of their own, asked every round
    // by the watcher and pushing the player's servers out.
    if (entry.find(',') != std::string::npos) return entries;
    // The last equal element is the one that moves; others keep their order.
    const auto last = std::find(entries.rbegin(), entries.rend(), entry);
    if (last == entries.rend()) {
        entries.insert(entries.begin(), entry);
        if (entries.size() > kHistoryLimit) entries.pop_back();
    } else {
        const auto k = std::prev(last.base());
        std::rotate(entries.begin(), k, std::next(k));
    }
    return entries;
}

}  // namespace velmora
