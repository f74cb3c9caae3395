// Fuzzes the socket's text rules and send queue: the dotted-quad reading must
// agree with a plain reading of four parts, address included, the number rule
// must never read past the digits, and the queue must hand out every byte
// once, in order, in datagrams no larger than a block.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "net/asyncsocket.h"
#include "net/sendbuf.h"

using namespace velmora;
using namespace velmora::net;

namespace {

// Four parts of digits, no part above 255 and none with a leading zero (which
// inet_addr would read as octal); the address in host order.
std::optional<std::uint32_t> plainQuad(std::string_view t) {
    std::size_t i = 0, end = t.size();
    while (i < end && t[i] == ' ') ++i;
    while (end > i && t[end - 1] == ' ') --end;
    t = t.substr(i, end - i);
    int parts = 0;
    std::uint32_t address = 0;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t start = pos;
        unsigned long value = 0;
        while (pos < t.size() && t[pos] >= '0' && t[pos] <= '9') {
            value = value * 10 + static_cast<unsigned long>(t[pos] - '0');
            if (value > 255) return std::nullopt;
            ++pos;
        }
        if (pos == start || (pos - start > 1 && t[start] == '0')) return std::nullopt;
        address = address << 8 | static_cast<std::uint32_t>(value);
        ++parts;
        if (pos == t.size()) return parts == 4 ? std::optional<std::uint32_t>(address) : std::nullopt;
        if (t[pos] != '.' || parts == 4) return std::nullopt;
        ++pos;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::optional<std::uint32_t> quad = plainQuad(text);
    if (isDottedQuad(text) != quad.has_value() || parseDottedQuad(text) != quad) std::abort();
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
