// Host names are looked up off the user-interface thread, for the socket and
// the query window alike: while a name server is slow (a resolver of the
// test's that answers only when told), the thread goes on, a close cancels
// the lookup, and nothing calls back after its owner has gone.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/gametable.h"
#include "net/asyncsocket_win.h"
#include "query/loading_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/slowresolver_win.h"
#include "tests/net/udpresponder_win.h"

using namespace velmora;
using namespace velmora::net;
using velmora::test::answerWithPrefix;
using velmora::test::pump;
using velmora::test::SlowResolver;
using velmora::test::TickingWindowTimer;
using velmora::test::UdpResponder;

namespace {

const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);
const std::string kSlowName = "slow.velmora-test";
constexpr std::uint32_t kLoop = 0x7F000001;

struct Events {
    std::vector<std::string> seen;
    int sendData = 0;
    std::vector<std::string> datagrams;
    void attach(TCustomAsyncSocket& s) {
        s.OnChangeState = [this](TCustomAsyncSocket&, TSocketState from, TSocketState to) {
            seen.push_back(std::string(stateName(from)) + ">" + stateName(to));
        };
        s.OnSessionConnected = [this](TCustomAsyncSocket&, std::uint16_t e) { seen.push_back("connected " + std::to_string(e)); };
        s.OnError = [this](TCustomAsyncSocket&) { seen.push_back("error"); };
        s.OnSendData = [this](TCustomAsyncSocket&, int) { ++sendData; };
        s.OnDataAvailable = [this](TCustomAsyncSocket& sender, std::uint16_t) { datagrams.push_back(sender.ReceiveText()); };
    }
};

void setUdp(TCustomAsyncSocket& s, const std::string& host, int port) {
    s.SetAddr(host);
    s.SetPort(std::to_string(port));
    s.SetProto("udp");
}

// Every lookup the resolver was given has come back and been dropped or handed on.
bool lookupsDone() {
    return pump(10000, [] { return HostLookups::running() == 0; });
}

class NameLookup : public ::testing::Test {
protected:
    void SetUp() override { velmora::test::app(); }
    void TearDown() override {
        resolver_.reset();
        EXPECT_TRUE(lookupsDone()) << "a lookup still holds the library";
    }
    SlowResolver& resolver() { return *resolver_; }
    std::unique_ptr<SlowResolver> resolver_ = std::make_unique<SlowResolver>();
};

}  // namespace

// The name server takes its time: Connect returns at once, the thread's window
// timer keeps ticking, and what was sent meanwhile leaves once the name is found.
TEST_F(NameLookup, ConnectToANameLeavesTheThreadFreeAndSendsOnceTheNameIsFound) {
    resolver().know(kSlowName, kLoop);
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    Events e;
    e.attach(s);
    setUdp(s, kSlowName, peer.port());
    TickingWindowTimer timer;
    s.Connect();
    EXPECT_EQ(s.State(), TSocketState::wsConnecting);
    EXPECT_EQ(s.SendText("status"), 6) << "queued while the name is looked up";
    ASSERT_TRUE(pump(10000, [&] { return timer.ticks() >= 5; })) << "the thread stood still";
    EXPECT_EQ(resolver().answered(), 0);
    EXPECT_EQ(s.State(), TSocketState::wsConnecting);
    EXPECT_EQ(e.sendData, 0);

    resolver().releaseAll();
    ASSERT_TRUE(pump(10000, [&] { return !e.datagrams.empty(); }));
    EXPECT_EQ(peer.received(), std::vector<std::string>{"status"});
    EXPECT_EQ(e.datagrams.front(), kPrefix + "status");
    EXPECT_EQ(e.seen, (std::vector<std::string>{"wsClosed>wsConnecting", "wsConnecting>wsOpened",
                                                "wsOpened>wsConnected", "connected 0"}));
    EXPECT_EQ(resolver().asked(), std::vector<std::string>{kSlowName});
}

// Close while the name is looked up: the lookup is cancelled, its late answer
// opens nothing and sends nothing, and the defaults are back.
TEST_F(NameLookup, CloseDuringTheLookupCancelsIt) {
    resolver().know(kSlowName, kLoop);
    TAsyncSocket s;
    Events e;
    e.attach(s);
    setUdp(s, kSlowName, 27500);
    s.Connect();
    s.SendText("status");
    s.Close();
    EXPECT_EQ(resolver().cancelled(), 1);
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_FALSE(s.AddrAssigned()) << "a close applies the defaults";
    resolver().releaseAll();
    ASSERT_TRUE(lookupsDone());
    EXPECT_EQ(resolver().answered(), 1);
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_EQ(s.HSocket(), INVALID_SOCKET);
    EXPECT_EQ(e.sendData, 0);
    EXPECT_EQ(e.seen, (std::vector<std::string>{"wsClosed>wsConnecting", "wsConnecting>wsClosed"}));
}

