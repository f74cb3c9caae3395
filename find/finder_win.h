// "Find a game" on Windows Sockets: the refresh's rules (find/refresh.h) run
// over one datagram port, the masters' host names looked up off the thread
// first, and every game's master query and decoders taken from its plug-in.
// Nothing is sent and no name is looked up before refresh() is called.
#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/velmoraglobal.h"
#include "find/refresh.h"
#include "net/datagramport_win.h"
#include "net/winsock_win.h"
#include "plugins/include/velmora_plugin.h"

namespace velmora::find {

// The game's source for a refresh, masters not yet filled in; nothing for a
// game whose plug-in has no master query or no master decoder.
std::optional<GameSource> gamesource(const tplugin& game, int index);

class Finder : private RefreshTransport {
public:
    // Callable from any thread: it stamps datagrams as they arrive.
    using Clock = net::DatagramPort::Clock;
    // `clock` defaults to the program's clock (clockMilliseconds).
    explicit Finder(Clock clock = nullptr);
    Finder(const Finder&) = delete;
    Finder& operator=(const Finder&) = delete;
    ~Finder() override;

    // Asks the masters of `games` (every game that has a list, or only the
    // game `only` when it is 0 or more) and then their servers. The rows of
    // an earlier refresh stay until new figures come.
    void refresh(const std::vector<tplugin>& games, int only = -1);
    void refreshserver(std::size_t row);

    const std::vector<ServerRow>& rows() const { return refresh_.rows(); }
    std::string status() const;
    bool working() const { return looking_ || refresh_.working(); }
    std::uint64_t sent() const { return port_.sent(); }

    // The rows or the status changed (at most ten times a second while
    // replies pour in).
    std::function<void()> OnChange;

private:
    void send(const Endpoint& to, const std::string& bytes) override;
    void looked(std::uint64_t round);
    void arm();
    std::uint32_t now() const;

    Clock clock_;
    Refresh refresh_{*this};
    net::DatagramPort port_;
    net::HostLookups lookups_;
    // The sources of the refresh whose masters' names are being looked up.
    std::vector<GameSource> sources_;
    std::vector<std::vector<MasterName>> names_;
    std::size_t lookupsLeft_ = 0;
    std::uint64_t round_ = 0;
    bool looking_ = false;
    std::vector<MasterEntry> entries_;
};

}  // namespace velmora::find
