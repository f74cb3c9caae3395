#include "net/datagramport_win.h"

#include <algorithm>

#include "ui/window_win.h"

namespace velmora::net {

namespace {
constexpr char kReceiverClass[] = "TVelmoraDatagramPort";
constexpr UINT WM_PORTSOCKET = WM_USER + 1;
constexpr UINT WM_PORTLATER = WM_USER + 2;
constexpr UINT WM_PORTWAKE = WM_USER + 3;  // the thread pool's stand-in for the window timer
constexpr UINT WM_PORTARRIVED = WM_USER + 4;  // the reading thread has datagrams
// The reading thread looks at its stop flag at least this often.
constexpr DWORD kReaderPollMilliseconds = 100;
constexpr UINT_PTR kWakeTimer = 1;
// Every datagram fits: a UDP datagram over IPv4 carries at most 65507 bytes.
constexpr int kDatagramBuffer = 65536;
// One notification reads at most this many datagrams; the socket notifies
// again while more wait.
constexpr int kReadsPerNotification = 64;

// Runs on a thread of the system's pool: it only hands the wake-up to the
// receiver's thread.
void CALLBACK poolTimerWentOff(void* receiver, BOOLEAN) {
    PostMessageA(static_cast<HWND>(receiver), WM_PORTWAKE, 0, 0);
}
}  // namespace

class DatagramPort::Receiver : public Window {
public:
    explicit Receiver(DatagramPort& owner) : owner_(owner) {
        registerClass(kReceiverClass);
        createWindow(kReceiverClass, "", WS_POPUP, WS_EX_TOOLWINDOW, 0, 0, 0, 0, HWND_MESSAGE);
    }
    ~Receiver() override { destroyWindow(); }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        switch (message) {
            case WM_PORTSOCKET:
                if (WSAGETSELECTEVENT(lParam) == FD_READ) owner_.readall();
                owner_.settled();
                return 0;
            case WM_PORTLATER:
                owner_.runlater();
                owner_.settled();
                return 0;
            case WM_PORTARRIVED:
                owner_.readarrivals();
                owner_.settled();
                return 0;
            case WM_TIMER:
                if (wParam != kWakeTimer) break;
                owner_.wake();
                return 0;
            case WM_PORTWAKE:
                owner_.wake();
                return 0;
            default: break;
        }
        return defaultHandling(message, wParam, lParam);
    }

private:
    DatagramPort& owner_;
};

DatagramPort::DatagramPort(SetTimerCall setTimer, Clock stamp)
    : setTimer_(setTimer ? setTimer : &::SetTimer), stamp_(stamp), receiver_(std::make_unique<Receiver>(*this)) {
    InitializeCriticalSection(&arrivalsLock_);
}

DatagramPort::~DatagramPort() {
    OnDatagram = nullptr;
    OnWake = nullptr;
    OnSettled = nullptr;
    disarm();
    if (reader_) {
        InterlockedExchange(&stopping_, 1);
        WaitForSingleObject(reader_, INFINITE);
        CloseHandle(reader_);
    }
    DeleteCriticalSection(&arrivalsLock_);
    try {
        if (socket_ != INVALID_SOCKET) WS(closesocket)(socket_);
    } catch (...) {
    }
    receiver_.reset();
}

bool DatagramPort::open() {
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
        (!stamp_ && WS(WSAAsyncSelect)(s, receiver_->handle(), WM_PORTSOCKET, FD_READ) == SOCKET_ERROR)) {
        WS(closesocket)(s);
        return false;
    }
    if (stamp_) {
        // The thread waits in recvfrom itself, looking at its stop flag
        // whenever the wait times out.
        const DWORD poll = kReaderPollMilliseconds;
        WS(setsockopt)(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&poll), sizeof poll);
        recvfrom_ = WS(recvfrom);
        lastError_ = WS(WSAGetLastError);
        socket_ = s;
        reader_ = CreateThread(nullptr, 0, &DatagramPort::reading, this, 0, nullptr);
        if (!reader_) {
            socket_ = INVALID_SOCKET;
            WS(closesocket)(s);
            return false;
        }
    }
    localPort_ = WS(ntohs)(local.sin_port);
    socket_ = s;
    return true;
}