// A name not found fails as a Connect did: OnError (or, without it, the
// background exception with the resolver's text), closed, properties kept,
// nothing sent.
TEST_F(NameLookup, ANameNotFoundIsAFailedConnect) {
    resolver().releaseAll();
    {
        TAsyncSocket s;
        Events e;
        e.attach(s);
        setUdp(s, "nowhere.velmora-test", 27500);
        s.Connect();
        s.SendText("status");
        ASSERT_TRUE(pump(10000, [&] { return !e.seen.empty() && e.seen.back() == "error"; }));
        EXPECT_EQ(e.seen, (std::vector<std::string>{"wsClosed>wsConnecting", "wsConnecting>wsClosed", "error"}));
        EXPECT_EQ(s.Addr(), "nowhere.velmora-test") << "properties stay set across a failed Connect";
        EXPECT_EQ(e.sendData, 0);
        EXPECT_EQ(s.SendText("x"), -1);
    }
    TAsyncSocket s;
    std::string raised;
    s.OnBgException = [&](TCustomAsyncSocket&, const std::exception& ex, bool&) { raised = ex.what(); };
    setUdp(s, "nowhere.velmora-test", 27500);
    s.Connect();
    ASSERT_TRUE(pump(10000, [&] { return !raised.empty(); }));
    EXPECT_EQ(raised, "connect: SocketResolveHost: Cannot convert host address 'nowhere.velmora-test'");
}

// A dotted quad is never looked up, for Connect and DnsLookup alike, nor are
// digits and dots that are no dotted quad (the system would read them its own way).
TEST_F(NameLookup, DottedQuadsAreNeverLookedUp) {
    for (const char* quad : {"127.0.0.1", " 127.0.0.1 ", "255.255.255.255"}) {
        TAsyncSocket s;
        setUdp(s, quad, 27500);
        s.Connect();
        EXPECT_EQ(s.State(), TSocketState::wsConnected) << quad;
    }
    struct Case {
        const char* host;
        int error;
        const char* result;
    };
    const Case cases[] = {
        {"127.0.0.1", 0, "127.0.0.1"}, {"255.255.255.255", 0, "255.255.255.255"}, {"127.1", 11001, ""},
        {"010.0.0.1", 11001, ""},
    };
    for (const Case& c : cases) {
        TAsyncSocket s;
        std::vector<int> done;
        s.OnDnsLookupDone = [&](TCustomAsyncSocket&, std::uint16_t error) { done.push_back(error); };
        s.DnsLookup(c.host);
        EXPECT_EQ(done, std::vector<int>{c.error}) << c.host << ": answered at once";
        EXPECT_EQ(s.DnsResult(), c.result) << c.host;
    }
    EXPECT_TRUE(resolver().asked().empty());
}

// DnsLookup of a name answers through OnDnsLookupDone; a component destroyed
// while its lookup runs is never called back.
TEST_F(NameLookup, DnsLookupAnswersLaterAndNotAfterTheComponentHasGone) {
    resolver().know(kSlowName, kLoop);
    TAsyncSocket s;
    std::vector<int> done;
    s.OnDnsLookupDone = [&](TCustomAsyncSocket&, std::uint16_t error) { done.push_back(error); };
    s.DnsLookup(kSlowName);
    bool called = false;
    {
        TAsyncSocket gone;
        gone.OnDnsLookupDone = [&](TCustomAsyncSocket&, std::uint16_t) { called = true; };
        gone.DnsLookup(kSlowName);
    }
    EXPECT_TRUE(done.empty());
    resolver().releaseAll();
    ASSERT_TRUE(lookupsDone());
    EXPECT_EQ(done, std::vector<int>{0});
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");
    EXPECT_EQ(s.DnsResultList(), std::vector<std::string>{"127.0.0.1"});
    EXPECT_FALSE(called);
    EXPECT_EQ(resolver().cancelled(), 1);
}

// The library's lookup may still run after its owner has gone: the socket
// library stays loaded until the lookup has answered, then goes.
TEST_F(NameLookup, TheLibraryStaysLoadedWhileALookupMayStillRun) {
    ASSERT_EQ(WinsockLibrary::liveComponents(), 0);
    resolver().know(kSlowName, kLoop);
    {
        TAsyncSocket s;
        setUdp(s, kSlowName, 27500);
        s.Connect();  // reads the protocol from the library: it is loaded
        ASSERT_TRUE(WinsockLibrary::loaded());
    }
    EXPECT_TRUE(WinsockLibrary::loaded()) << "unloaded under a running lookup";
    EXPECT_EQ(WinsockLibrary::liveComponents(), 1);
    resolver().releaseAll();
    ASSERT_TRUE(lookupsDone());
    EXPECT_FALSE(WinsockLibrary::loaded());
    EXPECT_EQ(WinsockLibrary::liveComponents(), 0);
}

