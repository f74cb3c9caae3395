// The asynchronous socket on real Windows Sockets (under Wine), talking to a
// UDP peer on 127.0.0.1.
#include "net/asyncsocket_win.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <fstream>
#include <sstream>

#include <memory>
#include <string>
#include <vector>

#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"

using namespace velmora::net;
using velmora::test::answerWithPrefix;
using velmora::test::drainPosted;
using velmora::test::pump;
using velmora::test::UdpResponder;

namespace {

const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);

// Everything the socket announces, in order.
struct Recorder {
    std::vector<std::string> events;
    int errors = 0;
    int closed = 0;
    int dataSent = 0;
    std::vector<int> sendData;
    std::vector<std::string> datagrams;

    void attach(TCustomAsyncSocket& s, bool readOnData = true) {
        s.OnChangeState = [this](TCustomAsyncSocket&, TSocketState from, TSocketState to) {
            events.push_back(std::string(stateName(from)) + ">" + stateName(to));
        };
        s.OnSessionConnected = [this](TCustomAsyncSocket&, std::uint16_t e) {
            events.push_back("connected " + std::to_string(e));
        };
        s.OnSessionClosed = [this](TCustomAsyncSocket&, std::uint16_t e) {
            ++closed;
            events.push_back("closed " + std::to_string(e));
        };
        s.OnError = [this](TCustomAsyncSocket&) { ++errors; };
        s.OnSendData = [this](TCustomAsyncSocket&, int n) { sendData.push_back(n); };
        s.OnDataSent = [this](TCustomAsyncSocket&, std::uint16_t) { ++dataSent; };
        if (readOnData)
            s.OnDataAvailable = [this](TCustomAsyncSocket& sender, std::uint16_t) {
                datagrams.push_back(sender.ReceiveText());
            };
    }
};

void openUdp(TCustomAsyncSocket& s, int port, const std::string& portSuffix = "") {
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(port) + portSuffix);
    s.SetProto("udp");
    s.Connect();
}

template <typename F>
std::string raisedMessage(F&& f) {
    try {
        f();
    } catch (const ESocketException& e) {
        return e.what();
    }
    return "(nothing raised)";
}

}  // namespace

class AsyncSocket : public ::testing::Test {
protected:
    void SetUp() override { velmora::test::app(); }
};

// The query window's whole exchange: connect, send, datagram arrives, read exactly it, close.
TEST_F(AsyncSocket, FullExchangeWithLoopbackResponder) {
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    openUdp(s, peer.port());
    EXPECT_EQ(s.State(), TSocketState::wsConnected);
    EXPECT_EQ(r.events, (std::vector<std::string>{"wsClosed>wsOpened", "wsOpened>wsConnected", "connected 0"}));
    EXPECT_NE(s.LocalPort(), "0") << "the bound port is read back";

    EXPECT_EQ(s.SendText("status\n"), 7);
    ASSERT_TRUE(pump(3000, [&] { return !r.datagrams.empty(); }));
    EXPECT_EQ(peer.received(), std::vector<std::string>{"status\n"}) << "sent byte for byte, no terminator";
    EXPECT_EQ(r.datagrams.front(), kPrefix + "status\n");
    EXPECT_EQ(peer.lastSourcePort(), std::stoi(s.LocalPort()));

    s.Close();
    EXPECT_EQ(r.closed, 1);
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_EQ(s.Proto(), "tcp");
    EXPECT_FALSE(s.AddrAssigned());
    EXPECT_FALSE(s.PortAssigned());
    EXPECT_EQ(s.LocalPort(), "0");
    s.Close();
    ASSERT_TRUE(drainPosted());
    EXPECT_EQ(r.closed, 1) << "closing twice reports the close once";
    EXPECT_EQ(r.errors, 0);
}

// The reply reaches the reader unchanged: zero bytes, FF bytes, any length.
TEST_F(AsyncSocket, ReceiveTextReturnsTheDatagramByteForByte) {
    UdpResponder peer([](const std::string& d) {
        return std::vector<std::string>{kPrefix + std::string("a\0b\xFF", 4) + std::string(std::stoul(d), 'z')};
    });
    for (int size : {0, 1, 1500, 4000, 60000}) {
        TAsyncSocket s;
        Recorder r;
        r.attach(s);
        openUdp(s, peer.port());
        s.SendText(std::to_string(size));
        ASSERT_TRUE(pump(3000, [&] { return !r.datagrams.empty(); })) << size;
        EXPECT_EQ(r.datagrams.front(), kPrefix + std::string("a\0b\xFF", 4) + std::string(size, 'z')) << size;
    }
}

