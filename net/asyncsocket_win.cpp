#include "net/asyncsocket_win.h"

#include <algorithm>
#include <cstdarg>
#include <cstring>

#include "base/text.h"
#include "ui/application_win.h"

namespace velmora::net {

// ---------------------------------------------------------------------------
// The hidden window

class TCustomAsyncSocket::HiddenWindow : public Window {
public:
    explicit HiddenWindow(TCustomAsyncSocket* owner) : owner_(owner) {
        registerClass(kAsyncSocketWindowClass);
        // A message-only window: it needs no broadcasts and no place on the
        // desktop, which under a windowing system costs a window of its own.
        createWindow(kAsyncSocketWindowClass, "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
    ~HiddenWindow() override {
        owner_ = nullptr;
        destroyWindow();
    }
    void detach() { owner_ = nullptr; }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        LRESULT result = 0;
        if (owner_ && owner_->WndProc(message, wParam, lParam, result)) return result;
        return defaultHandling(message, wParam, lParam);
    }

private:
    TCustomAsyncSocket* owner_;
};

HWND TCustomAsyncSocket::Handle() const { return window_ ? window_->handle() : nullptr; }

namespace {
std::string dotted(std::uint32_t networkAddress) {
    in_addr a{};
    a.s_addr = networkAddress;
    const char* text = WS(inet_ntoa)(a);
    return text ? text : "";
}
}  // namespace

// ---------------------------------------------------------------------------
// Life

TCustomAsyncSocket::TCustomAsyncSocket() {
    window_ = std::make_unique<HiddenWindow>(this);
    AssignDefaultValue();
}

TCustomAsyncSocket::~TCustomAsyncSocket() {
    destroying_ = true;
    // The owner is being torn down: no event may reach it any more.
    OnSessionConnected = nullptr;
    OnDataAvailable = nullptr;
    OnSendData = nullptr;
    OnDataSent = nullptr;
    OnSessionClosed = nullptr;
    OnChangeState = nullptr;
    OnDnsLookupDone = nullptr;
    OnError = nullptr;
    OnBgException = nullptr;
    OnSessionAvailable = nullptr;
    try {
        lookups_.cancelAll();
        if (state_ != TSocketState::wsClosed) InternalClose(true, 0);
    } catch (...) {
    }
    queue_.clear();
    window_->detach();
    window_.reset();
}

void TCustomAsyncSocket::AssignDefaultValue() {
    std::memset(&sin_, 0, sizeof sin_);
    sin_.sin_family = AF_INET;
    addr_.clear();
    port_.clear();
    proto_.text = "tcp";
    proto_.assigned = true;
    proto_.resolved = false;
    protoNumber_ = 6;
    socketType_ = SOCK_STREAM;
    localPortResolved_ = false;
    localPort_ = "0";
    localAddr_ = "0.0.0.0";
    LingerOnOff = TSocketLingerOnOff::wsLingerOn;
    LingerTimeout = 0;
    socket_ = INVALID_SOCKET;
    state_ = TSocketState::wsClosed;
    allSent_ = true;
    paused_ = false;
    closeReported_ = false;
    readCount_ = 0;
    FlushTimeout = 60;
}

// ---------------------------------------------------------------------------
// Properties

void TCustomAsyncSocket::setWhileClosed(SocketProperty& property, const std::string& value, const char* name) {
    if (property.sameAs(value)) return;  // the same value again is no change, even on an open socket
    if (state_ != TSocketState::wsClosed) {
        RaiseException(std::string("Cannot change ") + name + " if not closed");
        return;
    }
    property.assign(value);
}

void TCustomAsyncSocket::SetAddr(const std::string& value) { setWhileClosed(addr_, value, "Addr"); }
void TCustomAsyncSocket::SetPort(const std::string& value) { setWhileClosed(port_, value, "Port"); }
void TCustomAsyncSocket::SetProto(const std::string& value) { setWhileClosed(proto_, value, "Proto"); }

void TCustomAsyncSocket::SetLocalAddr(const std::string& value) {
    if (state_ != TSocketState::wsClosed) {
        RaiseException("Cannot change LocalAddr if not closed");
        return;
    }
    if (value.empty()) {
        localAddr_ = "0.0.0.0";
        return;
    }
    // The program's own reading of a dotted quad: inet_addr takes "010" as octal.
    const std::optional<std::uint32_t> converted = parseDottedQuad(value);
    if (!converted) {
        RaiseException("SetLocalAddr(): Invalid IP address");
        return;
    }
    localAddr_ = dotted(WS(htonl)(*converted));
}

void TCustomAsyncSocket::SetLocalPort(const std::string& value) {
    if (state_ != TSocketState::wsClosed) {
        RaiseException("Cannot change LocalPort if not closed");
        return;
    }
    localPort_ = value;
    localPortResolved_ = false;
}

void TCustomAsyncSocket::SetSendFlags(int value) {
    if (value != static_cast<int>(TSocketSendFlags::wsSendNormal) &&
        value != static_cast<int>(TSocketSendFlags::wsSendUrgent)) {
        RaiseException("Invalid SendFlags");
        return;
    }
    sendFlags_ = static_cast<TSocketSendFlags>(value);
}

int TCustomAsyncSocket::RcvdCount() {
    u_long count = 0;
    if (WS(ioctlsocket)(socket_, FIONREAD, &count) == SOCKET_ERROR) {
        SocketError("ioctlSocket");
        return -1;
    }
    return static_cast<int>(count);
}

// ---------------------------------------------------------------------------
// Errors

void TCustomAsyncSocket::RaiseException(const std::string& message) {
    if (OnError)
        TriggerError();
    else
        throw ESocketException(message);
}

void TCustomAsyncSocket::RaiseExceptionFmt(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    const std::string message = vformat(fmt, args);
    va_end(args);
    RaiseException(message);
}

void TCustomAsyncSocket::SocketError(const std::string& op) { SocketError(op, WS(WSAGetLastError)()); }

void TCustomAsyncSocket::SocketError(const std::string& op, int code) {
    const std::string message = socketErrorMessage(code, op);
    if (errorClosesHandle(code)) {
        if (socket_ != INVALID_SOCKET) WS(closesocket)(socket_);
        socket_ = INVALID_SOCKET;
        DeleteBufferedData();
        ChangeState(TSocketState::wsClosed);
    }
    lastError_ = code;
    RaiseException(message);
}

void TCustomAsyncSocket::HandleBackGroundException(const std::exception& e) {
    bool canClose = true;
    try {
        if (OnBgException) OnBgException(*this, e, canClose);
    } catch (...) {
    }
    if (canClose) {
        try {
            Abort();
        } catch (...) {
        }
    }
}

// ---------------------------------------------------------------------------
// Events

void TCustomAsyncSocket::ChangeState(TSocketState newState) {
    const TSocketState old = state_;
    state_ = newState;
    if (old != newState) TriggerChangeState(old, newState);
}

bool TCustomAsyncSocket::TriggerDataAvailable(std::uint16_t error) {
    if (!OnDataAvailable) return false;
    OnDataAvailable(*this, error);
    return true;
}
void TCustomAsyncSocket::TriggerSessionAvailable(std::uint16_t error) {
    if (OnSessionAvailable) OnSessionAvailable(*this, error);
}
void TCustomAsyncSocket::TriggerSessionConnected(std::uint16_t error) {
    if (OnSessionConnected) OnSessionConnected(*this, error);
}
void TCustomAsyncSocket::TriggerSessionClosed(std::uint16_t error) {
    if (OnSessionClosed) OnSessionClosed(*this, error);
}
void TCustomAsyncSocket::TriggerDataSent(std::uint16_t error) {
    if (OnDataSent) OnDataSent(*this, error);
}
void TCustomAsyncSocket::TriggerChangeState(TSocketState oldState, TSocketState newState) {
    if (OnChangeState) OnChangeState(*this, oldState, newState);
}
void TCustomAsyncSocket::TriggerDnsLookupDone(std::uint16_t error) {
    if (OnDnsLookupDone) OnDnsLookupDone(*this, error);
}
void TCustomAsyncSocket::TriggerError() {
    if (OnError) OnError(*this);
}

// ---------------------------------------------------------------------------
// Resolvers

int TCustomAsyncSocket::WSocketResolveProto(const std::string& text) {
    if (text.empty() || text.size() >= 32) throw ESocketException("SocketResolveProto: Invalid Protocol.");
    const std::string trimmed = trimBlanks(text);
    if (startsWithDigit(trimmed)) return static_cast<int>(leadingNumber(trimmed));
    const protoent* entry = WS(getprotobyname)(trimmed.c_str());
    if (!entry) throw ESocketException(format("SocketResolveProto: Cannot convert protocol '%s'", trimmed.c_str()));
    return entry->p_proto;
}

std::uint16_t TCustomAsyncSocket::WSocketResolvePort(const std::string& text, const std::string& proto) {
    if (text.empty() || text.size() >= 32) throw ESocketException("SocketResolvePort: Invalid Port.");
    const std::string trimmed = trimBlanks(text);
    if (startsWithDigit(trimmed)) return portNumber(trimmed);
    const std::string protoName = trimBlanks(proto);
    const servent* entry = WS(getservbyname)(trimmed.c_str(), protoName.empty() ? nullptr : protoName.c_str());
    if (!entry) throw ESocketException(format("SocketResolvePort: Cannot convert port '%s'", trimmed.c_str()));
    return WS(ntohs)(static_cast<u_short>(entry->s_port));
}

std::optional<std::uint32_t> TCustomAsyncSocket::WSocketResolveHost(const std::string& text) {
    if (text.empty() || text.size() > 256) throw ESocketException("SocketResolveHost: '" + text + "' Invalid Hostname.");
    const std::string trimmed = trimBlanks(text);
    if (const std::optional<std::uint32_t> quad = parseDottedQuad(trimmed)) return WS(htonl)(*quad);
    // Digits and dots that are no dotted quad ("010.0.0.1", "127.1") go to no
    // name lookup either, which would read them in the system's own way.
    if (trimmed.find_first_not_of("0123456789.") == std::string::npos)
        throw ESocketException("SocketResolveHost: '" + text + "' Invalid IP address.");
    // A name: Connect looks it up without blocking the thread.
    return std::nullopt;
}

// ---------------------------------------------------------------------------
// Connect

void TCustomAsyncSocket::Connect() {
    if (state_ == TSocketState::wsConnecting || (socket_ != INVALID_SOCKET && state_ != TSocketState::wsClosed)) {
        RaiseException("Connect: Socket already in use");
        return;
    }
    if (!port_.assigned) {
        RaiseException("Connect: No Port Specified");
        return;
    }
    if (!addr_.assigned) {
        RaiseException("Connect: No IP Address Specified");
        return;
    }
    if (!proto_.assigned) {
        RaiseException("Connect: No Protocol Specified");
        return;
    }
    try {
        if (!proto_.resolved) {
            protoNumber_ = WSocketResolveProto(proto_.text);
            socketType_ = protoNumber_ == IPPROTO_UDP ? SOCK_DGRAM : SOCK_STREAM;
            proto_.resolved = true;
        }
        if (!port_.resolved) {
            sin_.sin_port = WS(htons)(WSocketResolvePort(port_.text, proto_.text));
            port_.resolved = true;
        }
        if (!localPortResolved_) {
            localPortNumber_ = WSocketResolvePort(localPort_, proto_.text);
            localPortResolved_ = true;
        }
        if (!addr_.resolved) {
            if (const std::optional<std::uint32_t> address = WSocketResolveHost(addr_.text)) {
                sin_.sin_addr.s_addr = *address;
                addr_.resolved = true;
            }
        }
    } catch (const ESocketLibraryException&) {
        throw;
    } catch (const std::exception& e) {
        RaiseException(std::string("connect: ") + e.what());
        return;
    }
    if (socketType_ != SOCK_DGRAM) {
        // Only the datagram path is built.
        RaiseException("connect: only datagram sockets are supported");
        return;
    }

    DeleteBufferedData();
    // A new session reports its own close.
    closeReported_ = false;
    if (addr_.resolved) {
        OpenSocket();
        return;
    }
    // A host name is looked up off this thread: a slow name server must not
    // stop the windows, the tray and the watcher. Until the answer the state
    // is wsConnecting, Send queues, and Close cancels the lookup.
    const std::string host = trimBlanks(addr_.text);
    int error = 0;
    connectLookup_ = lookups_.start(
        host,
        [this](int e, const std::vector<std::uint32_t>& addresses) {
            Answered([&] { ConnectLookupDone(e, addresses); });
        },
        error);
    if (!connectLookup_) {
        RaiseExceptionFmt("connect: %s: can't start DNS lookup, error #%d", host.c_str(), error);
        return;
    }
    ChangeState(TSocketState::wsConnecting);
}

void TCustomAsyncSocket::ConnectLookupDone(int error, const std::vector<std::uint32_t>& addresses) {
    connectLookup_ = 0;
    if (state_ != TSocketState::wsConnecting) return;
    if (error != 0 || addresses.empty()) {
        // As a Connect that failed at once: closed, nothing sent, the
        // properties kept.
        DeleteBufferedData();
        ChangeState(TSocketState::wsClosed);
        RaiseExceptionFmt("connect: SocketResolveHost: Cannot convert host address '%s'",
                          trimBlanks(addr_.text).c_str());
        return;
    }
    sin_.sin_addr.s_addr = addresses.front();
    addr_.resolved = true;
    OpenSocket();
    // What was sent while the name was looked up leaves now, as from Send.
    if (state_ != TSocketState::wsConnected || queue_.blockCount() == 0) return;
    TryToSend();
    if (allSent_ && socket_ != INVALID_SOCKET)
        PostMessageA(Handle(), WM_ASYNCSELECT, static_cast<WPARAM>(socket_), MAKELPARAM(FD_WRITE, 0));
}

void TCustomAsyncSocket::Answered(const std::function<void()>& handle) {
    try {
        handle();
    } catch (const std::exception& e) {
        HandleBackGroundException(e);
    }
}

void TCustomAsyncSocket::OpenSocket() {
    socket_ = WS(socket)(AF_INET, socketType_, protoNumber_);
    if (socket_ == INVALID_SOCKET) {
        SocketError("Connect (socket)");
        return;
    }
    ChangeState(TSocketState::wsOpened);

    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = WS(htons)(localPortNumber_);
    local.sin_addr.s_addr = WS(inet_addr)(localAddr_.c_str());
    // A failed step ends the call: with OnError set the report returns here,
    // and going on would report the session's start after its failure.
    if (WS(bind)(socket_, reinterpret_cast<const sockaddr*>(&local), sizeof local) == SOCKET_ERROR) {
        RaiseExceptionFmt("winsock.bind failed, error #%d", WS(WSAGetLastError)());
        return;
    }
    int length = sizeof local;
    if (WS(getsockname)(socket_, reinterpret_cast<sockaddr*>(&local), &length) == SOCKET_ERROR) {
        RaiseExceptionFmt("winsock.getsockname failed, error #%d", WS(WSAGetLastError)());
        return;
    }
    localPortNumber_ = WS(ntohs)(local.sin_port);
    localPort_ = std::to_string(localPortNumber_);
    if (sin_.sin_addr.s_addr == INADDR_NONE) {
        const BOOL on = TRUE;
        if (WS(setsockopt)(socket_, SOL_SOCKET, SO_BROADCAST, reinterpret_cast<const char*>(&on), sizeof on) ==
            SOCKET_ERROR) {
            SocketError("setsockopt(SO_BROADCAST)");
            return;
        }
    }
    if (WS(WSAAsyncSelect)(socket_, Handle(), WM_ASYNCSELECT,
                           FD_READ | FD_WRITE | FD_ACCEPT | FD_CONNECT | FD_CLOSE) == SOCKET_ERROR) {
        SocketError("WSAAsyncSelect");
        return;
    }
    // No connect call for a datagram socket: every send goes to the stored
    // remote address by sendto.
    ChangeState(TSocketState::wsConnected);
    TriggerSessionConnected(0);
}

// ---------------------------------------------------------------------------
// Sending

int TCustomAsyncSocket::Send(const void* data, int length) {
    if (state_ != TSocketState::wsConnected && state_ != TSocketState::wsConnecting) {
        WS(WSASetLastError)(wsa::ENOTCONN_);
        SocketError("Send");
        return -1;
    }
    if (length <= 0) return 0;
    allSent_ = false;
    queue_.append(static_cast<const char*>(data), length);
    TryToSend();
    // OnDataSent comes later, from the message loop, never from inside Send.
    if (allSent_ && socket_ != INVALID_SOCKET)
        PostMessageA(Handle(), WM_ASYNCSELECT, static_cast<WPARAM>(socket_), MAKELPARAM(FD_WRITE, 0));
    return length;
}

int TCustomAsyncSocket::SendText(const std::string& text) {
    return Send(text.data(), static_cast<int>(text.size()));
}

int TCustomAsyncSocket::RealSend(const char* data, int length) {
    const int flags = static_cast<int>(sendFlags_);
    if (socketType_ == SOCK_DGRAM)
        return WS(sendto)(socket_, data, length, flags, reinterpret_cast<const sockaddr*>(&sin_), sizeof sin_);
    return WS(send)(socket_, data, length, flags);
}

void TCustomAsyncSocket::TryToSend() {
    if (socket_ == INVALID_SOCKET || queue_.blockCount() == 0) return;
    int failure = 0;
    const SendStop stop = queue_.trySend(
        [this](std::string_view bytes) {
            const int n = RealSend(bytes.data(), static_cast<int>(bytes.size()));
            if (n == SOCKET_ERROR) return SendOutcome{0, WS(WSAGetLastError)()};
            return SendOutcome{n, 0};
        },
        [this](int count) {
            if (OnSendData) OnSendData(*this, count);
        },
        failure);
    switch (stop) {
        case SendStop::AllSent:
            allSent_ = true;
            break;
        case SendStop::WaitWrite:
            break;
        case SendStop::Failed:
            if (sendErrorClosesSocket(failure)) {
                closeReported_ = true;
                InternalClose(false, failure);
                TriggerSessionClosed(static_cast<std::uint16_t>(failure));
            } else {
                SocketError("TryToSend failed", failure);
            }
            break;
    }
}

// ---------------------------------------------------------------------------
// Receiving

int TCustomAsyncSocket::DoRecv(char* buffer, int length, int flags) {
    ++receiveCalls_;
    return WS(recv)(socket_, buffer, length, flags);
}

std::string TCustomAsyncSocket::ReceiveText() {
    const int count = RcvdCount();
    if (count <= 0) return {};
    // FIONREAD tells the next datagram's size on some stacks and the total of
    // all waiting ones on others; a buffer as large as any datagram can be
    // takes the first one whole either way.
    std::string text(static_cast<std::size_t>(std::max(count, 65536)), '\0');
    const int n = DoRecv(text.data(), static_cast<int>(text.size()), 0);
    if (n < 0) return {};
    text.resize(static_cast<std::size_t>(n));
    return text;
}

void TCustomAsyncSocket::AsyncReceive(std::uint16_t error) {
    const SOCKET current = socket_;
    for (;;) {
        lastError_ = 0;
        const unsigned before = receiveCalls_;
        try {
            if (!TriggerDataAvailable(error)) {
                char scrap[1024];
                if (DoRecv(scrap, sizeof scrap, 0) == SOCKET_ERROR) {
                    const int code = WS(WSAGetLastError)();
                    if (code != wsa::EWOULDBLOCK_) lastError_ = code;
                    return;
                }
            }
        } catch (...) {
            // A failing data handler ends the loop, and goes no further.
            return;
        }
        if (socket_ == INVALID_SOCKET || socket_ != current || lastError_ != 0) return;
        // A handler that read nothing leaves the data waiting for a later
        // read; asking again would spin here for ever.
        if (receiveCalls_ == before) return;
        u_long waiting = 0;
        if (WS(ioctlsocket)(socket_, FIONREAD, &waiting) == SOCKET_ERROR || waiting == 0) return;
    }
}

// ---------------------------------------------------------------------------
// Closing

void TCustomAsyncSocket::Close() { InternalClose(true, 0); }

void TCustomAsyncSocket::InternalClose(bool shutdownFirst, int error) {
    if (socket_ == INVALID_SOCKET) {
        if (state_ != TSocketState::wsClosed) {
            // A Connect still looking its name up ends here: no late answer
            // opens the socket, and what waited to be sent is dropped.
            lookups_.cancel(connectLookup_);
            connectLookup_ = 0;
            DeleteBufferedData();
            ChangeState(TSocketState::wsClosed);
            AssignDefaultValue();
        }
        return;
    }
    if (state_ == TSocketState::wsClosed) return;
    if (shutdownFirst) WS(shutdown)(socket_, 1);
    const SOCKET handle = socket_;
    for (;;) {
        if (WS(closesocket)(handle) != SOCKET_ERROR) break;
        const int code = WS(WSAGetLastError)();
        if (code == wsa::EWOULDBLOCK_) {
            MessagePump();
            continue;
        }
        if (code == wsa::NOTINITIALISED_) break;
        socket_ = INVALID_SOCKET;
        DeleteBufferedData();
        SocketError("Disconnect (closesocket)", code);
        return;
    }
    socket_ = INVALID_SOCKET;
    // What was queued belonged to the closed socket: a send loop that a
    // handler closed under it finds nothing more to send.
    DeleteBufferedData();
    ChangeState(TSocketState::wsClosed);
    if (!destroying_ && !closeReported_) {
        closeReported_ = true;
        TriggerSessionClosed(static_cast<std::uint16_t>(error));
    }
    try {
        AssignDefaultValue();
    } catch (...) {
    }
}

void TCustomAsyncSocket::Abort() {
    CancelDnsLookup();
    DeleteBufferedData();
    // (Linger is switched off here for a connected stream socket; there is none.)
    try {
        InternalClose(false, 0);
    } catch (...) {
    }
}

void TCustomAsyncSocket::MessagePump() {
    Application* app = Application::current();
    if (!MultiThreaded && app) {
        app->processMessages();
        return;
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            terminated_ = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// ---------------------------------------------------------------------------
// Name lookup

void TCustomAsyncSocket::DnsLookup(const std::string& host) {
    if (host.empty()) {
        RaiseException("DNS lookup: invalid host name.");
        TriggerDnsLookupDone(static_cast<std::uint16_t>(wsa::EINVAL_));
        return;
    }
    CancelDnsLookup();
    dnsResult_.clear();
    dnsResultList_.clear();
    // A dotted quad is its own answer (the broadcast address too); other
    // digits and dots are no name either, and are read by no lookup.
    const std::string trimmed = trimBlanks(host);
    if (const std::optional<std::uint32_t> quad = parseDottedQuad(trimmed)) {
        dnsResult_ = dotted(WS(htonl)(*quad));
        TriggerDnsLookupDone(0);
        return;
    }
    if (trimmed.find_first_not_of("0123456789.") == std::string::npos) {
        TriggerDnsLookupDone(static_cast<std::uint16_t>(WSAHOST_NOT_FOUND));
        return;
    }
    int error = 0;
    dnsLookup_ = lookups_.start(
        host,
        [this](int e, const std::vector<std::uint32_t>& addresses) {
            Answered([&] { DnsLookupDone(e, addresses); });
        },
        error);
    if (!dnsLookup_) RaiseExceptionFmt("%s: can't start DNS lookup, error #%d", host.c_str(), error);
}

void TCustomAsyncSocket::CancelDnsLookup() {
    lookups_.cancel(dnsLookup_);
    dnsLookup_ = 0;
}

void TCustomAsyncSocket::DnsLookupDone(int error, const std::vector<std::uint32_t>& addresses) {
    dnsLookup_ = 0;
    dnsResultList_.clear();
    for (const std::uint32_t a : addresses) dnsResultList_.push_back(dotted(a));
    if (!dnsResultList_.empty()) dnsResult_ = dnsResultList_.front();
    TriggerDnsLookupDone(static_cast<std::uint16_t>(error));
}

// ---------------------------------------------------------------------------
// Notifications

bool TCustomAsyncSocket::WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    try {
        switch (message) {
            case WM_ASYNCSELECT:
                WMAsyncSelect(wParam, lParam);
                return true;
            case WM_CLOSE_DELAYED:
                Close();
                return true;
            case WM_TRIGGER_EXCEPTION:
                throw ESocketException("Test exception in asyncsocket");
            default:
                return false;
        }
    } catch (const std::exception& e) {
        HandleBackGroundException(e);
    }
    return true;
}

void TCustomAsyncSocket::WMAsyncSelect(WPARAM wParam, LPARAM lParam) {
    const SOCKET target = static_cast<SOCKET>(wParam);
    if (socket_ == INVALID_SOCKET || target != socket_ || paused_) return;
    const WORD events = LOWORD(lParam);
    const std::uint16_t error = HIWORD(lParam);
    // A handler may close the socket (and a new one may be opened) while the
    // bits of this message are handled; the rest then belongs to nobody.
    const auto current = [&] { return socket_ != INVALID_SOCKET && socket_ == target; };
    if (events & FD_CONNECT) {
        ChangeState(TSocketState::wsConnected);
        TriggerSessionConnected(error);
        if (error != 0 && state_ != TSocketState::wsClosed) Close();
        if (!current()) return;
    }
    if (events & FD_READ) {
        AsyncReceive(error);
        if (!current()) return;
    }
    if (events & FD_WRITE) {
        TryToSend();
        if (!current()) return;
        if (allSent_) TriggerDataSent(0);
        if (!current()) return;
    }
    if (events & FD_ACCEPT) {
        TriggerSessionAvailable(error);
        if (!current()) return;
    }
    if ((events & FD_CLOSE) && state_ != TSocketState::wsConnecting) {
        AsyncReceive(0);
        if (!current()) return;
        if (!closeReported_) {
            closeReported_ = true;
            TriggerSessionClosed(error);
        }
        if (state_ != TSocketState::wsClosed) Close();
    }
}

}  // namespace velmora::net
