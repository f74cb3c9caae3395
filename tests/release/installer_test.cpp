// The per-user installer, run silently in a prefix of its own by
// installer_test.py: what it put in place, a .server file opened through the
// shell reaching the installed copy, and the silent uninstaller ending that
// copy and removing only what is still its own. Then, each in a prefix of its
// own, an upgrade over the previous release in a folder of the player's
// choice, copies slow to end, and a file in use at uninstall time.
#include <gtest/gtest.h>
#include <winsock2.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "app/main_win.h"
#include "settings/associations.h"
#include "settings/settingsstore.h"
#include "tests/support/registry_fixture_win.h"
#include "tests/support/udp_listener_win.h"
#include "tests/support/velmora_desktop_win.h"
#include "tests/support/velmora_process_win.h"

using namespace velmora;
using namespace velmora::testing;
namespace fs = std::filesystem;

namespace {

const std::string kUninstallKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Velmora";
const std::string kGames[] = {"openarena", "quake", "quake2", "quake3", "quakeworld"};

fs::path shellFolder(int csidl) {
    char path[MAX_PATH] = {};
    SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

// A value as stored (strings without their zero), or "<missing>".
std::string rawValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<missing>";
    DWORD type = 0, size = 0;
    std::string data = "<missing>";
    const char* value = name.empty() ? nullptr : name.c_str();
    if (RegQueryValueExA(k, value, nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
        data.assign(size, '\0');
        RegQueryValueExA(k, value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size);
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && !data.empty() && data.back() == '\0') data.pop_back();
    }
    RegCloseKey(k);
    return data;
}

bool keyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// What a shell link holds: the file it starts, with which arguments, and its icon.
struct Shortcut {
    std::string target = "<unreadable>", arguments, icon;
    int iconIndex = -1;
};
Shortcut readShortcut(const fs::path& link) {
    Shortcut read;
    IShellLinkA* shell = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&shell))))
        return read;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(shell->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        if (SUCCEEDED(file->Load(link.wstring().c_str(), STGM_READ))) {
            char text[MAX_PATH] = {};
            if (SUCCEEDED(shell->GetPath(text, MAX_PATH, nullptr, 0))) read.target = text;
            text[0] = '\0';
            if (SUCCEEDED(shell->GetArguments(text, MAX_PATH))) read.arguments = text;
            text[0] = '\0';
            if (SUCCEEDED(shell->GetIconLocation(text, MAX_PATH, &read.iconIndex))) read.icon = text;
        }
        file->Release();
    }
    shell->Release();
    return read;
}

// The installer's Start-menu entries: the program, and "Find a game", which
// starts it with the command that opens that window.
const struct {
    const char* file;
    const char* arguments;
} kShortcuts[] = {{"Velmora.lnk", ""}, {"Find a game.lnk", "/find"}};

// Each entry starts `exe` with its arguments and shows the program's icon.
void expectShortcutsStart(const std::string& exe) {
    for (const auto& s : kShortcuts) {
        const fs::path link = shellFolder(CSIDL_PROGRAMS) / s.file;
        ASSERT_TRUE(fs::is_regular_file(link)) << link;
        const Shortcut read = readShortcut(link);
        EXPECT_EQ(lstrcmpiA(read.target.c_str(), exe.c_str()), 0) << s.file << ": " << read.target;
        EXPECT_EQ(read.arguments, s.arguments) << s.file;
        EXPECT_EQ(lstrcmpiA(read.icon.c_str(), exe.c_str()), 0) << s.file << ": " << read.icon;
        EXPECT_EQ(read.iconIndex, 0) << s.file;
    }
}

void expectNoShortcut() {
    for (const auto& s : kShortcuts) EXPECT_FALSE(fs::exists(shellFolder(CSIDL_PROGRAMS) / s.file)) << s.file;
}

// Both places a registration shows: the per-user classes and the merged root.
struct ClassesRoot {
    HKEY root;
    std::string prefix;
    const char* name;
};
const ClassesRoot kClassesRoots[] = {{HKEY_CURRENT_USER, kUserClassesKey, "HKCU\\Software\\Classes"},
                                     {HKEY_CLASSES_ROOT, "", "HKEY_CLASSES_ROOT"}};

