// The query windows and manual join dialogs open now. Each is made on
// request and kept while it shows; a closed one is released from the message
// loop once its own handlers have returned, through a message it posts to
// the main window.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/gametable.h"
#include "query/queryhost.h"

namespace velmora {

class Tloadform;
class Tmanualform;

class QueryWindows {
public:
    // `owner` is the window the release messages are posted to (its message
    // handler passes them to handle()).
    QueryWindows(HWND owner, QueryHost& host, const GameTable& games);
    QueryWindows(const QueryWindows&) = delete;
    QueryWindows& operator=(const QueryWindows&) = delete;
    ~QueryWindows();

    // A new query window for game g on `address` ("host:port"), captioned
    // `title` when not empty, shown and painted before this returns.
    Tloadform& openquery(int g, const std::string& address, const std::string& title);
    // A new manual join dialog for game g: that game, the broadcast address,
    // its default port. `join` gets the game and address chosen.
    Tmanualform& openmanual(int g, HIMAGELIST images, std::function<void(int g, const std::string& address)> join);

    const std::vector<std::unique_ptr<Tloadform>>& queries() const { return queries_; }
    const std::vector<std::unique_ptr<Tmanualform>>& manualforms() const { return manualforms_; }

    // The release messages; false for any other message.
    bool handle(UINT message, LPARAM lParam, LRESULT& result);

private:
    HWND owner_;
    QueryHost& host_;
    const GameTable& games_;
    std::vector<std::unique_ptr<Tmanualform>> manualforms_;
    std::vector<std::unique_ptr<Tloadform>> queries_;
};

}  // namespace velmora
