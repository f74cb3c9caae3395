#include "app/statuswatch_win.h"

#include "core/history.h"
#include "settings/registry_win.h"
#include "settings/settingsstore.h"

namespace velmora {

namespace {
// Every game's history as stored, with the captions the menu shows and the
// addresses the menu's links open.
std::vector<watch::WatchedGame> watchedgames(const std::vector<tplugin>& rows) {
    std::vector<watch::WatchedGame> games;
    for (const tplugin& row : rows) {
        watch::WatchedGame game;
        game.sendstr = row.sendstr;
        for (const std::string& entry : historylist(row.history)) {
            // The link a chosen entry opens starts with its address and a blank.
            const std::string link = historylink(entry, "");
            game.entries.push_back({entry, historycaption(entry), link.substr(0, link.find(' '))});
        }
        games.push_back(std::move(game));
    }
    return games;
}
}  // namespace

StatusWatch::StatusWatch(const GameTable& games, Tray& tray) : games_(games), tray_(tray) {}

StatusWatch::~StatusWatch() { stop(); }

void StatusWatch::start() {
    watcher_ = std::make_unique<watch::Watcher>(watch::plugindecoder(games_.rows()));
    watcher_->OnChange = [this] { changed(); };
    watcher_->OnBalloon = [this](const watch::Balloon& b) { balloon(b); };
    tray_.popup.OnGetStatus = [this](MenuChoice choice) { return menustatus(choice); };
    tray_.popup.OnPopup = [this] {
        if (watcher_) watcher_->menuopened();
    };
    tray_.icon.OnBalloonClick = [this] { balloonclick(); };
    readsettings();
    historychanged();
}

void StatusWatch::stop() {
    tray_.popup.OnGetStatus = nullptr;
    tray_.popup.OnPopup = nullptr;
    tray_.icon.OnBalloonClick = nullptr;
    watcher_.reset();
}

void StatusWatch::readsettings() {
    if (!watcher_) return;
    std::string interval, notify;
    {
        Registry reg;
        if (reg.openKey(kSettingsRootKey, false)) {
            interval = reg.readString(kWatchValue);
            notify = reg.readString(kNotifyValue);
        }
    }
    // watchinterval gives minutes of 60 000 ms; a test may make its minute shorter.
    const std::uint64_t ms = static_cast<std::uint64_t>(watch::watchinterval(interval)) / 60000u * minute;
    watcher_->setnotify(watch::notifyon(notify));
    watcher_->setinterval(static_cast<std::uint32_t>(ms));
    changed();
}

void StatusWatch::historychanged() {
    if (watcher_) watcher_->settargets(watch::watchtargets(watchedgames(games_.rows())));
}

std::string StatusWatch::menustatus(MenuChoice choice) const {
    if (!watcher_ || choice.top < 0 || choice.sub < 2) return {};
    const MenuItem& parent = tray_.model.items().at(static_cast<size_t>(choice.top));
    const int g = parent.tag - 1;
    if (g < 0 || static_cast<size_t>(g) >= games_.rows().size()) return {};
    const std::vector<std::string> entries = historylist(games_.rows()[static_cast<size_t>(g)].history);
    const size_t k = static_cast<size_t>(choice.sub - 2);
    return k < entries.size() ? watcher_->status(g, entries[k]) : std::string();
}

void StatusWatch::changed() {
    tray_.icon.setHint(watcher_ ? watcher_->tip() : std::string(watch::kTipText));
    tray_.popup.refreshstatus();
}

void StatusWatch::balloon(const watch::Balloon& balloon) {
    if (tray_.icon.showballoon(balloon.title, balloon.text)) balloon_ = balloon;
}

// The balloon's server opens as its menu entry does: the link path from the
// history entry, with its game.
void StatusWatch::balloonclick() {
    if (!balloon_) return;
    const watch::Balloon b = *balloon_;
    if (b.game < 0 || static_cast<size_t>(b.game) >= games_.rows().size()) return;
    if (OnOpenServer) OnOpenServer(b.game, b.entry);
}

}  // namespace velmora
