// The platform-free rules of the asynchronous socket: its states, how its
// address properties are set, and the texts of its error reports. The address
// rules its resolvers use are base/address.h's.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "base/address.h"

namespace velmora::net {

enum class TSocketState {
    wsInvalidState,
    wsOpened,
    wsBound,
    wsConnecting,
    wsConnected,
    wsAccepting,
    wsListening,
    wsClosed,
};
const char* stateName(TSocketState state);

enum class TSocketSendFlags { wsSendNormal = 0, wsSendUrgent = 1 };
enum class TSocketLingerOnOff { wsLingerOff, wsLingerOn, wsLingerNoSet };

// One of the socket's text properties (Addr, Port, Proto) with its
// assigned/resolved flags.
struct SocketProperty {
    std::string text;
    bool assigned = false;
    bool resolved = false;

    // Setting the text it already holds changes nothing, even on an open socket.
    bool sameAs(std::string_view value) const { return assigned && value == text; }
    // Stores the trimmed text; empty means unassigned, anything else assigned
    // and not yet resolved.
    void assign(std::string_view value);
    void clear() { *this = SocketProperty{}; }
};

// The standard Windows Sockets description of `code`: "No Error" for 0,
// "Not a WinSock error" for codes outside the table.
const char* winsockErrorDesc(int code);

// "Error <code> in function <op>\r\n<description>".
std::string socketErrorMessage(int code, std::string_view op);

// Windows Sockets error codes the component acts on.
namespace wsa {
constexpr int EINVAL_ = 10022;
constexpr int EWOULDBLOCK_ = 10035;
constexpr int ENOTSOCK_ = 10038;
constexpr int ECONNABORTED_ = 10053;
constexpr int ECONNRESET_ = 10054;
constexpr int ENOTCONN_ = 10057;
constexpr int NOTINITIALISED_ = 10093;
}  // namespace wsa

// A failed send with one of these codes means the socket is gone.
bool sendErrorClosesSocket(int code);
// A socket error report with one of these codes also closes the handle.
inline bool errorClosesHandle(int code) { return code == wsa::ECONNRESET_ || code == wsa::ENOTCONN_; }

}  // namespace velmora::net
