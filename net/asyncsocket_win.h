// TAsyncSocket: one Windows Sockets 1.1 socket run without blocking. Its hidden
// window receives the socket library's notifications as messages and turns
// them into events, all on the thread that created it. The socket library is
// loaded at run time, on the first call that needs it.
//
// Only the datagram path is built: Connect opens a UDP socket (no handshake),
// Send/SendText queue bytes in 1514-byte blocks that leave one datagram each,
// OnDataAvailable announces arriving datagrams and ReceiveText reads one.
// Nothing blocks the thread: Connect to a host name looks the name up in the
// background (state wsConnecting), bytes sent meanwhile wait in the queue,
// and the socket opens when the answer comes; Close cancels the lookup.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "net/asyncsocket.h"
#include "net/sendbuf.h"
#include "net/winsock_win.h"
#include "ui/window_win.h"

namespace velmora::net {

// The notification messages of the hidden window. (Name lookups answer to
// the program's one lookup window, net/winsock_win.h.)
constexpr UINT WM_ASYNCSELECT = WM_USER + 1;
constexpr UINT WM_CLOSE_DELAYED = WM_USER + 4;
constexpr UINT WM_WSOCKET_RELEASE = WM_USER + 5;
constexpr UINT WM_TRIGGER_EXCEPTION = WM_USER + 6;

constexpr char kAsyncSocketWindowClass[] = "AsyncSocketWindowClass";

class TCustomAsyncSocket {
public:
    using TSessionEvent = std::function<void(TCustomAsyncSocket& sender, std::uint16_t error)>;
    using TDataAvailable = TSessionEvent;
    using TSendData = std::function<void(TCustomAsyncSocket& sender, int bytesSent)>;
    using TChangeState =
        std::function<void(TCustomAsyncSocket& sender, TSocketState oldState, TSocketState newState)>;
    using TNotifyEvent = std::function<void(TCustomAsyncSocket& sender)>;
    using TBgExceptionEvent =
        std::function<void(TCustomAsyncSocket& sender, const std::exception& e, bool& canClose)>;

    TCustomAsyncSocket();
    TCustomAsyncSocket(const TCustomAsyncSocket&) = delete;
    TCustomAsyncSocket& operator=(const TCustomAsyncSocket&) = delete;
    virtual ~TCustomAsyncSocket();

    // Properties. The setters of Addr, Port, Proto, LocalAddr and LocalPort
    // refuse a change while the socket is not closed.
    const std::string& Addr() const { return addr_.text; }
    void SetAddr(const std::string& value);
    bool AddrAssigned() const { return addr_.assigned; }
    const std::string& Port() const { return port_.text; }
    virtual void SetPort(const std::string& value);
    bool PortAssigned() const { return port_.assigned; }
    const std::string& Proto() const { return proto_.text; }
    virtual void SetProto(const std::string& value);
    bool ProtoAssigned() const { return proto_.assigned; }
    const std::string& LocalAddr() const { return localAddr_; }
    void SetLocalAddr(const std::string& value);
    const std::string& LocalPort() const { return localPort_; }
    void SetLocalPort(const std::string& value);
    TSocketState State() const { return state_; }
    int LastError() const { return lastError_; }
    // The bytes waiting to be read; -1 (after an error report) when the
    // count cannot be had.
    virtual int RcvdCount();
    int ReadCount() const { return readCount_; }
    bool MultiThreaded = false;
    TSocketSendFlags SendFlags() const { return sendFlags_; }
    void SetSendFlags(int value);
    int FlushTimeout = 60;
    TSocketLingerOnOff LingerOnOff = TSocketLingerOnOff::wsLingerOn;
    int LingerTimeout = 0;
    // The socket handle, or INVALID_SOCKET.
    SOCKET HSocket() const { return socket_; }
    // The hidden window that receives the notifications.
    HWND Handle() const;
    const std::string& DnsResult() const { return dnsResult_; }
    const std::vector<std::string>& DnsResultList() const { return dnsResultList_; }
    bool Terminated() const { return terminated_; }

    // Events.
    TSessionEvent OnSessionConnected;
    TDataAvailable OnDataAvailable;
    TSendData OnSendData;
    TSessionEvent OnDataSent;
    TSessionEvent OnSessionClosed;
    TChangeState OnChangeState;
    TSessionEvent OnDnsLookupDone;
    TNotifyEvent OnError;
    TBgExceptionEvent OnBgException;
    TSessionEvent OnSessionAvailable;

