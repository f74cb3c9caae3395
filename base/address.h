// Server addresses as texts: "host:port" as links and the history store them,
// "host:port..." as the query window's label shows them, and the rules every
// user of an address shares (splitting, the dotted quad, port numbers, what a
// game's command line may be given).
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace velmora {

// The address without the query window's trailing "..." (only one goes).
std::string_view withoutdots(std::string_view label);

// Both split at the last ':' after dropping a trailing "..."; without a ':'
// both are empty.
std::string gethost(std::string_view address);
std::string getport(std::string_view address);

// The one reading of a dotted quad for every part of the program: four parts
// of one to three decimal digits joined by single dots, each 0-255 and
// without leading zeros ("0" is a part, "010" is not: the system's inet_addr
// reads it as octal, 8, where a person means 10), blanks around the whole
// text allowed. The address comes in host order: 127.0.0.1 is 0x7F000001.
std::optional<std::uint32_t> parseDottedQuad(std::string_view text);
// The text reads as a dotted quad.
bool isDottedQuad(std::string_view text);

// Leading blanks, then decimal digits up to the first other character; the
// rest is ignored ("27500..." gives 27500). The range is not tested: the
// number wraps like the 32-bit integer it is read into.
std::uint32_t leadingNumber(std::string_view text);
// A socket's port is the leading number's low 16 bits.
inline std::uint16_t portNumber(std::string_view text) {
    return static_cast<std::uint16_t>(leadingNumber(text) & 0xFFFFu);
}
// The resolvers read a number when the trimmed text starts with a digit.
bool startsWithDigit(std::string_view trimmed);
// Leading and trailing blanks removed (blanks only, as the resolvers do).
std::string trimBlanks(std::string_view text);

// What may follow a game's parameters on its command line, which Quake
// engines split at "+": a dotted quad, or a name of letters, digits, "." and
// "-" that does not begin with "-"; a port of 1-65535 in decimal digits only.
bool joinablehost(std::string_view host);
bool joinableport(std::string_view port);

// A server address as a link names it, "host" or "host:port" split at the
// last ":", held to the rules above: nullptr when it may be queried, stored
// and joined, otherwise why not, as a sentence for the user. Web links, link
// files and the status watcher all ask here.
const char* addressfault(std::string_view address);

}  // namespace velmora