// What another program writes when it takes a file type or a scheme over.
void takeOver(const std::string& key, const std::string& name, const std::string& data) {
    for (const ClassesRoot& r : kClassesRoots) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(r.root, (r.prefix + key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                  nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(k, name.empty() ? nullptr : name.c_str(), 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(data.c_str()), static_cast<DWORD>(data.size() + 1));
        RegCloseKey(k);
    }
}

struct PluginFacts {
    std::string id, sendstr;
};
PluginFacts pluginFacts(const fs::path& file) {
    const HMODULE lib = LoadLibraryA(file.string().c_str());
    if (!lib) return {};
    auto text = [&](const char* name) {
        auto fn = reinterpret_cast<const char*(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
        return fn ? std::string(fn()) : std::string();
    };
    PluginFacts facts{text("getgameid").substr(0, 3), text("getsendstr")};
    FreeLibrary(lib);
    return facts;
}

}  // namespace

TEST(Installer, TheSilentInstallRegistersTheChosenOffersAndTheSilentUninstallRemovesOnlyItsOwn) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    WSADATA wsa;
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &wsa), 0);
    const fs::path folder = shellFolder(CSIDL_LOCAL_APPDATA) / "Programs" / "Velmora";
    const std::string exe = (folder / "velmora.exe").string();

    // The files, the Start-menu entries and the entry in the installed programs.
    std::vector<fs::path> files = {folder / "velmora.exe", folder / "readme.txt", folder / "uninstall.exe"};
    for (const std::string& game : kGames) files.push_back(folder / "plugins" / (game + ".vlm"));
    for (const fs::path& file : files) EXPECT_TRUE(fs::is_regular_file(file)) << file;
    expectShortcutsStart(exe);
    const struct {
        const char* name;
        std::string data;
    } uninstallValues[] = {
        {"DisplayName", "Velmora"},
        {"DisplayVersion", VELMORA_VERSION},
        {"Publisher", "Drovik"},
        {"DisplayIcon", exe + ",0"},
        {"InstallLocation", folder.string()},
        {"UninstallString", "\"" + (folder / "uninstall.exe").string() + "\""},
        {"QuietUninstallString", "\"" + (folder / "uninstall.exe").string() + "\" /S"},
    };
    for (const auto& v : uninstallValues)
        EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kUninstallKey, v.name), v.data) << v.name;

    // "open links with Velmora" and "start with Windows": the program's own values, value for value.
    std::vector<ClassesValue> registrations = associationvalues(exe);
    for (const ClassesValue& v : weblinkvalues(exe)) registrations.push_back(v);
    for (const ClassesRoot& r : kClassesRoots)
        for (const ClassesValue& v : registrations)
            EXPECT_EQ(rawValue(r.root, r.prefix + v.key, v.name), v.data) << r.name << "\\" << v.key << " " << v.name;
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kRunKey, kRunValue), startupvalue(exe));

    // A player's settings and history, which the silent uninstall keeps.
    setUserString(kSettingsRootKey, "", kSettingsRootValue);  // not a first run: no greeting
    const PluginFacts quake3 = pluginFacts(folder / "plugins" / "quake3.vlm");
    ASSERT_FALSE(quake3.id.empty());

    // A .server file opened through the shell starts the installed copy, which asks the server.
    Listener server;
    const std::string address = "127.0.0.1:" + std::to_string(server.port());
    const fs::path link = fs::temp_directory_path() / "installed copy.server";
    const HANDLE started = openThroughShell(link, address + " " + quake3.id);
    ASSERT_TRUE(started) << "the shell started the installed program";
    // A copy still running when the test fails would hold the test's output open.
    struct EndLeftover {
        HANDLE process;
        ~EndLeftover() {
            if (WaitForSingleObject(process, 0) == WAIT_TIMEOUT) TerminateProcess(process, 99);
            CloseHandle(process);
        }
    } leftover{started};
    EXPECT_EQ(server.receive(20000), quake3.sendstr) << "the installed copy sends the plug-in's query";
    const std::string history = gamekey(quake3.id);
    EXPECT_TRUE(waitUntil([&] { return userValue(history, "history").find(address) != std::string::npos; }));
    EXPECT_TRUE(waitUntil([] { return !VelmoraProcess::windowsOfClass(kMainformClass).empty(); }))
        << "the started process stays in the tray";

    // Meanwhile another program took the plug-in type and the quake2:// scheme over.
    const std::string other = "\"C:\\Other\\other.exe\" \"%1\"";
    takeOver(".vlm", "", "OtherApp.vlm");
    takeOver("OtherApp.vlm\\shell\\open\\command", "", other);
    takeOver("quake2\\shell\\open\\command", "", other);

    // The silent uninstaller, as the installed-programs list starts it.
    const std::string quiet = rawValue(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString");
    std::vector<char> commandLine(quiet.begin(), quiet.end());
    commandLine.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    // It ends the running copy with its quit request: the program's own exit, code 0.
    ASSERT_EQ(WaitForSingleObject(started, 30000), WAIT_OBJECT_0) << "the copy in the tray ends";
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(started, &code);
    EXPECT_EQ(code, 0u) << "ended as Quit ends it, not killed";
    // Its last step removes its entry in the installed programs.
    ASSERT_TRUE(waitUntil([&] { return !keyExists(HKEY_CURRENT_USER, kUninstallKey); }, 60000));

    EXPECT_FALSE(fs::exists(folder)) << "every installed file and the folder are gone";
    expectNoShortcut();
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kRunKey, kRunValue), "<missing>");
    const std::string gone[] = {".server", "VelmoraFile", "VelmoraPlugin", "qw", "quake3"};
    for (const ClassesRoot& r : kClassesRoots) {
        for (const std::string& key : gone) EXPECT_FALSE(keyExists(r.root, r.prefix + key)) << r.name << "\\" << key;
        EXPECT_EQ(rawValue(r.root, r.prefix + ".vlm", ""), "OtherApp.vlm") << r.name;
        EXPECT_EQ(rawValue(r.root, r.prefix + "quake2\\shell\\open\\command", ""), other) << r.name;
    }
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kSettingsRootKey, ""), kSettingsRootValue);
    EXPECT_NE(userValue(history, "history").find(address), std::string::npos) << "the history stays";

    WSACleanup();
    CoUninitialize();
}

