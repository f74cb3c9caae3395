// Joining the broadcast address from the manual join dialog. On the machine's
// own network nothing may leave it: the socket component loads the send guard
// instead of wsock32.dll, which shows where each datagram was going and with
// which options, and lets only loopback ones go. The real broadcast with its
// answer runs only inside the loopback-only network namespace that
// broadcast_netns.sh makes, and is skipped elsewhere.
#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "net/asyncsocket_win.h"
#include "query/loading_win.h"
#include "query/manual_win.h"
#include "tests/net/udpresponder_win.h"
#include "tests/settings/settings_fixture_win.h"
#include "tests/support/sendguard_win.h"

using namespace velmora;
using namespace velmora::testing;
using velmora::test::UdpResponder;

namespace {

constexpr int kGamma = 1;
const std::string kPrefix("\xFF\xFF\xFF\xFF", 4);

class ManualBroadcastTest : public GameTableTest {
protected:
    void TearDown() override {
        GameTableTest::TearDown();
        // Every socket is gone with the windows: the next test loads its own library.
        if (net::WinsockLibrary::loaded() && net::WinsockLibrary::liveComponents() == 0)
            net::WinsockLibrary::unload();
        net::WinsockLibrary::name() = "wsock32.dll";
    }
    static void useLibrary(const std::string& name) {
        ASSERT_EQ(net::WinsockLibrary::liveComponents(), 0);
        net::WinsockLibrary::unload();
        net::WinsockLibrary::name() = name;
    }
    // The manual dialog for the gamma game, its fields typed, "Join Server"
    // clicked: the query window it opened.
    Tloadform& join(const std::string& address, const std::string& port) {
        mainform->openmanual(kGamma);
        Tmanualform& dialog = *mainform->manualforms().back();
        dialog.addredit.setText(address);
        dialog.portedit.setText(port);
        const size_t before = mainform->queries().size();
        clickAnchor(dialog.MarkupLabel1, "go");
        EXPECT_EQ(mainform->queries().size(), before + 1);
        return *mainform->queries().back();
    }
    static std::string shown(const Tloadform& w) {
        std::string all;
        for (const auto& line : w.results.markupText()) all += line;
        return all;
    }
};

// True where Wine's network (the wineserver's, which makes every socket)
// has no interface but loopback; the adapter list leaves loopback out.
bool onlyLoopback(std::string& why) {
    ULONG size = 0;
    DWORD result = GetAdaptersInfo(nullptr, &size);
    if (result == ERROR_NO_DATA) return true;
    if (result != ERROR_BUFFER_OVERFLOW) {
        why = "the adapter list cannot be read (" + std::to_string(result) + ")";
        return false;
    }
    std::vector<char> buffer(size);
    auto* info = reinterpret_cast<IP_ADAPTER_INFO*>(buffer.data());
    result = GetAdaptersInfo(info, &size);
    if (result != ERROR_SUCCESS) {
        why = "the adapter list cannot be read (" + std::to_string(result) + ")";
        return false;
    }
    for (; info; info = info->Next) {
        if (info->Type == MIB_IF_TYPE_LOOPBACK) continue;
        why = std::string("an adapter besides loopback: ") + info->AdapterName + " " +
              info->IpAddressList.IpAddress.String;
        return false;
    }
    return true;
}

}  // namespace

// The query of a broadcast join leaves with the broadcast option, to the
// typed port, holding the game's query bytes; a loopback join has no
// broadcast option and really goes out.
TEST_F(ManualBroadcastTest, ABroadcastJoinSendsWithTheBroadcastOptionAndNothingLeaves) {
    useLibrary(VELMORA_SENDGUARD);
    if (HasFatalFailure()) return;
    UdpResponder server(velmora::test::answerWithPrefix);
    struct Case {
        std::string address;
        unsigned long expectedDestination;
        int port;
        int broadcast;
        int passed;
    } cases[] = {
        {"255.255.255.255", 0xFFFFFFFFul, 27961, 1, 0},
        {"127.0.0.1", 0x7F000001ul, server.port(), 0, 1},
    };
    const std::string query = mainform->games()[kGamma].sendstr;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        const size_t before = guardedSends("sendguard.dll").size();
        Tloadform& w = join(c.address, std::to_string(c.port));
        ASSERT_TRUE(pumpUntil(10000, [&] { return guardedSends("sendguard.dll").size() > before; }));
        const std::vector<GuardedSend> sends = guardedSends("sendguard.dll");
        ASSERT_EQ(sends.size(), before + 1);
        const GuardedSend& s = sends.back();
        EXPECT_EQ(s.address, c.expectedDestination);
        EXPECT_EQ(s.port, c.port);
        EXPECT_EQ(s.broadcast, c.broadcast);
        EXPECT_EQ(s.bytes, static_cast<int>(query.size()));
        EXPECT_EQ(s.passed, c.passed);
        if (c.passed) {
            EXPECT_TRUE(pumpUntil(10000, [&] { return w.finished; }));
            EXPECT_EQ(server.received(), std::vector<std::string>{query});
        }
        w.close();
    }
}

// Inside a network namespace with nothing but loopback: the broadcast
// reaches a server listening on the wildcard address, two answers wait, and
// the window shows the first.
TEST_F(ManualBroadcastTest, InALoopbackOnlyNamespaceTheFirstAnswerIsShown) {
    const char* inside = std::getenv("VELMORA_LOOPBACK_NETNS");
    if (!inside || std::string(inside) != "1")
        GTEST_SKIP() << "the real broadcast runs only inside the loopback-only network namespace that "
                        "tests/query/broadcast_netns.sh makes";
    std::string why;
    // The namespace was promised: anything else here is a fault, never a skip.
    ASSERT_TRUE(onlyLoopback(why)) << "refusing to broadcast: " << why;
    UdpResponder server(
        [](const std::string&) {
            // Two status replies to the gamma game's "getstatus".
            return std::vector<std::string>{kPrefix + "statusResponse\nfirst server",
                                            kPrefix + "statusResponse\nsecond server"};
        },
        0, INADDR_ANY);
    Tloadform& w = join("255.255.255.255", std::to_string(server.port()));
    ASSERT_TRUE(pumpUntil(10000, [&] { return w.started && w.finished; }));
    EXPECT_EQ(server.received(), std::vector<std::string>{mainform->games()[kGamma].sendstr});
    const std::string text = shown(w);
    EXPECT_NE(text.find("first server"), std::string::npos) << text;
    EXPECT_EQ(text.find("second server"), std::string::npos) << text;
    EXPECT_LT(w.elapsedMs, 999) << "answered, not timed out";
    w.close();
}