// Several datagrams waiting: each read gets one, in order, none lost.
TEST_F(AsyncSocket, SeveralDatagramsAreReadOneAtATime) {
    UdpResponder peer([](const std::string&) {
        return std::vector<std::string>{"first", "second-longer", "3"};
    });
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    openUdp(s, peer.port());
    s.SendText("go");
    pump(3000, [&] { return r.datagrams.size() >= 3; });
    pump(100);
    // Every datagram also posts its own read notification; those that come
    // after the loop has read everything find nothing and read empty.
    std::vector<std::string> nonEmpty;
    for (const auto& d : r.datagrams)
        if (!d.empty()) nonEmpty.push_back(d);
    EXPECT_EQ(nonEmpty, (std::vector<std::string>{"first", "second-longer", "3"}));
}

// The edge cases of the open socket's properties.
TEST_F(AsyncSocket, ProtoUdpTwiceIsNoChangeAndTcpRaises) {
    UdpResponder peer;
    TAsyncSocket s;
    openUdp(s, peer.port());
    EXPECT_NO_THROW(s.SetProto("udp"));
    EXPECT_EQ(raisedMessage([&] { s.SetProto("tcp"); }), "Cannot change Proto if not closed");
    EXPECT_EQ(s.Proto(), "udp");
    EXPECT_NO_THROW(s.SetAddr("127.0.0.1"));
    EXPECT_EQ(raisedMessage([&] { s.SetAddr("localhost"); }), "Cannot change Addr if not closed");
    EXPECT_EQ(raisedMessage([&] { s.SetPort("1"); }), "Cannot change Port if not closed");
    EXPECT_EQ(raisedMessage([&] { s.SetLocalPort("1"); }), "Cannot change LocalPort if not closed");
    EXPECT_EQ(raisedMessage([&] { s.SetLocalAddr("127.0.0.1"); }), "Cannot change LocalAddr if not closed");
    EXPECT_EQ(raisedMessage([&] { s.Connect(); }), "Connect: Socket already in use");
    EXPECT_EQ(s.State(), TSocketState::wsConnected) << "refused changes leave the socket as it was";
    int errors = 0;
    s.OnError = [&](TCustomAsyncSocket&) { ++errors; };
    EXPECT_NO_THROW(s.SetProto("tcp"));
    EXPECT_EQ(errors, 1) << "with OnError assigned the refusal goes there";
}

// Close restores the defaults, so a Connect without setting them again has no port.
TEST_F(AsyncSocket, ConnectAfterCloseHasNoPort) {
    UdpResponder peer;
    TAsyncSocket s;
    openUdp(s, peer.port());
    s.Close();
    EXPECT_EQ(raisedMessage([&] { s.Connect(); }), "Connect: No Port Specified");
    s.SetPort("27500");
    EXPECT_EQ(raisedMessage([&] { s.Connect(); }), "Connect: No IP Address Specified");
    s.SetAddr("127.0.0.1");
    s.SetProto("");
    EXPECT_EQ(raisedMessage([&] { s.Connect(); }), "Connect: No Protocol Specified");
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
}

// The address label's "host:port..." text: the port part still resolves to the number.
TEST_F(AsyncSocket, PortWithTrailingDotsResolvesToTheDigits) {
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    openUdp(s, peer.port(), "...");
    ASSERT_EQ(s.State(), TSocketState::wsConnected);
    s.SendText("x");
    ASSERT_TRUE(pump(3000, [&] { return !r.datagrams.empty(); }));
    EXPECT_EQ(peer.received(), std::vector<std::string>{"x"});
}

// A send on a closed socket fails softly through OnError with "not connected".
TEST_F(AsyncSocket, SendTextOnClosedSocketReports10057) {
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    EXPECT_EQ(s.SendText("hello"), -1);
    EXPECT_EQ(r.errors, 1);
    EXPECT_EQ(s.LastError(), 10057);
    TAsyncSocket quiet;
    EXPECT_EQ(raisedMessage([&] { quiet.SendText("x"); }), "Error 10057 in function Send\r\nSocket is not connected");
}

