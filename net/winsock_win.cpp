#include "net/winsock_win.h"

#include <cstring>
#include <memory>

#include "base/text.h"
#include "ui/window_win.h"

namespace velmora::net {

// ---------------------------------------------------------------------------
// The library

namespace {

struct LibraryState {
    std::string name = "wsock32.dll";
    HMODULE module = nullptr;
    std::map<std::string, FARPROC> procs;
    int live = 0;
    // Program end unloads a library that a user still held.
    ~LibraryState() {
        if (module) WinsockLibrary::unload();
    }
};

LibraryState& library() {
    static LibraryState state;
    return state;
}

HMODULE loadedModule() {
    LibraryState& lib = library();
    if (lib.module) return lib.module;
    HMODULE module = LoadLibraryA(lib.name.c_str());
    if (!module)
        throw ESocketLibraryException("Unable to load " + lib.name + " Error #" + std::to_string(GetLastError()));
    using Startup = int(WSAAPI*)(WORD, LPWSADATA);
    auto startup = reinterpret_cast<Startup>(reinterpret_cast<void*>(GetProcAddress(module, "WSAStartup")));
    if (!startup) {
        const DWORD code = GetLastError();
        FreeLibrary(module);
        throw ESocketLibraryException("Procedure WSAStartup not found in " + lib.name + " Error #" +
                                      std::to_string(code));
    }
    WSADATA data{};
    const int result = startup(0x0101, &data);
    if (result != 0) {
        FreeLibrary(module);
        throw ESocketLibraryException(format("%s: WSAStartup error #%d", lib.name.c_str(), result));
    }
    lib.module = module;
    lib.procs["WSAStartup"] = reinterpret_cast<FARPROC>(reinterpret_cast<void*>(startup));
    return module;
}

}  // namespace

std::string& WinsockLibrary::name() { return library().name; }

FARPROC WinsockLibrary::proc(const char* functionName) {
    LibraryState& lib = library();
    const auto found = lib.procs.find(functionName);
    if (found != lib.procs.end()) return found->second;
    const HMODULE module = loadedModule();
    const FARPROC p = GetProcAddress(module, functionName);
    if (!p)
        throw ESocketLibraryException(std::string("Procedure ") + functionName + " not found in " + lib.name +
                                      " Error #" + std::to_string(GetLastError()));
    lib.procs.emplace(functionName, p);
    return p;
}

bool WinsockLibrary::loaded() { return library().module != nullptr; }

void WinsockLibrary::unload() {
    LibraryState& lib = library();
    if (!lib.module) return;
    if (FARPROC cleanup = GetProcAddress(lib.module, "WSACleanup"))
        reinterpret_cast<int(WSAAPI*)()>(reinterpret_cast<void*>(cleanup))();
    FreeLibrary(lib.module);
    lib.module = nullptr;
    lib.procs.clear();
}

int WinsockLibrary::liveComponents() { return library().live; }

WinsockUse::WinsockUse() { ++library().live; }

WinsockUse::~WinsockUse() {
    if (--library().live == 0) {
        try {
            WinsockLibrary::unload();
        } catch (...) {
        }
    }
}

// ---------------------------------------------------------------------------
// Name lookups

namespace {

constexpr UINT WM_LOOKUPDONE = WM_USER + 1;
constexpr char kLookupWindowClass[] = "TVelmoraLookups";

class LibraryResolver : public NameResolver {
public:
    HANDLE start(HWND window, UINT message, const char* host, char* buffer, int size, int& error) override {
        const HANDLE task = WS(WSAAsyncGetHostByName)(window, message, host, buffer, size);
        if (!task) {
            error = WS(WSAGetLastError)();
            return nullptr;
        }
        // The library's worker runs on after it has posted its answer (and
        // after a cancel): the code it runs stays in memory for good, even
        // when the library is unloaded and loaded again.
        if (!pinned_) {
            HMODULE module = nullptr;
            pinned_ = GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                         reinterpret_cast<LPCSTR>(WinsockLibrary::proc("WSAAsyncGetHostByName")),
                                         &module) != FALSE;
        }
        return task;
    }
    void cancel(HANDLE task) override { WS(WSACancelAsyncRequest)(task); }

private:
    bool pinned_ = false;
};

NameResolver*& injectedResolver() {
    static NameResolver* resolver = nullptr;
    return resolver;
}

NameResolver& resolver() {
    static LibraryResolver library;
    NameResolver* injected = injectedResolver();
    return injected ? *injected : library;
}

// A lookup the resolver has not answered: its buffer, which the resolver
// writes from its own thread, and a hold on the library.
struct Running {
    HostLookups* owner = nullptr;  // null once cancelled or its owner went
    std::uint32_t lookup = 0;
    char buffer[MAXGETHOSTSTRUCT] = {};
    WinsockUse keep;
};

std::map<HANDLE, std::unique_ptr<Running>>& runningLookups() {
    // Never freed: an answer may come at any time until the process ends.
    static auto* lookups = new std::map<HANDLE, std::unique_ptr<Running>>;
    return *lookups;
}

std::vector<std::uint32_t> addressesOf(const char* buffer) {
    std::vector<std::uint32_t> addresses;
    const auto* host = reinterpret_cast<const hostent*>(buffer);
    if (host->h_addrtype != AF_INET || host->h_length != 4 || !host->h_addr_list) return addresses;
    for (char** p = host->h_addr_list; *p; ++p) {
        std::uint32_t a = 0;
        std::memcpy(&a, *p, sizeof a);
        addresses.push_back(a);
    }
    return addresses;
}

}  // namespace

