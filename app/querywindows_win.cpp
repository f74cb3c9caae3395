#include "app/querywindows_win.h"

#include "query/loading_win.h"
#include "query/manual_win.h"

namespace velmora {

namespace {
// Posted by a closed query window: lParam is the window to release.
constexpr UINT WM_RELEASEQUERY = WM_USER + 20;
// Posted by a closed manual join dialog.
constexpr UINT WM_RELEASEMANUAL = WM_APP + 0x311;
}  // namespace

QueryWindows::QueryWindows(HWND owner, QueryHost& host, const GameTable& games)
    : owner_(owner), host_(host), games_(games) {}

QueryWindows::~QueryWindows() = default;

Tloadform& QueryWindows::openquery(int g, const std::string& address, const std::string& title) {
    auto window = std::make_unique<Tloadform>(host_);
    window->gameIndex = g;
    window->Label2.setText(address + "...");
    if (!title.empty()) window->setCaption(title);
    window->onClosed = [this](Tloadform& closed) {
        PostMessageA(owner_, WM_RELEASEQUERY, 0, reinterpret_cast<LPARAM>(&closed));
    };
    Tloadform& shown = *window;
    queries_.push_back(std::move(window));
    shown.show();
    // Painted now rather than when the queue runs dry: what the caller does
    // next (the history, the menu) comes after the first picture.
    if (shown.handle()) UpdateWindow(shown.handle());
    return shown;
}

Tmanualform& QueryWindows::openmanual(int g, HIMAGELIST images,
                                      std::function<void(int g, const std::string& address)> join) {
    auto dialog = std::make_unique<Tmanualform>(games_, images, std::move(join));
    dialog->onclosed = [this] { PostMessageA(owner_, WM_RELEASEMANUAL, 0, 0); };
    dialog->gamecombo.setItemIndex(g);
    dialog->addredit.setText("255.255.255.255");
    dialog->portedit.setText(games_.at(g).defport);
    dialog->show();
    manualforms_.push_back(std::move(dialog));
    return *manualforms_.back();
}

bool QueryWindows::handle(UINT message, LPARAM lParam, LRESULT& result) {
    switch (message) {
        case WM_RELEASEMANUAL:
            std::erase_if(manualforms_, [](const auto& dialog) { return !dialog->visible(); });
            result = 0;
            return true;
        case WM_RELEASEQUERY: {
            result = 0;
            const auto* closed = reinterpret_cast<const Tloadform*>(lParam);
            // Only a window still owned and still closed goes.
            for (auto it = queries_.begin(); it != queries_.end(); ++it)
                if (it->get() == closed && !closed->visible()) {
                    queries_.erase(it);
                    break;
                }
            return true;
        }
        default: return false;
    }
}

}  // namespace velmora