namespace {

// The installers and the files they hold, which installer_test.py names.
std::string fromEnvironment(const char* name) {
    char text[MAX_PATH] = {};
    GetEnvironmentVariableA(name, text, MAX_PATH);
    return text;
}

// Runs a command line to its end; its exit code, or STILL_ACTIVE if it outlasts `ms`.
DWORD runToEnd(const std::string& command, DWORD ms = 120000) {
    std::vector<char> line(command.begin(), command.end());
    line.push_back('\0');
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
    CloseHandle(pi.hThread);
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hProcess);
    return code;
}

// The silent install (the offers on the command line).
DWORD install(const std::string& options) {
    return runToEnd("\"" + fromEnvironment("VELMORA_SETUP") + "\" /S " + options);
}

std::string contents(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Whether `file` is the one the installer holds, not an older copy.
bool isStaged(const fs::path& file, const std::string& name) {
    const std::string staged = contents(fs::path(fromEnvironment("VELMORA_STAGE")) / name);
    return !staged.empty() && contents(file) == staged;
}

fs::path defaultFolder() { return shellFolder(CSIDL_LOCAL_APPDATA) / "Programs" / "Velmora"; }

// The quiet uninstall as the installed-programs list starts it; done when its entry goes.
bool uninstallQuietly() {
    const std::string quiet = rawValue(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString");
    if (runToEnd(quiet) != 0) return false;
    return waitUntil([] { return !keyExists(HKEY_CURRENT_USER, kUninstallKey); }, 60000);
}

// A running copy slow to let go (stuck_copy.exe, built beside this test), put
// in place of the installed program and started there.
struct StuckCopy {
    explicit StuckCopy(const std::string& how) {
        char self[MAX_PATH] = {};
        GetModuleFileNameA(nullptr, self, MAX_PATH);
        const fs::path exe = defaultFolder() / "velmora.exe";
        copied = CopyFileA((fs::path(self).parent_path() / "stuck_copy.exe").string().c_str(), exe.string().c_str(),
                           FALSE) != FALSE;
        if (copied) process = std::make_unique<VelmoraProcess>(exe, how);
    }
    bool shown() const { return process && process->window(kMainformClass) != nullptr; }
    bool copied = false;
    std::unique_ptr<VelmoraProcess> process;
};

// Holds a file as another program may (a virus scanner, a viewer): it can be
// neither written nor deleted until let go.
struct HeldFile {
    explicit HeldFile(const fs::path& file)
        : handle(CreateFileA(file.string().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
                             nullptr)) {}
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    void release() {
        if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
    }
    HANDLE handle;
};

const std::string kRunOnceKey = "Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

// The uninstaller run in place (_?=), so that its end is the uninstall's end.
DWORD uninstallInPlace(const fs::path& folder) {
    return runToEnd("\"" + (folder / "uninstall.exe").string() + "\" /S _?=" + folder.string());
}

void expectEveryRegistrationNames(const std::string& exe) {
    std::vector<ClassesValue> registrations = associationvalues(exe);
    for (const ClassesValue& v : weblinkvalues(exe)) registrations.push_back(v);
    for (const ClassesRoot& r : kClassesRoots)
        for (const ClassesValue& v : registrations)
            EXPECT_EQ(rawValue(r.root, r.prefix + v.key, v.name), v.data) << r.name << "\\" << v.key << " " << v.name;
}

}  // namespace

// A player who put the previous release in a folder of their own gets the
// upgrade there: a copy in the default folder would be a second one, and the
// start-up value and the links would go on naming the old.
TEST(InstallerUpgrade, GoesIntoTheFolderThePreviousReleaseWasInstalledIn) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    const fs::path chosen = "C:\\My Games\\Velmora";
    const std::string exe = (chosen / "velmora.exe").string();
    // /D= comes last and unquoted, blanks and all.
    ASSERT_EQ(runToEnd("\"" + fromEnvironment("VELMORA_PREVIOUS_SETUP") + "\" /S /LINKS=1 /STARTUP=1 /D=" +
                       chosen.string()),
              0u);
    ASSERT_EQ(rawValue(HKEY_CURRENT_USER, kRunKey, kRunValue), startupvalue(exe));
    // What the upgrade writes shows where it went.
    ASSERT_TRUE(fs::remove(chosen / "readme.txt"));

    ASSERT_EQ(install(""), 0u) << "the silent upgrade, with the offers as they come";
    EXPECT_TRUE(isStaged(chosen / "readme.txt", "readme.txt")) << "the upgrade's files are in the chosen folder";
    EXPECT_TRUE(isStaged(chosen / "velmora.exe", "velmora.exe"));
    EXPECT_FALSE(fs::exists(defaultFolder())) << "no second copy in the default folder";
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kUninstallKey, "InstallLocation"), chosen.string());
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kUninstallKey, "QuietUninstallString"),
              "\"" + (chosen / "uninstall.exe").string() + "\" /S");
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kRunKey, kRunValue), startupvalue(exe)) << "starts the kept copy";
    expectEveryRegistrationNames(exe);
    // The previous release made no "Find a game" entry: the upgrade adds it.
    expectShortcutsStart(exe);

    ASSERT_TRUE(uninstallQuietly());
    EXPECT_FALSE(fs::exists(chosen)) << "every installed file and the folder are gone";
    EXPECT_FALSE(fs::exists(defaultFolder()));
    expectNoShortcut();
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kRunKey, kRunValue), "<missing>");
    for (const ClassesRoot& r : kClassesRoots)
        for (const char* key : {".server", "VelmoraFile", ".vlm", "VelmoraPlugin", "qw", "quake2", "quake3"})
            EXPECT_FALSE(keyExists(r.root, r.prefix + key)) << r.name << "\\" << key;
    CoUninitialize();
}

