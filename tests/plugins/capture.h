// Reading the recorded server replies in tests/plugins/captures/.
#pragma once
#include <cstdio>
#include <string>
#include <vector>

#ifndef VELMORA_CAPTURE_DIR
#error "VELMORA_CAPTURE_DIR names the folder of the recorded replies"
#endif

namespace velmora::testing {

// The bytes of captures/<name>; empty (and a failed test) when it cannot be read.
inline std::string readCapture(const std::string& name) {
    const std::string path = std::string(VELMORA_CAPTURE_DIR) + "/" + name;
    std::string out;
    if (FILE* f = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.append(buffer, n);
        std::fclose(f);
    }
    return out;
}

// The fields of quakestat's "-raw ," line stored beside a capture: the line
// after the command line, split at commas.
inline std::vector<std::string> qstatRawFields(const std::string& name) {
    const std::string text = readCapture(name);
    const size_t start = text.find('\n');
    std::vector<std::string> fields;
    if (start == std::string::npos) return fields;
    const size_t end = text.find('\n', start + 1);
    const std::string line = text.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1);
    size_t from = 0;
    while (true) {
        const size_t comma = line.find(',', from);
        fields.push_back(line.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    return fields;
}

}  // namespace velmora::testing
