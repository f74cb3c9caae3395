// Server addresses as texts: "host:port" as links and the history store them,
// "host:port..." as the query window's label shows them, and the rules every
// user of an address shares (splitting, the dotted quad, port numbers, what a
// game's command line may be given).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// The address without the query window's trailing "..." (only one goes).
std::string_view withoutdots(std::string_view label);

// Both split at the last ':' after dropping a trailing "..."; without a ':'
// both are empty.
std::string gethost(std::string_view address);
std::string getport(std::string_view address);

// Blanks around the text allowed, no leading dot, only digits and exactly
// three dots, every dot followed by a digit, no part above 255.
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

}  // namespace velmora
