#include "watch/watcher_win.h"

#include <algorithm>

#include "ui/clock_win.h"
#include "ui/window_win.h"

namespace velmora::watch {

namespace {
constexpr char kReceiverClass[] = "TVelmoraWatcher";
constexpr UINT WM_WATCHSOCKET = WM_USER + 1;
constexpr UINT WM_WATCHUNSTARTED = WM_USER + 2;
constexpr UINT WM_WATCHWAKE = WM_USER + 3;  // the thread pool's stand-in for the window timer
constexpr UINT_PTR kWakeTimer = 1;
// Every datagram fits: a UDP datagram over IPv4 carries at most 65507 bytes.
constexpr int kDatagramBuffer = 65536;
// One notification reads at most this many datagrams; the socket notifies
// again while more wait.
constexpr int kReadsPerNotification = 64;

// Runs on a thread of the system's pool: it only hands the wake-up to the
// receiver's thread.
void CALLBACK poolTimerWentOff(void* receiver, BOOLEAN) {
    PostMessageA(static_cast<HWND>(receiver), WM_WATCHWAKE, 0, 0);
}
}  // namespace

class Watcher::Receiver : public Window {
public:
    explicit Receiver(Watcher& owner) : owner_(owner) {
        registerClass(kReceiverClass);
        createWindow(kReceiverClass, "", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0, HWND_MESSAGE);
    }
    ~Receiver() override { destroyWindow(); }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_WATCHSOCKET:
                if (WSAGETSELECTEVENT(lParam) == FD_READ) owner_.readall();
                owner_.arm();
                return 0;
            case WM_WATCHUNSTARTED:
                owner_.unstarted();
                owner_.arm();
                return 0;
            case WM_TIMER:
                if (wParam != kWakeTimer) break;
                owner_.timer();
                return 0;
            case WM_WATCHWAKE:
                owner_.timer();
                return 0;
            default: break;
        }
        return defaultHandling(message, wParam, lParam);
    }

private:
    Watcher& owner_;
};

Watcher::Watcher(WatchDecoder decoder, Clock clock, SetTimerCall setTimer)
    : clock_(clock ? std::move(clock) : Clock(&clockMilliseconds)),
      setTimer_(setTimer ? setTimer : &::SetTimer),
      rules_(*this, std::move(decoder)),
      receiver_(std::make_unique<Receiver>(*this)) {
    rules_.OnChange = [this] {
        if (OnChange) OnChange();
    };
    rules_.OnBalloon = [this](const Balloon& b) {
        if (OnBalloon) OnBalloon(b);
    };
}

Watcher::~Watcher() {
    OnChange = nullptr;
    OnBalloon = nullptr;
    disarm();
    // A lookup still running never calls back: its answer finds no owner.
    lookups_.cancelAll();
    try {
        if (socket_ != INVALID_SOCKET) WS(closesocket)(socket_);
    } catch (...) {
    }
    receiver_.reset();
}

std::uint32_t Watcher::now() const { return clock_(); }

void Watcher::setinterval(std::uint32_t ms) {
    rules_.setinterval(ms, now());
    arm();
}

void Watcher::settargets(std::vector<WatchTarget> targets) {
    rules_.settargets(std::move(targets), now());
    arm();
}

void Watcher::menuopened() {
    rules_.menuopened(now());
    arm();
}