DWORD WINAPI DatagramPort::reading(void* param) {
    auto& port = *static_cast<DatagramPort*>(param);
    const HWND window = port.receiver_->handle();
    std::vector<char> buffer(kDatagramBuffer);
    while (!InterlockedCompareExchange(&port.stopping_, 0, 0)) {
        sockaddr_in from{};
        int length = sizeof from;
        int n = port.recvfrom_(port.socket_, buffer.data(), kDatagramBuffer, 0, reinterpret_cast<sockaddr*>(&from),
                               &length);
        const std::uint32_t arrived = port.stamp_();
        if (n == SOCKET_ERROR) {
            // A datagram larger than the buffer arrives cut to the buffer;
            // any other error (the wait timed out, a port that refused an
            // earlier datagram) reads nothing.
            if (port.lastError_() != WSAEMSGSIZE) continue;
            n = kDatagramBuffer;
        }
        // Kept in network order until the window's thread reads it.
        Arrival arrival{{from.sin_addr.s_addr, from.sin_port}, std::string(buffer.data(), static_cast<size_t>(n)),
                        arrived};
        EnterCriticalSection(&port.arrivalsLock_);
        const bool first = port.arrivals_.empty();
        port.arrivals_.push_back(std::move(arrival));
        LeaveCriticalSection(&port.arrivalsLock_);
        if (first) PostMessageA(window, WM_PORTARRIVED, 0, 0);
    }
    return 0;
}

// The arrivals the reading thread handed over, in network order until here.
void DatagramPort::readarrivals() {
    EnterCriticalSection(&arrivalsLock_);
    std::vector<Arrival> arrived = std::move(arrivals_);
    arrivals_.clear();
    LeaveCriticalSection(&arrivalsLock_);
    for (const Arrival& a : arrived)
        if (OnDatagram)
            OnDatagram({WS(ntohl)(a.from.ip), WS(ntohs)(a.from.port)}, a.datagram, a.arrived);
}

bool DatagramPort::send(const Endpoint& to, const std::string& bytes) {
    if (!open()) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = WS(htonl)(to.ip);
    address.sin_port = WS(htons)(to.port);
    if (WS(sendto)(socket_, bytes.data(), static_cast<int>(bytes.size()), 0,
                   reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR)
        return false;
    ++sent_;
    return true;
}

void DatagramPort::readall() {
    if (socket_ == INVALID_SOCKET) return;
    buffer_.resize(kDatagramBuffer);
    for (int k = 0; k < kReadsPerNotification; ++k) {
        sockaddr_in from{};
        int length = sizeof from;
        int n = WS(recvfrom)(socket_, buffer_.data(), kDatagramBuffer, 0, reinterpret_cast<sockaddr*>(&from),
                             &length);
        if (n == SOCKET_ERROR) {
            const int error = WS(WSAGetLastError)();
            if (error == WSAEWOULDBLOCK) return;
            // A datagram larger than the buffer arrives cut to the buffer.
            if (error != WSAEMSGSIZE) continue;  // e.g. a port that refused an earlier datagram
            n = kDatagramBuffer;
        }
        if (OnDatagram)
            OnDatagram({WS(ntohl)(from.sin_addr.s_addr), WS(ntohs)(from.sin_port)},
                       std::string(buffer_.data(), static_cast<size_t>(n)), 0);
    }
}

void DatagramPort::later(std::function<void()> call) {
    if (later_.empty()) PostMessageA(receiver_->handle(), WM_PORTLATER, 0, 0);
    later_.push_back(std::move(call));
}

void DatagramPort::runlater() {
    const std::vector<std::function<void()>> calls = std::move(later_);
    later_.clear();
    for (const auto& call : calls) call();
}

void DatagramPort::wake() {
    disarm();
    if (OnWake) OnWake();
    settled();
}

void DatagramPort::settled() {
    if (OnSettled) OnSettled();
}

void DatagramPort::disarm() {
    if (armed_) KillTimer(receiver_->handle(), kWakeTimer);
    armed_ = false;
    if (poolTimer_) {
        // Waits for a callback that is running: none posts after this.
        DeleteTimerQueueTimer(nullptr, poolTimer_, INVALID_HANDLE_VALUE);
        poolTimer_ = nullptr;
    }
}

void DatagramPort::wakeAfter(std::optional<std::uint32_t> wait) {
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
    // owner's schedule would stop for good, since deadlines bring no message
    // of their own. The pool's timer stands in; the next wakeAfter tries the
    // window timer again.
    if (armed_) KillTimer(receiver_->handle(), kWakeTimer);
    armed_ = false;
    if (!CreateTimerQueueTimer(&poolTimer_, nullptr, &poolTimerWentOff, receiver_->handle(), ms, 0,
                               WT_EXECUTEONLYONCE))
        poolTimer_ = nullptr;  // then the next datagram or later call sets it again
}

}  // namespace velmora::net