// A copy that reads no message for longer than the installer asks (busy, or
// hung) is still Velmora holding its file: it gets the quit request, which it
// finds when it comes back, and the upgrade waits for it.
TEST(InstallerRunningCopy, ACopyThatDoesNotAnswerForAWhileIsEndedAndReplaced) {
    ASSERT_EQ(install("/LINKS=0"), 0u);
    StuckCopy copy("--busy 10000");
    ASSERT_TRUE(copy.copied);
    ASSERT_TRUE(copy.shown());

    EXPECT_EQ(install("/LINKS=0"), 0u);
    EXPECT_EQ(copy.process->waitExit(5000), 0u) << "ended by the quit request";
    EXPECT_TRUE(isStaged(defaultFolder() / "velmora.exe", "velmora.exe")) << "the program file is the new one";
}

// A copy's window goes before its process lets go of its file: the program
// file is tried again until it is free.
TEST(InstallerRunningCopy, TheProgramFileIsReplacedOnceTheEndedCopyLetsGoOfIt) {
    ASSERT_EQ(install("/LINKS=0"), 0u);
    StuckCopy copy("--linger 3000");
    ASSERT_TRUE(copy.copied);
    ASSERT_TRUE(copy.shown());

    EXPECT_EQ(install("/LINKS=0"), 0u);
    EXPECT_EQ(copy.process->waitExit(5000), 0u) << "ended by the quit request";
    EXPECT_TRUE(isStaged(defaultFolder() / "velmora.exe", "velmora.exe")) << "the program file is the new one";
}

