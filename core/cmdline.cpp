#include "core/cmdline.h"

#include <cctype>

#include "base/text.h"

namespace velmora {

namespace {
bool separates(char c) { return static_cast<unsigned char>(c) <= ' '; }
}  // namespace

std::vector<std::string> splitcommandline(std::string_view line) {
    std::vector<std::string> arguments;
    size_t p = 0;
    const size_t n = line.size();
    while (true) {
        while (true) {
            while (p < n && separates(line[p])) ++p;
            if (p + 1 < n && line[p] == '"' && line[p + 1] == '"')
                p += 2;
            else
                break;
        }
        if (p >= n) break;
        std::string argument;
        while (p < n && !separates(line[p])) {
            if (line[p] == '"') {
                ++p;
                while (p < n && line[p] != '"') argument += line[p++];
                if (p < n) ++p;
            } else {
                argument += line[p++];
            }
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::string joinarguments(const std::vector<std::string>& arguments) {
    std::string text;
    for (size_t i = 1; i < arguments.size(); ++i) text += " " + arguments[i];
    return trimControls(text);
}

std::optional<std::string> findcommand(std::string_view cmdline) {
    constexpr std::string_view kFind = "/find";
    if (cmdline.size() < kFind.size()) return std::nullopt;
    for (std::size_t i = 0; i < kFind.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(cmdline[i])) != kFind[i]) return std::nullopt;
    std::string_view rest = cmdline.substr(kFind.size());
    if (rest.empty()) return std::string();
    if (rest.front() != ' ') return std::nullopt;  // "/findings.server" is a file
    rest.remove_prefix(1);
    // A game id is one word: anything more is no command.
    if (rest.empty() || rest.find(' ') != std::string_view::npos) return std::nullopt;
    return std::string(rest);
}

}  // namespace velmora
