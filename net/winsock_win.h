// The socket library as every part of the program uses it (the query
// window's socket, the status watcher): "wsock32.dll" loaded at run time on
// the first call that needs it, started once, unloaded when its last user
// goes; and its name lookup, which runs off the user-interface thread and
// hands the answer back on it.
#pragma once
#include <winsock2.h>
#include <windows.h>

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "base/error.h"

namespace velmora::net {

class ESocketException : public velmora::Error {
public:
    using velmora::Error::Error;
};

// The three failures of loading the socket library. They are raised directly,
// never through a socket's OnError.
class ESocketLibraryException : public ESocketException {
public:
    using ESocketException::ESocketException;
};

// The socket library, loaded on the first lookup of one of its functions and
// unloaded when its last user goes (and at program end).
class WinsockLibrary {
public:
    // The library's name, "wsock32.dll"; a change applies at the next load.
    static std::string& name();
    // The named function, looked up on first use and remembered. The first
    // lookup loads the library and starts Windows Sockets 1.1.
    static FARPROC proc(const char* functionName);
    static bool loaded();
    // WSACleanup, FreeLibrary, and every remembered function forgotten.
    static void unload();
    // The users that keep the library: live socket components, the watcher,
    // and every name lookup whose answer has not come back yet.
    static int liveComponents();
};

// Keeps the socket library loaded while it lives.
class WinsockUse {
public:
    WinsockUse();
    WinsockUse(const WinsockUse&) = delete;
    WinsockUse& operator=(const WinsockUse&) = delete;
    ~WinsockUse();
};

// Every call into the library goes through its entry point loaded at run
// time; the declarations of <winsock2.h> give the types only.
#define WS(fn) (reinterpret_cast<decltype(&::fn)>(reinterpret_cast<void*>(::velmora::net::WinsockLibrary::proc(#fn))))

// Where a host name is looked up: the socket library's WSAAsyncGetHostByName,
// unless a test puts a resolver of its own in its place (tests ask no name
// server). start() must not block: when the lookup ends, the resolver posts
// `message` to `window` with the task as wParam and WSAMAKEASYNCREPLY(0,
// error) as lParam, having written a hostent into `buffer` if it found the
// name. A cancelled lookup may still write its buffer and post its answer.
class NameResolver {
public:
    virtual ~NameResolver() = default;
    // The task, or null when the lookup cannot start (the reason in `error`).
    virtual HANDLE start(HWND window, UINT message, const char* host, char* buffer, int size, int& error) = 0;
    virtual void cancel(HANDLE task) = 0;
};
// The resolver in use from now on; null puts the socket library's back.
void setNameResolver(NameResolver* resolver);

// Name lookups of one user, answered through one hidden window of the
// program's (on the thread that made the first lookup, the user-interface
// thread). An answer comes from the message loop, never from inside start().
// A lookup cancelled, or still running when its HostLookups goes, never
// calls back; its buffer and the socket library are kept until the resolver
// has answered it, since the library's worker may still write the one and
// run in the other.
class HostLookups {
public:
    // `addresses` in network order, the first the one to use; empty on an error.
    using Answer = std::function<void(int error, const std::vector<std::uint32_t>& addresses)>;

    HostLookups() = default;
    HostLookups(const HostLookups&) = delete;
    HostLookups& operator=(const HostLookups&) = delete;
    ~HostLookups();

    // The lookup's number, or 0 when it cannot start (the reason in `error`).
    std::uint32_t start(const std::string& host, Answer answer, int& error);
    void cancel(std::uint32_t lookup);
    void cancelAll();
    bool pending(std::uint32_t lookup) const { return pending_.count(lookup) != 0; }
    bool empty() const { return pending_.empty(); }

    // Lookups of the whole program that the resolver has not answered yet,
    // cancelled ones included.
    static int running();

private:
    friend class LookupWindow;
    void answered(std::uint32_t lookup, int error, const std::vector<std::uint32_t>& addresses);

    struct Pending {
        HANDLE task;
        Answer answer;
    };
    std::map<std::uint32_t, Pending> pending_;
    std::uint32_t next_ = 1;
};

}  // namespace velmora::net
