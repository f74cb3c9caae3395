// Fuzzes the socket's text rules and send queue: the dotted-quad test must
// agree with a plain reading of four parts, the number rule must never read
// past the digits, and the queue must hand out every byte once, in order, in
// datagrams no larger than a block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "net/asyncsocket.h"
#include "net/sendbuf.h"

using namespace velmora;
using namespace velmora::net;

namespace {

bool plainQuad(std::string_view t) {
    std::size_t i = 0, end = t.size();
    while (i < end && t[i] == ' ') ++i;
    while (end > i && t[end - 1] == ' ') --end;
    t = t.substr(i, end - i);
    int parts = 0;
    std::size_t pos = 0;
    for (;;) {
        std::size_t digits = 0;
        unsigned long value = 0;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') {
            value = value * 10 + static_cast<unsigned long>(t[pos] - '0');
            if (value > 255) return false;
            ++pos;
            ++digits;
        }
        if (digits == 0) return false;
        ++parts;
        if (pos == t.size()) return parts == 4;
        if (t[pos] != '.') return false;
        ++pos;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (isDottedQuad(text) != plainQuad(text)) std::abort();
    (void)leadingNumber(text);
    (void)portNumber(text);
    (void)socketErrorMessage(static_cast<int>(size) + 10000, text);

    // Queue the input in pieces whose sizes come from the input itself.
    const int blockSize = size > 0 ? 1 + data[0] % 64 : 1;
    SendQueue queue(blockSize);
    std::size_t at = 0;
    while (at < size) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 + data[at] % 97);
        queue.append(text.data() + at, static_cast<int>(piece));
        at += piece;
    }
    std::string out;
    int failure = 0;
    const SendStop stop = queue.trySend(
        [&](std::string_view bytes) {
            if (bytes.size() > static_cast<std::size_t>(blockSize)) std::abort();
            out.append(bytes);
            return SendOutcome{static_cast<int>(bytes.size()), 0};
        },
        nullptr, failure);
    if (stop != SendStop::AllSent || out != text) std::abort();
    return 0;
}
