#include "core/cmdline.h"

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

}  // namespace velmora
