#include "core/urllink.h"

#include "base/text.h"
#include "base/address.h"

namespace velmora {

const WebScheme kWebSchemes[3] = {{"qw", "qws"}, {"quake2", "q2s"}, {"quake3", "q3a"}};

namespace {

bool startsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && lowerAscii(text.substr(0, prefix.size())) == prefix;
}

// Why a link's text cannot be a plain address, or nothing. Each of these is
// something a page can write that a game or a name lookup could take for more
// than a host and a port.
const char* forbiddencharacter(std::string_view body) {
    for (const char c : body) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= ' ' || u == 0x7F) return "It holds blanks or control characters.";
        if (c == '"' || c == '\'') return "It holds quotes.";
        if (c == '%') return "It holds %-escapes.";
        if (c == '@') return "It holds user information (\"@\").";
        if (c == '?') return "It holds a query string (\"?\").";
        if (c == '#') return "It holds a fragment (\"#\").";
        if (c == '+') return "It holds a \"+\", which a game reads as the start of a command.";
    }
    return nullptr;
}

WebLink refused(std::string_view text, const WebScheme& scheme, const std::string& why) {
    WebLink web;
    web.kind = WebLink::Kind::Refused;
    web.message = refusedlinkmessage(text, why,
                                     std::string(scheme.scheme) + "://host:port/ or " + scheme.scheme +
                                         "://connect/host:port/");
    return web;
}

}  // namespace

WebLink parseweblink(std::string_view text) {
    const WebScheme* scheme = nullptr;
    for (const WebScheme& s : kWebSchemes)
        if (startsWithIgnoringCase(text, std::string(s.scheme) + ":")) scheme = &s;
    if (!scheme) return {};

    if (text.size() > kWebLinkLimit)
        return refused(text, *scheme, format("It is longer than %u characters.", unsigned(kWebLinkLimit)));
    std::string_view body = text.substr(std::string_view(scheme->scheme).size() + 1);
    if (body.substr(0, 2) != "//") return refused(text, *scheme, "It has no \"//\" after the scheme.");
    body.remove_prefix(2);
    if (const char* why = forbiddencharacter(body)) return refused(text, *scheme, why);

    if (startsWithIgnoringCase(body, "connect/")) body.remove_prefix(8);
    if (!body.empty() && body.back() == '/') body.remove_suffix(1);
    if (body.find('/') != std::string_view::npos)
        return refused(text, *scheme, "It has more path than one \"/\" after the address.");

    if (const char* why = addressfault(body)) return refused(text, *scheme, why);

    WebLink web;
    web.kind = WebLink::Kind::Accepted;
    web.gameid = scheme->gameid;
    web.line = std::string(body) + " " + scheme->gameid;
    return web;
}

ResolvedLink resolveweblink(const WebLink& web, const std::vector<GameKey>& games) {
    ResolvedLink link = resolvelink(web.line, games);
    // With no row of the scheme's game, the link's port would pick another one.
    if (link.game != -1 && upperAscii(games[static_cast<size_t>(link.game)].gameid) != upperAscii(web.gameid))
        return {};
    return link;
}

}  // namespace velmora