void setNameResolver(NameResolver* resolver) { injectedResolver() = resolver; }

// The one window every answer comes to.
class LookupWindow : public Window {
public:
    static LookupWindow& get() {
        // Never destroyed, like the lookups that post to it.
        static auto* window = new LookupWindow;
        return *window;
    }

protected:
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message != WM_LOOKUPDONE) return defaultHandling(message, wParam, lParam);
        const auto found = runningLookups().find(reinterpret_cast<HANDLE>(wParam));
        if (found == runningLookups().end()) return 0;
        // Out of the list before the owner hears of it (its answer may start
        // the next lookup); the hold on the library goes after the answer.
        const std::unique_ptr<Running> done = std::move(found->second);
        runningLookups().erase(found);
        if (done->owner) {
            const int error = WSAGETASYNCERROR(lParam);
            done->owner->answered(done->lookup, error, error ? std::vector<std::uint32_t>{} : addressesOf(done->buffer));
        }
        return 0;
    }

private:
    LookupWindow() {
        registerClass(kLookupWindowClass);
        createWindow(kLookupWindowClass, "", 0, 0, 0, 0, 0, 0, HWND_MESSAGE);
    }
};

HostLookups::~HostLookups() { cancelAll(); }

std::uint32_t HostLookups::start(const std::string& host, Answer answer, int& error) {
    auto lookup = std::make_unique<Running>();
    const HANDLE task = resolver().start(LookupWindow::get().handle(), WM_LOOKUPDONE, host.c_str(), lookup->buffer,
                                         sizeof lookup->buffer, error);
    if (!task) return 0;
    const std::uint32_t number = next_++;
    if (next_ == 0) next_ = 1;
    lookup->owner = this;
    lookup->lookup = number;
    runningLookups()[task] = std::move(lookup);
    pending_[number] = Pending{task, std::move(answer)};
    return number;
}

void HostLookups::cancel(std::uint32_t lookup) {
    const auto found = pending_.find(lookup);
    if (found == pending_.end()) return;
    const HANDLE task = found->second.task;
    pending_.erase(found);
    const auto run = runningLookups().find(task);
    if (run != runningLookups().end()) run->second->owner = nullptr;
    try {
        resolver().cancel(task);
    } catch (...) {
        // The answer then comes and finds no owner.
    }
}

void HostLookups::cancelAll() {
    while (!pending_.empty()) cancel(pending_.begin()->first);
}

int HostLookups::running() { return static_cast<int>(runningLookups().size()); }

void HostLookups::answered(std::uint32_t lookup, int error, const std::vector<std::uint32_t>& addresses) {
    const auto found = pending_.find(lookup);
    if (found == pending_.end()) return;
    const Answer answer = std::move(found->second.answer);
    pending_.erase(found);
    if (answer) answer(error, addresses);
}

}  // namespace velmora::net