// A copy that never lets go: rather than go on over a file it cannot write,
// the install stops and changes nothing (with a window, the player is asked to
// end the copy and choose Retry; a silent install stops with exit code 2).
TEST(InstallerRunningCopy, ACopyThatNeverEndsStopsTheSilentInstallBeforeAnyChange) {
    ASSERT_EQ(install("/LINKS=0"), 0u);
    StuckCopy copy("--busy 600000");
    ASSERT_TRUE(copy.copied);
    ASSERT_TRUE(copy.shown());
    // What the install writes after the program file shows whether it went on.
    ASSERT_TRUE(fs::remove(defaultFolder() / "readme.txt"));

    EXPECT_EQ(install("/LINKS=0"), 2u);
    EXPECT_FALSE(fs::exists(defaultFolder() / "readme.txt"));
    EXPECT_TRUE(copy.process->running());
}

// A file that another program holds stays, and with it the uninstaller and
// its entry in the installed programs; the uninstall finishes at the next
// log-on, which runs what RunOnce holds.
TEST(InstallerUninstall, AFileInUseKeepsTheEntryUntilTheUninstallFinishesAtTheNextLogOn) {
    ASSERT_EQ(install("/LINKS=1"), 0u);
    const fs::path folder = defaultFolder();
    HeldFile held(folder / "velmora.exe");
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);

    EXPECT_EQ(uninstallInPlace(folder), 0u);
    EXPECT_TRUE(fs::exists(folder / "velmora.exe"));
    EXPECT_FALSE(fs::exists(folder / "readme.txt")) << "what is free goes";
    EXPECT_FALSE(keyExists(HKEY_CLASSES_ROOT, "VelmoraFile"));
    const std::string uninstaller = (folder / "uninstall.exe").string();
    EXPECT_TRUE(fs::exists(uninstaller)) << "the uninstaller stays with the file";
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kUninstallKey, "UninstallString"), "\"" + uninstaller + "\"")
        << "the entry stays while a file does";
    const std::string finish = rawValue(HKEY_CURRENT_USER, kRunOnceKey, "Velmora uninstall");
    EXPECT_EQ(finish, "\"" + uninstaller + "\" /S");

    // The next log-on: the file is free, and Windows runs the RunOnce command.
    held.release();
    ASSERT_EQ(runToEnd(finish), 0u);
    ASSERT_TRUE(waitUntil([&] { return !keyExists(HKEY_CURRENT_USER, kUninstallKey); }, 60000));
    EXPECT_FALSE(fs::exists(folder)) << "every installed file and the folder are gone";
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kRunOnceKey, "Velmora uninstall"), "<missing>");
}

// Installed again before that log-on, the program stays: the unfinished
// uninstall would otherwise remove the new install.
TEST(InstallerUninstall, AnInstallBeforeTheNextLogOnCancelsTheUnfinishedUninstall) {
    ASSERT_EQ(install("/LINKS=0"), 0u);
    const fs::path folder = defaultFolder();
    HeldFile held(folder / "velmora.exe");
    ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
    EXPECT_EQ(uninstallInPlace(folder), 0u);
    ASSERT_NE(rawValue(HKEY_CURRENT_USER, kRunOnceKey, "Velmora uninstall"), "<missing>");
    held.release();

    ASSERT_EQ(install("/LINKS=0"), 0u);
    EXPECT_EQ(rawValue(HKEY_CURRENT_USER, kRunOnceKey, "Velmora uninstall"), "<missing>");
    EXPECT_TRUE(keyExists(HKEY_CURRENT_USER, kUninstallKey));
}
