// The query window ("Getting Server Info"): asks one game server for its
// status with one datagram, counts the ping, shows the decoded answer, and
// offers "refresh", "go" (join) and "cancel". Each window is its own object
// with its own socket and timer, so several may wait at once.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "markup/animate_win.h"
#include "markup/markuplabel_win.h"
#include "net/asyncsocket_win.h"
#include "net/frametimer_win.h"
#include "query/playerlist.h"
#include "query/queryhost.h"
#include "query/querytexts.h"
#include "ui/form_win.h"
#include "ui/label_win.h"

namespace velmora {

// The window's own start message, posted after its first paint.
constexpr UINT WM_STARTQUERY = WM_USER + 1;

class Tloadform : public Form {
public:
    explicit Tloadform(QueryHost& host);
    ~Tloadform() override;

    Label Label1;
    Label Label2;
    TAnimatedImage hand;
    TMarkupLabel commands;
    TMarkupLabel results;
    // Who is on, below the commands; no height while there is no list.
    TMarkupLabel playerlist;
    net::TAsyncSocket udpclient;
    net::TFrameTimer pingtimer;

    bool finished = false;
    bool started = false;
    // Milliseconds from the send to the answer, shown as the ping; while the
    // query waits, the whole milliseconds passed so far; 999 on a time-out.
    std::int32_t elapsedMs = 0;
    int gameIndex = -1;
    std::string reply;
    query::DecodedTexts serverInfo;
    // Who is on, in the order the list shows them; empty without decodeplayers.
    std::vector<query::PlayerEntry> players;

    void StartQuery();
    void FinishQuery();
    void ShowResults();
    // The game's plug-in decodes `datagram` (a reply, or the failure text that
    // replaced it) and the results show it.
    void DecodeReply(const std::string& datagram);
    void dostuff(TMarkupLabel& sender, const std::string& anchor);

    // True from StartQuery until the query ends.
    bool waiting() const { return waiting_; }
    // Called after the window has been closed (the main window releases it).
    std::function<void(Tloadform&)> onClosed;

protected:
    void formClose(CloseAction& action) override;
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void FormCreate();
    void FormShow();
    void handFrameChanged(TAnimatedImage& sender);
    void pingtimerTimer(int lagCount);
    void udpclientDataAvailable();
    void udpclientError();
    void datagramSent();
    void endQuietly();
    void fitPlayerList(const std::vector<std::string>& rows);
    void copyPlayerList();

    QueryHost& host_;
    query::PingCount ping_;
    bool waiting_ = false;
    bool clockStarted_ = false;  // the datagram of this query has gone
    bool trayAnimated_ = false;  // this window has switched the tray animation on
};

}  // namespace velmora
