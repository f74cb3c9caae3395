#include "query/join_win.h"

#include <windows.h>
#include <shellapi.h>

#include "base/error.h"
#include "query/join.h"
#include "ui/application_win.h"
#include "ui/win32error_win.h"

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
    return systemMessage(static_cast<DWORD>(code));
}
}  // namespace

void joingame(QueryHost& host, HWND owner, int g, const std::string& addressLabel) {
    const tplugin& row = host.gametable().at(g);
    const query::JoinPlan plan = query::planjoin(row.path, row.param, addressLabel);
    Application* app = Application::current();
    if (plan.kind == query::JoinPlan::Kind::NoPath) {
        if (app) app->showMessage(plan.message);
        host.showgamepaths(g);
        return;
    }
    if (plan.kind == query::JoinPlan::Kind::Refused) {
        if (app) app->showMessage(plan.message);
        return;
    }
    // The texts go to the shell whole, however long.
    const HINSTANCE result =
        ShellExecuteA(owner, nullptr, plan.file.c_str(), plan.parameters.c_str(),
                      plan.folder.empty() ? nullptr : plan.folder.c_str(), SW_SHOW);
    const int code = static_cast<int>(reinterpret_cast<INT_PTR>(result));
    if (code <= 32 && app) app->showMessage(query::startfailure(plan.file, code, shellreason(code)));
}

}  // namespace velmora
