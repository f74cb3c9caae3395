#include "find/findsettings.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "base/text.h"

namespace velmora::find {

namespace {
// Widths and sizes beyond any screen are an edit or damage, not a choice.
constexpr int kLargest = 16384;
constexpr int kNarrowestColumn = 10;

std::string joined(const int* values, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) text += (i ? "," : "") + std::to_string(values[i]);
    return text;
}

// Exactly `count` whole numbers separated by ",", or nothing.
std::optional<std::vector<int>> numbers(const std::string& text, std::size_t count) {
    std::vector<int> out;
    std::size_t from = 0;
    while (true) {
        const std::size_t comma = text.find(',', from);
        const auto n = tryStrToInt(std::string_view(text).substr(from, comma - from));
        if (!n) return std::nullopt;
        out.push_back(*n);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    if (out.size() != count) return std::nullopt;
    return out;
}
}  // namespace

StoredValues storedvalues(const FindSettings& s) {
    const int place[] = {s.left, s.top, s.width, s.height};
    return {
        {"place", joined(place, 4)},
        {"columns", joined(s.columns, kColumns)},
        {"game", s.gameid},
        {"hideempty", s.hideempty ? "1" : "0"},
        {"hidefull", s.hidefull ? "1" : "0"},
        {"maxping", std::to_string(s.maxping)},
        {"filter", s.text},
    };
}

FindSettings readsettings(const std::function<std::optional<std::string>(const std::string& name)>& value) {
    FindSettings s;
    if (const auto v = value("place")) {
        const auto p = numbers(*v, 4);
        // A place on another monitor may be negative; the window still moves
        // it onto a screen when it is shown.
        if (p && (*p)[2] > 0 && (*p)[3] > 0 && (*p)[2] <= kLargest && (*p)[3] <= kLargest &&
            std::abs((*p)[0]) <= kLargest && std::abs((*p)[1]) <= kLargest) {
            s.left = (*p)[0];
            s.top = (*p)[1];
            s.width = (*p)[2];
            s.height = (*p)[3];
        }
    }
    if (const auto v = value("columns")) {
        const auto w = numbers(*v, kColumns);
        if (w && std::all_of(w->begin(), w->end(), [](int x) { return x >= kNarrowestColumn && x <= kLargest; }))
            std::copy(w->begin(), w->end(), s.columns);
    }
    if (const auto v = value("game")) s.gameid = *v;
    if (const auto v = value("hideempty")) s.hideempty = *v == "1";
    if (const auto v = value("hidefull")) s.hidefull = *v == "1";
    if (const auto v = value("maxping")) {
        const auto n = tryStrToInt(*v);
        if (n && std::find(std::begin(kPingChoices), std::end(kPingChoices), *n) != std::end(kPingChoices))
            s.maxping = *n;
    }
    if (const auto v = value("filter")) s.text = *v;
    return s;
}

}  // namespace velmora::find
