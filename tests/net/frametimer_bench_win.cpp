// Benchmark (prints figures, asserts nothing): how fast the frame timer ticks
// under this Windows (or Wine), and how many ticks a loopback answer delayed by
// 5, 50 and 200 ms takes -- the query window's ping is that tick count.
//   net_timer_bench [ROUNDS]
#include <winsock2.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "net/asyncsocket_win.h"
#include "net/frametimer_win.h"
#include "tests/net/netloop_win.h"
#include "tests/net/udpresponder_win.h"
#include "ui/clock_win.h"

using namespace velmora::net;
using velmora::test::pump;

namespace {

void loadForQuery(TFrameTimer& t) {
    t.BeginLoading();
    t.SetActiveOnly(false);
    t.SetEnabled(false);
    t.SetInterval(1);
    t.SetMaxLag(10);
    t.Loaded();
}

void tickRate(std::uint32_t interval, int timers, DWORD ms) {
    std::vector<std::unique_ptr<TFrameTimer>> list;
    std::vector<long> counts(static_cast<std::size_t>(timers), 0);
    for (int i = 0; i < timers; ++i) {
        list.push_back(std::make_unique<TFrameTimer>());
        loadForQuery(*list.back());
        list.back()->SetInterval(interval);
        long* count = &counts[static_cast<std::size_t>(i)];
        list.back()->OnTimer = [count](TCustomFrameTimer&, int) { ++*count; };
    }
    const DWORD start = velmora::clockMilliseconds();
    for (auto& t : list) t->SetEnabled(true);
    pump(ms);
    const DWORD spent = velmora::clockMilliseconds() - start;
    std::printf("Interval %u, %d timer(s): ", interval, timers);
    for (int i = 0; i < timers; ++i)
        std::printf("%s%.0f ticks/s (TickRate %d)", i ? ", " : "",
                    counts[static_cast<std::size_t>(i)] * 1000.0 / spent, list[static_cast<std::size_t>(i)]->TickRate());
    std::printf(" over %lu ms\n", static_cast<unsigned long>(spent));
    for (auto& t : list) t->SetEnabled(false);
}

struct Figures {
    std::vector<int> values;
    void print(const char* what) {
        std::sort(values.begin(), values.end());
        std::printf("%s min %d median %d max %d", what, values.front(), values[values.size() / 2], values.back());
    }
};

void delayedAnswer(int delay, int rounds) {
    velmora::test::UdpResponder peer(velmora::test::answerWithPrefix, delay);
    Figures ticks, ms;
    for (int r = 0; r < rounds; ++r) {
        TAsyncSocket udpclient;
        TFrameTimer pingtimer;
        loadForQuery(pingtimer);
        int count = 0;
        bool answered = false;
        DWORD sent = 0, got = 0;
        pingtimer.OnTimer = [&](TCustomFrameTimer&, int) { ++count; };
        udpclient.OnDataAvailable = [&](TCustomAsyncSocket& s, std::uint16_t) {
            got = velmora::clockMilliseconds();
            s.ReceiveText();
            pingtimer.SetEnabled(false);
            answered = true;
        };
        udpclient.SetAddr("127.0.0.1");
        udpclient.SetPort(std::to_string(peer.port()));
        udpclient.SetProto("udp");
        udpclient.Connect();
        pingtimer.SetEnabled(true);
        sent = velmora::clockMilliseconds();
        udpclient.SendText("status\n");
        pump(5000, [&] { return answered; });
        pingtimer.SetEnabled(false);
        if (!answered) {
            std::printf("delay %d ms: no answer\n", delay);
            return;
        }
        ticks.values.push_back(count);
        ms.values.push_back(static_cast<int>(got - sent));
    }
    std::printf("answer delayed %3d ms, %d rounds: ", delay, rounds);
    ticks.print("ticks");
    std::printf("; ");
    ms.print("ms");
    std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
    velmora::test::app();
    tickRate(1, 1, 3000);
    tickRate(0, 1, 1000);
    tickRate(1, 2, 2000);
    for (int delay : {0, 5, 50, 200}) delayedAnswer(delay, rounds);
    return 0;
}