// The socket is made on the first send, so a watcher that is off never has one.
bool Watcher::open() {
    if (socket_ != INVALID_SOCKET) return true;
    const SOCKET s = WS(socket)(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET) return false;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = INADDR_ANY;
    local.sin_port = 0;
    int length = sizeof local;
    if (WS(bind)(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR ||
        WS(getsockname)(s, reinterpret_cast<sockaddr*>(&local), &length) == SOCKET_ERROR ||
        WS(WSAAsyncSelect)(s, receiver_->handle(), WM_WATCHSOCKET, FD_READ) == SOCKET_ERROR) {
        WS(closesocket)(s);
        return false;
    }
    localPort_ = WS(ntohs)(local.sin_port);
    socket_ = s;
    return true;
}

// A datagram that cannot leave is a query without answer: its deadline ends it.
void Watcher::send(const Endpoint& to, const std::string& bytes) {
    if (!open()) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = WS(htonl)(to.ip);
    address.sin_port = WS(htons)(to.port);
    if (WS(sendto)(socket_, bytes.data(), static_cast<int>(bytes.size()), 0, reinterpret_cast<const sockaddr*>(&address),
                   sizeof address) != SOCKET_ERROR)
        ++sent_;
}

void Watcher::resolve(std::uint32_t ticket, const std::string& host) {
    int error = 0;
    std::uint32_t started = 0;
    try {
        started = lookups_.start(
            host,
            [this, ticket](int failed, const std::vector<std::uint32_t>& addresses) {
                std::optional<std::uint32_t> ip;
                if (!failed && !addresses.empty()) ip = WS(ntohl)(addresses.front());
                rules_.resolved(ticket, ip, now());
                arm();
            },
            error);
    } catch (const net::ESocketException&) {
        // The library cannot be had: the name is as unknown as one not found.
    }
    // The schedule is inside a call of its own here: a failed start is
    // reported back through the window, after this call has returned.
    if (!started) {
        if (unstarted_.empty()) PostMessageA(receiver_->handle(), WM_WATCHUNSTARTED, 0, 0);
        unstarted_.push_back(ticket);
    }
}

void Watcher::unstarted() {
    const std::vector<std::uint32_t> tickets = std::move(unstarted_);
    unstarted_.clear();
    for (const std::uint32_t ticket : tickets) rules_.resolved(ticket, std::nullopt, now());
}

void Watcher::readall() {
    if (socket_ == INVALID_SOCKET) return;
    buffer_.resize(kDatagramBuffer);
    for (int k = 0; k < kReadsPerNotification; ++k) {
        sockaddr_in from{};
        int length = sizeof from;
        int n = WS(recvfrom)(socket_, buffer_.data(), kDatagramBuffer, 0, reinterpret_cast<sockaddr*>(&from), &length);
        if (n == SOCKET_ERROR) {
            const int error = WS(WSAGetLastError)();
            if (error == WSAEWOULDBLOCK) return;
            // A datagram larger than the buffer arrives cut to the buffer.
            if (error != WSAEMSGSIZE) continue;  // e.g. a port that refused an earlier query
            n = kDatagramBuffer;
        }
        rules_.received({WS(ntohl)(from.sin_addr.s_addr), WS(ntohs)(from.sin_port)},
                        std::string(buffer_.data(), static_cast<size_t>(n)), now());
    }
}

void Watcher::timer() {
    disarm();
    rules_.wake(now());
    arm();
}

void Watcher::disarm() {
    if (armed_) KillTimer(receiver_->handle(), kWakeTimer);
    armed_ = false;
    if (poolTimer_) {
        // Waits for a callback that is running: none posts after this.
        DeleteTimerQueueTimer(nullptr, poolTimer_, INVALID_HANDLE_VALUE);
        poolTimer_ = nullptr;
    }
}

void Watcher::arm() {
    const std::optional<std::uint32_t> wait = rules_.nextwake(now());
    if (!wait) {
        disarm();
        return;
    }
    const UINT ms = std::max<std::uint32_t>(*wait, USER_TIMER_MINIMUM);
    // The timer is one-shot in effect: it is killed when it fires and set
    // again for the next deadline, so nothing ticks in between.
    if (poolTimer_) disarm();
    if (setTimer_(receiver_->handle(), kWakeTimer, ms, nullptr)) {
        armed_ = true;
        return;
    }
    // No window timer (the desktop's are used up): without a wake-up the
    // schedule would stop for good, since deadlines bring no message of
    // their own. The pool's timer stands in; the next arm tries the window
    // timer again.
    if (armed_) KillTimer(receiver_->handle(), kWakeTimer);
    armed_ = false;
    if (!CreateTimerQueueTimer(&poolTimer_, nullptr, &poolTimerWentOff, receiver_->handle(), ms, 0,
                               WT_EXECUTEONLYONCE))
        poolTimer_ = nullptr;  // then the next datagram or lookup arms again
}

}  // namespace velmora::watch