// A 2000-byte text leaves as two datagrams; OnDataSent comes from the loop, not from inside the send.
TEST_F(AsyncSocket, LongTextLeavesAsDatagramsOf1514And486) {
    UdpResponder peer;
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    openUdp(s, peer.port());
    pump(100);  // let the first write notification of the new socket pass
    r.dataSent = 0;
    std::string text(2000, '\0');
    for (std::size_t i = 0; i < text.size(); ++i) text[i] = static_cast<char>(i % 251);
    EXPECT_EQ(s.SendText(text), 2000);
    EXPECT_EQ(r.sendData, (std::vector<int>{1514, 486}));
    EXPECT_EQ(r.dataSent, 0) << "not fired from inside SendText";
    ASSERT_TRUE(pump(3000, [&] { return peer.received().size() >= 2 && r.dataSent > 0; }));
    const auto got = peer.received();
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].size(), 1514u);
    EXPECT_EQ(got[1].size(), 486u);
    EXPECT_EQ(got[0] + got[1], text);
    EXPECT_GE(r.dataSent, 1);
}

// A handler that closes the socket in the middle of a two-block send ends that
// send: the close is reported once, and the next session reports its own close.
TEST_F(AsyncSocket, CloseInsideSendDataEndsTheSendAndTheNextSessionReportsItsClose) {
    UdpResponder peer;
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    openUdp(s, peer.port());
    s.OnSendData = [&](TCustomAsyncSocket& sender, int n) {
        r.sendData.push_back(n);
        sender.Close();
    };
    EXPECT_EQ(s.SendText(std::string(2000, 'x')), 2000);
    EXPECT_EQ(r.sendData, std::vector<int>{1514});
    EXPECT_EQ(r.closed, 1);
    EXPECT_EQ(r.events.back(), "closed 0");
    EXPECT_EQ(r.errors, 0);

    s.OnSendData = nullptr;
    const int before = r.closed;
    openUdp(s, peer.port());
    ASSERT_EQ(s.State(), TSocketState::wsConnected);
    s.Close();
    s.Close();
    ASSERT_TRUE(drainPosted());
    EXPECT_EQ(r.closed, before + 1) << "closing twice reports the second session's close once";
    EXPECT_EQ(r.errors, 0);
}

// A send of nothing queues nothing and returns 0.
TEST_F(AsyncSocket, EmptySendReturnsZero) {
    UdpResponder peer;
    TAsyncSocket s;
    openUdp(s, peer.port());
    EXPECT_EQ(s.SendText(""), 0);
    EXPECT_EQ(s.Send("x", -5), 0);
    // A datagram sent after them reaches the peer after anything they sent.
    s.SendText("marker");
    ASSERT_TRUE(pump(3000, [&] { return !peer.received().empty(); }));
    EXPECT_EQ(peer.received(), std::vector<std::string>{"marker"});
}

// Reading with nothing waiting gives an empty text and no error.
TEST_F(AsyncSocket, ReceiveTextWithNothingWaitingIsEmpty) {
    UdpResponder peer;
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    openUdp(s, peer.port());
    EXPECT_EQ(s.ReceiveText(), "");
    EXPECT_EQ(s.RcvdCount(), 0);
    EXPECT_EQ(r.errors, 0);
}

// Name failures during Connect reach OnError, never the caller; the name is
// looked up in the background, so the failure comes from the message loop. A
// label longer than 63 characters fails inside the resolver, before any name
// server is asked (what is not a dotted quad, "1.2.3.256" say, is a name: the
// native tests of the dotted-quad rule cover those).
TEST_F(AsyncSocket, BadHostsReachOnErrorNotAnException) {
    const std::string unknownHost = std::string(70, 'q') + ".velmora-test";
    {
        TAsyncSocket s;
        Recorder r;
        r.attach(s);
        s.SetAddr(unknownHost);
        s.SetPort("27500");
        s.SetProto("udp");
        EXPECT_NO_THROW(s.Connect());
        ASSERT_TRUE(pump(10000, [&] { return r.errors > 0; }));
        EXPECT_EQ(r.errors, 1);
        EXPECT_EQ(s.State(), TSocketState::wsClosed);
        EXPECT_EQ(s.SendText("x"), -1) << "the query window's send after a failed connect fails too";
        EXPECT_EQ(r.errors, 2);
    }
    // Without OnError the failure is the background exception of the answer.
    TAsyncSocket s;
    std::string raised;
    s.OnBgException = [&](TCustomAsyncSocket&, const std::exception& e, bool&) { raised = e.what(); };
    s.SetAddr(unknownHost);
    s.SetPort("27500");
    s.SetProto("udp");
    EXPECT_NO_THROW(s.Connect());
    ASSERT_TRUE(pump(10000, [&] { return !raised.empty(); }));
    EXPECT_EQ(raised, "connect: SocketResolveHost: Cannot convert host address '" + unknownHost + "'");
    EXPECT_EQ(s.Addr(), unknownHost) << "properties stay set across a failed Connect";
}

