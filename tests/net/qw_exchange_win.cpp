// One status exchange with a real QuakeWorld server, the way the query window
// does it: Addr/Port/Proto, Connect, SendText, OnDataAvailable + ReceiveText,
// Close. Prints the datagram as hex on stdout for the calling script to
// compare with the server's answer; the exit status tells what failed.
//   net_qw_exchange PORT
#include <cstdio>
#include <cstdlib>
#include <string>

#include "net/asyncsocket_win.h"
#include "tests/net/netloop_win.h"

using namespace velmora::net;

namespace {
int failures = 0;
void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "FAILED: %s\n", what);
        ++failures;
    }
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: net_qw_exchange PORT\n");
        return 2;
    }
    velmora::test::app();
    std::string reply;
    int available = 0, closed = 0, errors = 0, connected = 0;
    {
        TAsyncSocket udpclient;
        udpclient.OnSessionConnected = [&](TCustomAsyncSocket&, std::uint16_t e) { connected += e == 0; };
        udpclient.OnDataAvailable = [&](TCustomAsyncSocket& s, std::uint16_t) {
            if (++available == 1) {
                reply = s.ReceiveText();
                s.Close();  // as the query window does: the first datagram ends the query
            }
        };
        udpclient.OnSessionClosed = [&](TCustomAsyncSocket&, std::uint16_t) { ++closed; };
        udpclient.OnError = [&](TCustomAsyncSocket&) { ++errors; };

        udpclient.SetAddr("127.0.0.1");
        udpclient.SetPort(std::string(argv[1]) + "...");  // the address label's text
        udpclient.SetProto("udp");
        udpclient.Connect();
        check(udpclient.State() == TSocketState::wsConnected, "Connect opens the socket");
        check(connected == 1, "OnSessionConnected(0) once");
        const std::string query("\xFF\xFF\xFF\xFFstatus\n", 11);
        check(udpclient.SendText(query) == 11, "SendText queues the 11 query bytes");
        check(velmora::test::pump(5000, [&] { return available > 0; }), "the answer arrives within 5 s");
        velmora::test::pump(200);
        check(closed == 1, "closing inside the data handler fires OnSessionClosed once");
        udpclient.Close();
        check(closed == 1, "a second Close fires nothing");
        check(udpclient.Proto() == "tcp", "Close resets Proto to tcp");
        check(!udpclient.AddrAssigned() && !udpclient.PortAssigned(), "Close leaves Addr and Port unassigned");
        check(errors == 0, "no socket error");
    }
    check(reply.compare(0, 4, "\xFF\xFF\xFF\xFF") == 0, "the answer starts with FF FF FF FF");
    for (unsigned char c : reply) std::printf("%02x", c);
    std::printf("\n");
    return failures == 0 ? 0 : 1;
}