    // Operations.
    // Opens the socket; for a host name, once its lookup has answered.
    virtual void Connect();
    virtual void Close();
    // Queues and sends; the length queued, 0 for a length of 0 or less, -1
    // when the socket is not open (nor opening after a lookup).
    virtual int Send(const void* data, int length);
    virtual int SendText(const std::string& text);
    // The waiting datagram, or empty.
    virtual std::string ReceiveText();
    virtual void DnsLookup(const std::string& host);
    virtual void CancelDnsLookup();
    virtual void Abort();
    // Pumps messages while an operation waits (see MultiThreaded).
    virtual void MessagePump();

protected:
    // The hidden window's message handler; false sends the message on to the
    // default window procedure.
    virtual bool WndProc(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    virtual void AssignDefaultValue();
    virtual void InternalClose(bool shutdownFirst, int error);
    virtual int RealSend(const char* data, int length);
    // RaiseException with a printf-style message.
    virtual void RaiseExceptionFmt(const char* fmt, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;
    virtual void RaiseException(const std::string& message);
    virtual void HandleBackGroundException(const std::exception& e);
    virtual bool TriggerDataAvailable(std::uint16_t error);
    virtual void TriggerSessionAvailable(std::uint16_t error);
    virtual void TriggerSessionConnected(std::uint16_t error);
    virtual void TriggerSessionClosed(std::uint16_t error);
    virtual void TriggerDataSent(std::uint16_t error);
    virtual void TriggerChangeState(TSocketState oldState, TSocketState newState);
    virtual void TriggerDnsLookupDone(std::uint16_t error);
    virtual void TriggerError();
    virtual int DoRecv(char* buffer, int length, int flags);

    void ChangeState(TSocketState newState);
    // "Error n in function op" for the library's last error, or for `code`.
    void SocketError(const std::string& op);
    void SocketError(const std::string& op, int code);

    // The resolvers; they raise ESocketException with their own texts. The
    // host's address in network order, or nothing for a name to look up.
    int WSocketResolveProto(const std::string& text);
    std::uint16_t WSocketResolvePort(const std::string& text, const std::string& proto);
    std::optional<std::uint32_t> WSocketResolveHost(const std::string& text);

private:
    class HiddenWindow;

    void TryToSend();
    void DeleteBufferedData() { queue_.clear(); }
    void AsyncReceive(std::uint16_t error);
    void WMAsyncSelect(WPARAM wParam, LPARAM lParam);
    // Connect's second half, with the remote address known.
    void OpenSocket();
    void ConnectLookupDone(int error, const std::vector<std::uint32_t>& addresses);
    void DnsLookupDone(int error, const std::vector<std::uint32_t>& addresses);
    // An exception out of a lookup's answer, as out of any notification.
    void Answered(const std::function<void()>& handle);

    // First, so the library goes last: a live component keeps it loaded.
    WinsockUse library_;
    std::unique_ptr<HiddenWindow> window_;
    SOCKET socket_ = INVALID_SOCKET;
    sockaddr_in sin_{};
    SocketProperty addr_, port_, proto_;
    // Assigns a property that may change only while the socket is closed.
    void setWhileClosed(SocketProperty& property, const std::string& value, const char* name);
    bool localPortResolved_ = false;
    int protoNumber_ = 6;
    int socketType_ = SOCK_STREAM;
    std::uint16_t localPortNumber_ = 0;
    std::string localAddr_ = "0.0.0.0";
    std::string localPort_ = "0";
    SendQueue queue_{kSendBlockSize};
    bool allSent_ = true;
    bool closeReported_ = false;
    bool paused_ = false;
    HostLookups lookups_;
    std::uint32_t dnsLookup_ = 0;      // DnsLookup's
    std::uint32_t connectLookup_ = 0;  // Connect's, while the state is wsConnecting
    std::string dnsResult_;
    std::vector<std::string> dnsResultList_;
    int lastError_ = 0;
    int readCount_ = 0;
    TSocketState state_ = TSocketState::wsClosed;
    TSocketSendFlags sendFlags_ = TSocketSendFlags::wsSendNormal;
    bool destroying_ = false;
    bool terminated_ = false;
    // Low-level receives so far; the read loop stops when a pass made none.
    unsigned receiveCalls_ = 0;
};

// The component the windows use. The proxy, line-mode and synchronous layers
// of the family are not built: with no proxy and line mode off they only pass
// every call to the core.
class TAsyncSocket : public TCustomAsyncSocket {
public:
    TAsyncSocket() = default;
};

}  // namespace velmora::net