// The resolvers' own limits, seen through Connect.
TEST_F(AsyncSocket, ResolverMessages) {
    struct Case {
        std::string addr, port, proto, message;
    };
    const Case cases[] = {
        {std::string(257, 'a'), "1", "udp",
         "connect: SocketResolveHost: '" + std::string(257, 'a') + "' Invalid Hostname."},
        {"127.0.0.1", std::string(32, '1'), "udp", "connect: SocketResolvePort: Invalid Port."},
        {"127.0.0.1", "1", std::string(32, 'u'), "connect: SocketResolveProto: Invalid Protocol."},
        {"127.0.0.1", "1", "nosuchproto", "connect: SocketResolveProto: Cannot convert protocol 'nosuchproto'"},
        {"127.0.0.1", "nosuchservice", "udp", "connect: SocketResolvePort: Cannot convert port 'nosuchservice'"},
    };
    for (const Case& c : cases) {
        TAsyncSocket s;
        s.SetAddr(c.addr);
        s.SetPort(c.port);
        s.SetProto(c.proto);
        EXPECT_EQ(raisedMessage([&] { s.Connect(); }), c.message);
        EXPECT_EQ(s.HSocket(), INVALID_SOCKET);
    }
}

// Protocol given by number: 17 is UDP.
TEST_F(AsyncSocket, ProtocolNumberSeventeenIsUdp) {
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    s.SetAddr("127.0.0.1");
    s.SetPort(std::to_string(peer.port()));
    s.SetProto("17");
    s.Connect();
    ASSERT_EQ(s.State(), TSocketState::wsConnected);
    s.SendText("n");
    EXPECT_TRUE(pump(3000, [&] { return !r.datagrams.empty(); }));
}

