#include "query/join_win.h"

#include <windows.h>
#include <shellapi.h>

#include "app/main_win.h"
#include "base/error.h"
#include "query/join.h"
#include "settings/settingsform_win.h"
#include "ui/application_win.h"

namespace velmora {

namespace {
// ShellExecute's results below 32: most are system error codes, the others
// its own.
std::string shellreason(int code) {
    switch (code) {
        case 0: return "The system is out of memory or resources.";
        case SE_ERR_ASSOCINCOMPLETE:
        case SE_ERR_NOASSOC: return "No program is associated with the file.";
        case SE_ERR_DDEBUSY:
        case SE_ERR_DDEFAIL:
        case SE_ERR_DDETIMEOUT: return "The shell could not hand the file over.";
        case SE_ERR_DLLNOTFOUND: return "A library the program needs was not found.";
        case SE_ERR_SHARE: return "A sharing violation occurred.";
        default: break;
    }
    char text[512] = {};
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
    std::string reason(text, n);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' || reason.back() == ' '))
        reason.pop_back();
    return reason;
}
}  // namespace

void joingame(Tmainform& mainform, int g, const std::string& addressLabel) {
    const tplugin& row = mainform.games().at(static_cast<size_t>(g));
    const query::JoinPlan plan = query::planjoin(row.path, row.param, addressLabel);
    Application* app = Application::current();
    if (plan.kind == query::JoinPlan::Kind::NoPath) {
        if (app) app->showMessage(plan.message);
        if (mainform.settingsform) mainform.settingsform->showgamepaths(g);
        return;
    }
    if (plan.kind == query::JoinPlan::Kind::Refused) {
        if (app) app->showMessage(plan.message);
        return;
    }
    // The texts go to the shell whole, however long.
    const HINSTANCE result =
        ShellExecuteA(mainform.handle(), nullptr, plan.file.c_str(), plan.parameters.c_str(),
                      plan.folder.empty() ? nullptr : plan.folder.c_str(), SW_SHOW);
    const int code = static_cast<int>(reinterpret_cast<INT_PTR>(result));
    if (code <= 32 && app) app->showMessage(query::startfailure(plan.file, code, shellreason(code)));
}

}  // namespace velmora