namespace {
// The game table and the tray of the program, as a query window needs them.
class OneGameHost : public QueryHost, private GameStore {
public:
    OneGameHost() {
        tplugin row;
        row.gamename = "Slow Game";
        row.gameid = "slw";
        row.defport = "27960";
        row.sendstr = kPrefix + "getstatus";
        table_.add(row);
    }
    const GameTable& gametable() const override { return table_; }
    void settrayanimated(bool) override {}
    void showgamepaths(int) override {}

private:
    std::string read(const std::string&, const char*, bool) override { return {}; }
    std::optional<std::string> readset(const std::string&, const char*) override { return std::nullopt; }
    void write(const std::string&, const char*, const std::string&) override {}
    void remove(const std::string&, const char*) override {}
    GameTable table_{*this};
};

std::unique_ptr<Tloadform> openQuery(OneGameHost& host, const std::string& address) {
    auto w = std::make_unique<Tloadform>(host);
    w->gameIndex = 0;
    w->Label2.setText(address + "...");
    w->show();
    return w;
}
}  // namespace

// The query window while its server's name is looked up: the thread goes on
// (a window timer ticks, the window is painted), and closing the window
// cancels the lookup, whose late answer then sends nothing and shows nothing.
TEST_F(NameLookup, TheQueryWindowWaitsForANameWithoutStoppingAndItsCloseCancelsTheLookup) {
    resolver().know(kSlowName, kLoop);
    UdpResponder server(answerWithPrefix);
    OneGameHost host;
    TickingWindowTimer timer;
    auto w = openQuery(host, kSlowName + ":" + std::to_string(server.port()));
    ASSERT_TRUE(pump(10000, [&] { return !resolver().asked().empty(); })) << "the query never started";
    const int before = timer.ticks();
    ASSERT_TRUE(pump(10000, [&] { return timer.ticks() >= before + 5; })) << "the thread stood still";
    EXPECT_TRUE(w->waiting());
    EXPECT_EQ(w->udpclient.State(), TSocketState::wsConnecting);

    int sent = 0;
    w->udpclient.OnSendData = [&](TCustomAsyncSocket&, int) { ++sent; };
    w->close();
    EXPECT_EQ(resolver().cancelled(), 1);
    resolver().releaseAll();
    ASSERT_TRUE(lookupsDone());
    EXPECT_EQ(sent, 0);
    EXPECT_EQ(w->udpclient.State(), TSocketState::wsClosed);
    EXPECT_FALSE(w->waiting());
    EXPECT_EQ(w->reply, "") << "a closed window shows no error";
}

// Once the name is found the query goes out to the address found.
TEST_F(NameLookup, TheQueryWindowAsksOnceTheNameIsFound) {
    resolver().know(kSlowName, kLoop);
    UdpResponder server;
    OneGameHost host;
    auto w = openQuery(host, kSlowName + ":" + std::to_string(server.port()));
    ASSERT_TRUE(pump(10000, [&] { return !resolver().asked().empty(); }));
    EXPECT_TRUE(server.received().empty());
    resolver().releaseAll();
    ASSERT_TRUE(pump(10000, [&] { return !server.received().empty(); }));
    EXPECT_EQ(server.received(), std::vector<std::string>{kPrefix + "getstatus"});
    EXPECT_EQ(w->udpclient.State(), TSocketState::wsConnected);
}

// The ping and the time-out count from the datagram's going, not from the
// start of the lookup: a name found after longer than the time-out still
// gets its answer, with the server's own ping.
TEST_F(NameLookup, ALookupIsNoPartOfThePingOrTheTimeOut) {
    resolver().know(kSlowName, kLoop);
    UdpResponder server([](const std::string&) {
        return std::vector<std::string>{kPrefix + "statusResponse\n\\sv_hostname\\slow\n"};
    });
    OneGameHost host;
    auto w = openQuery(host, kSlowName + ":" + std::to_string(server.port()));
    ASSERT_TRUE(pump(10000, [&] { return !resolver().asked().empty(); }));
    // The name server takes longer than the time-out of a query to a
    // silent server started after this one: that query timing out marks
    // the moment.
    UdpResponder silent;
    auto marker = openQuery(host, "127.0.0.1:" + std::to_string(silent.port()));
    ASSERT_TRUE(pump(10000, [&] { return marker->finished; }));
    EXPECT_EQ(marker->elapsedMs, 999) << "the marker timed out";
    EXPECT_FALSE(w->finished) << "timed out while the name was looked up";
    resolver().releaseAll();
    ASSERT_TRUE(pump(10000, [&] { return w->finished; }));
    EXPECT_EQ(server.received().size(), 1u);
    EXPECT_NE(w->reply, "");
    EXPECT_LT(w->elapsedMs, 1000) << "the lookup counted into the ping";
}