// Whether the machine's hosts file names localhost. Without it the name would
// be asked of a name server, off this machine: those cases are skipped then.
bool hostsFileNamesLocalhost() {
    std::ifstream hosts("Z:\\etc\\hosts");
    std::string line;
    while (std::getline(hosts, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string address, name;
        words >> address;
        while (words >> name)
            if (name == "localhost" && address == "127.0.0.1") return true;
    }
    return false;
}

// A host name from the hosts file resolves through the socket library's own
// lookup, in the background: the datagram sent meanwhile leaves once it has.
TEST_F(AsyncSocket, LocalhostNameResolves) {
    if (!hostsFileNamesLocalhost()) GTEST_SKIP() << "/etc/hosts does not name localhost";
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    s.SetAddr("localhost");
    s.SetPort(std::to_string(peer.port()));
    s.SetProto("udp");
    s.Connect();
    EXPECT_EQ(s.State(), TSocketState::wsConnecting);
    s.SendText("n");
    EXPECT_TRUE(pump(5000, [&] { return !r.datagrams.empty(); }));
    EXPECT_EQ(s.State(), TSocketState::wsConnected);
}

// The broadcast address passes resolution and switches broadcasting on (nothing is sent).
TEST_F(AsyncSocket, BroadcastAddressSwitchesBroadcastOn) {
    TAsyncSocket s;
    s.SetAddr("255.255.255.255");
    s.SetPort("27500");
    s.SetProto("udp");
    s.Connect();
    ASSERT_EQ(s.State(), TSocketState::wsConnected);
    BOOL on = FALSE;
    int len = sizeof on;
    ASSERT_EQ(getsockopt(s.HSocket(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on), &len), 0);
    EXPECT_TRUE(on);
    TAsyncSocket plain;
    plain.SetAddr("127.0.0.1");
    plain.SetPort("27500");
    plain.SetProto("udp");
    plain.Connect();
    on = TRUE;
    getsockopt(plain.HSocket(), SOL_SOCKET, SO_BROADCAST, reinterpret_cast<char*>(&on), &len);
    EXPECT_FALSE(on);
}

// The local address and port rules; a fixed local port is the datagrams' source.
TEST_F(AsyncSocket, LocalAddressAndPort) {
    TAsyncSocket s;
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");
    EXPECT_EQ(raisedMessage([&] { s.SetLocalAddr("not-an-ip"); }), "SetLocalAddr(): Invalid IP address");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0") << "a refused address leaves the old one";
    s.SetLocalAddr("127.0.0.1");
    EXPECT_EQ(s.LocalAddr(), "127.0.0.1");
    s.SetLocalAddr("");
    EXPECT_EQ(s.LocalAddr(), "0.0.0.0");

    UdpResponder peer;
    int localPort = 0;
    {
        UdpResponder probe;
        localPort = probe.port();
    }
    s.SetLocalAddr("127.0.0.1");
    s.SetLocalPort(std::to_string(localPort));
    openUdp(s, peer.port());
    ASSERT_EQ(s.State(), TSocketState::wsConnected);
    EXPECT_EQ(s.LocalPort(), std::to_string(localPort));
    s.SendText("from fixed port");
    ASSERT_TRUE(pump(3000, [&] { return !peer.received().empty(); }));
    EXPECT_EQ(peer.lastSourcePort(), localPort);
}

// A local port already taken: the bind failure goes to OnError once and ends
// Connect there; a session that goes on would report its start after the
// failure, and the query window would finish twice.
TEST_F(AsyncSocket, BindFailureIsReportedOnceAndEndsTheConnect) {
    UdpResponder taken;
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    s.SetLocalAddr("127.0.0.1");
    s.SetLocalPort(std::to_string(taken.port()));
    openUdp(s, 27500);
    EXPECT_EQ(r.errors, 1);
    EXPECT_NE(s.State(), TSocketState::wsConnected);
    EXPECT_EQ(std::count(r.events.begin(), r.events.end(), "connected 0"), 0);
    s.Close();
    TAsyncSocket quiet;
    quiet.SetLocalAddr("127.0.0.1");
    quiet.SetLocalPort(std::to_string(taken.port()));
    EXPECT_EQ(raisedMessage([&] { openUdp(quiet, 27500); }), "winsock.bind failed, error #10048");
}

TEST_F(AsyncSocket, SendFlagsAcceptOnlyNormalAndUrgent) {
    TAsyncSocket s;
    s.SetSendFlags(1);
    EXPECT_EQ(s.SendFlags(), TSocketSendFlags::wsSendUrgent);
    s.SetSendFlags(0);
    EXPECT_EQ(raisedMessage([&] { s.SetSendFlags(2); }), "Invalid SendFlags");
    EXPECT_EQ(s.SendFlags(), TSocketSendFlags::wsSendNormal);
}

// An exception escaping a notification: OnBgException, then the socket aborts itself.
TEST_F(AsyncSocket, BackgroundExceptionAbortsTheSocket) {
    UdpResponder peer;
    TAsyncSocket s;
    Recorder r;
    r.attach(s);
    std::string seen;
    s.OnBgException = [&](TCustomAsyncSocket&, const std::exception& e, bool& canClose) {
        seen = e.what();
        EXPECT_TRUE(canClose);
    };
    openUdp(s, peer.port());
    PostMessageA(s.Handle(), WM_TRIGGER_EXCEPTION, 0, 0);
    ASSERT_TRUE(pump(2000, [&] { return !seen.empty(); }));
    EXPECT_EQ(seen, "Test exception in asyncsocket");
    EXPECT_EQ(s.State(), TSocketState::wsClosed);
    EXPECT_EQ(r.closed, 1);
    EXPECT_EQ(s.Proto(), "tcp") << "the abort closes with the reset to defaults";
}

// A handler that keeps the socket: CanClose false leaves it open; its own exception is swallowed.
TEST_F(AsyncSocket, BackgroundExceptionHandlerMayKeepTheSocket) {
    UdpResponder peer;
    TAsyncSocket s;
    int calls = 0;
    s.OnBgException = [&](TCustomAsyncSocket&, const std::exception&, bool& canClose) {
        ++calls;
        canClose = false;
        throw std::runtime_error("handler failed too");
    };
    openUdp(s, peer.port());
    PostMessageA(s.Handle(), WM_TRIGGER_EXCEPTION, 0, 0);
    ASSERT_TRUE(pump(2000, [&] { return calls > 0; }));
    EXPECT_EQ(s.State(), TSocketState::wsConnected);
}

// An exception from OnDataAvailable is swallowed by the read loop; the socket goes on.
TEST_F(AsyncSocket, DataHandlerExceptionIsSwallowed) {
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    int calls = 0;
    bool bg = false;
    std::vector<std::string> got;
    s.OnBgException = [&](TCustomAsyncSocket&, const std::exception&, bool&) { bg = true; };
    s.OnDataAvailable = [&](TCustomAsyncSocket& sender, std::uint16_t) {
        got.push_back(sender.ReceiveText());
        if (++calls == 1) throw std::runtime_error("decoder failed");
    };
    openUdp(s, peer.port());
    s.SendText("one");
    ASSERT_TRUE(pump(3000, [&] { return calls >= 1; }));
    s.SendText("two");
    ASSERT_TRUE(pump(3000, [&] { return calls >= 2; }));
    EXPECT_FALSE(bg) << "data handler failures do not reach OnBgException";
    EXPECT_EQ(s.State(), TSocketState::wsConnected);
    EXPECT_EQ(got, (std::vector<std::string>{kPrefix + "one", kPrefix + "two"}));
}

// A data handler that does not read must not hang the loop; the datagram stays for a later read.
TEST_F(AsyncSocket, HandlerThatReadsNothingDoesNotSpin) {
    UdpResponder peer(answerWithPrefix);
    TAsyncSocket s;
    int calls = 0;
    s.OnDataAvailable = [&](TCustomAsyncSocket&, std::uint16_t) { ++calls; };
    openUdp(s, peer.port());
    s.SendText("later");
    ASSERT_TRUE(pump(3000, [&] { return calls > 0; }));
    ASSERT_TRUE(drainPosted());
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(s.ReceiveText(), kPrefix + "later");
}

// The query window closes the socket inside OnDataAvailable: later datagrams are lost, nothing breaks.
TEST_F(AsyncSocket, CloseInsideDataHandler) {
    UdpResponder peer([](const std::string&) { return std::vector<std::string>{"a", "b", "c"}; });
    TAsyncSocket s;
    Recorder r;
    r.attach(s, false);
    std::vector<std::string> got;
    s.OnDataAvailable = [&](TCustomAsyncSocket& sender, std::uint16_t) {
        got.push_back(sender.ReceiveText());
        sender.Close();
    };
    openUdp(s, peer.port());
    s.SendText("x");
    pump(300, [&] { return !got.empty(); });
    pump(100);
    EXPECT_EQ(got, std::vector<std::string>{"a"});
    EXPECT_EQ(r.closed, 1);
    EXPECT_EQ(r.errors, 0);
}

// Name lookups: a dotted quad is answered at once, a name later, an empty name refused.
TEST_F(AsyncSocket, DnsLookup) {
    TAsyncSocket s;
    std::vector<int> done;
    s.OnDnsLookupDone = [&](TCustomAsyncSocket&, std::uint16_t e) { done.push_back(e); };
    s.DnsLookup("127.0.0.1");
    EXPECT_EQ(done, std::vector<int>{0}) << "answered at once";
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");

    done.clear();
    EXPECT_EQ(raisedMessage([&] { s.DnsLookup(""); }), "DNS lookup: invalid host name.");
    int errors = 0;
    s.OnError = [&](TCustomAsyncSocket&) { ++errors; };
    s.DnsLookup("");
    EXPECT_EQ(errors, 1);
    EXPECT_EQ(done, std::vector<int>{10022});

    if (!hostsFileNamesLocalhost()) GTEST_SKIP() << "/etc/hosts does not name localhost";
    done.clear();
    s.DnsLookup("localhost");
    EXPECT_TRUE(done.empty()) << "a name is looked up in the background";
    ASSERT_TRUE(pump(5000, [&] { return !done.empty(); }));
    EXPECT_EQ(done, std::vector<int>{0});
    EXPECT_EQ(s.DnsResult(), "127.0.0.1");
    ASSERT_FALSE(s.DnsResultList().empty());
    EXPECT_EQ(s.DnsResultList().front(), "127.0.0.1");
    EXPECT_EQ(errors, 1);
}

// A lookup still running when the component goes must not write into freed
// memory or call back: its answer, when it comes, finds no owner.
TEST_F(AsyncSocket, DestroyDuringLookupIsSafe) {
    bool called = false;
    {
        TAsyncSocket s;
        s.OnDnsLookupDone = [&](TCustomAsyncSocket&, std::uint16_t) { called = true; };
        s.DnsLookup("localhost");
    }
    ASSERT_TRUE(pump(5000, [] { return HostLookups::running() == 0; })) << "the library never answered";
    EXPECT_FALSE(called);
}

// The library's three load failures are raised directly, even with OnError assigned.
TEST_F(AsyncSocket, LibraryLoadFailuresAreRaisedDirectly) {
    ASSERT_EQ(WinsockLibrary::liveComponents(), 0);
    ASSERT_FALSE(WinsockLibrary::loaded());
    WinsockLibrary::name() = "nosuchwinsock.dll";
    {
        TAsyncSocket s;
        int errors = 0;
        s.OnError = [&](TCustomAsyncSocket&) { ++errors; };
        EXPECT_EQ(raisedMessage([&] { s.SetLocalAddr("127.0.0.1"); }), "Unable to load nosuchwinsock.dll Error #126");
        EXPECT_EQ(errors, 0);
    }
    WinsockLibrary::name() = "wsock32.dll";
    TAsyncSocket s;
    EXPECT_EQ(raisedMessage([] { WinsockLibrary::proc("NoSuchFunction"); }),
              "Procedure NoSuchFunction not found in wsock32.dll Error #127");
}

// The library stays loaded while any component lives and goes with the last one.
TEST_F(AsyncSocket, LibraryUnloadsWithTheLastComponent) {
    ASSERT_EQ(WinsockLibrary::liveComponents(), 0);
    auto a = std::make_unique<TAsyncSocket>();
    auto b = std::make_unique<TAsyncSocket>();
    EXPECT_EQ(GetModuleHandleA("wsock32.dll"), nullptr) << "loaded only on first use";
    a->SetLocalAddr("127.0.0.1");
    EXPECT_NE(GetModuleHandleA("wsock32.dll"), nullptr);
    a.reset();
    EXPECT_TRUE(WinsockLibrary::loaded());
    EXPECT_NE(GetModuleHandleA("wsock32.dll"), nullptr);
    b.reset();
    EXPECT_FALSE(WinsockLibrary::loaded());
    EXPECT_EQ(GetModuleHandleA("wsock32.dll"), nullptr);
    TAsyncSocket c;
    c.SetLocalAddr("127.0.0.1");
    EXPECT_TRUE(WinsockLibrary::loaded()) << "loads again for a new component";
}

// Destroying an open socket closes it without calling back into the owner.
TEST_F(AsyncSocket, DestroyOpenSocketFiresNothing) {
    UdpResponder peer;
    int events = 0;
    {
        TAsyncSocket s;
        openUdp(s, peer.port());
        s.OnSessionClosed = [&](TCustomAsyncSocket&, std::uint16_t) { ++events; };
        s.OnChangeState = [&](TCustomAsyncSocket&, TSocketState, TSocketState) { ++events; };
    }
    EXPECT_EQ(events, 0);
}

// The hidden window is of the socket's own class and stays out of sight: a
// message-only window, which the desktop's top-level windows do not include.
TEST_F(AsyncSocket, HiddenWindowClass) {
    TAsyncSocket s;
    char name[64] = {};
    GetClassNameA(s.Handle(), name, sizeof name);
    EXPECT_STREQ(name, "AsyncSocketWindowClass");
    EXPECT_FALSE(IsWindowVisible(s.Handle()));
    struct Search {
        HWND wanted;
        bool found;
        // The system's calling convention: a lambda is not one in 32 bits.
        static BOOL CALLBACK visit(HWND hwnd, LPARAM p) {
            auto* search = reinterpret_cast<Search*>(p);
            if (hwnd == search->wanted) search->found = true;
            return TRUE;
        }
    } search{s.Handle(), false};
    EnumWindows(&Search::visit, reinterpret_cast<LPARAM>(&search));
    EXPECT_FALSE(search.found);
}
