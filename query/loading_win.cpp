#include "query/loading_win.h"

#include "base/gamenames.h"
#include "core/velmoraglobal.h"
#include "query/gameplugin.h"
#include "query/join_win.h"
#include "resources/resource.h"
#include "ui/application_win.h"
#include "ui/clipboard_win.h"
#include "ui/clock_win.h"

namespace velmora {

namespace {
HBITMAP loadHandStrip(int id) {
    return static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}
void say(const std::string& text) {
    if (Application* app = Application::current()) app->showMessage(text);
}
// The layout without a player list, which the window keeps when it has none.
constexpr int kClientWidth = 202, kClientHeight = 177;
// The list starts below the commands, so the window above it stays as it is.
constexpr int kListTop = 180, kListBottomMargin = 4;
}  // namespace

Tloadform::Tloadform(QueryHost& host)
    : Form("Tloadform", "Getting Server Info", kClientWidth, kClientHeight, FormStyle::ToolWindow),
      Label1(*this, 8, 8, "Getting server info for"),
      Label2(*this, 16, 24, ""),
      hand(*this, 160, 8, 25, 25),
      commands(*this, 8, 160, 187, 18),
      results(*this, 8, 48, 193, 97),
      playerlist(*this, 8, kListTop, 193, 0),
      host_(host) {
    Label2.font.bold = true;
    Label2.setText("xxx.xxx.xxx.xxx:xxxxx...");

    // The stored properties in their order: the strip first sets NumGlyphs
    // to 1 (180 is no multiple of 16), so GlyphNum 4 is refused, and
    // NumGlyphs 10 then makes 18 x 16 frames from frame 0.
    hand.AutoSize = false;
    hand.BeginLoading();
    hand.SetActive(true);
    hand.Center = true;
    hand.SetGlyph(loadHandStrip(IDB_HAND));
    hand.SetGlyphNum(4);
    hand.SetNumGlyphs(10);
    hand.Stretch = false;
    hand.Loaded();
    // On denser screens the hand is drawn from the strip drawn twice as large.
    hand.SetDenseGlyph(loadHandStrip(IDB_HAND2X), 2);
    hand.OnFrameChanged = [this](TAnimatedImage& sender) { handFrameChanged(sender); };

    for (TMarkupLabel* label : {&commands, &results, &playerlist}) {
        label->font = verdanaFont();
        label->setAutoSizing(false);
    }
    commands.setMarkupText({query::kCommandsText});
    commands.OnAnchorClick = [this](TMarkupLabel& sender, const std::string& anchor) { dostuff(sender, anchor); };
    results.setMarkupText(query::initialresults());

    udpclient.SetProto("udp");
    udpclient.SetLocalAddr("0.0.0.0");
    udpclient.SetLocalPort("0");
    udpclient.OnDataAvailable = [this](net::TCustomAsyncSocket&, std::uint16_t) { udpclientDataAvailable(); };
    udpclient.OnError = [this](net::TCustomAsyncSocket&) { udpclientError(); };
    udpclient.OnSendData = [this](net::TCustomAsyncSocket&, int) { datagramSent(); };

    pingtimer.BeginLoading();
    pingtimer.SetEnabled(false);
    pingtimer.SetInterval(1);
    pingtimer.SetMaxLag(10);
    pingtimer.SetActiveOnly(false);
    pingtimer.Loaded();
    pingtimer.OnTimer = [this](net::TCustomFrameTimer&, int lagCount) { pingtimerTimer(lagCount); };

    onPaint = [this] { FormShow(); };
    FormCreate();
}

Tloadform::~Tloadform() {
    // Nothing may reach the window while its parts go.
    onPaint = nullptr;
    hand.OnFrameChanged = nullptr;
    udpclient.OnDataAvailable = nullptr;
    udpclient.OnError = nullptr;
    udpclient.OnSendData = nullptr;
    pingtimer.OnTimer = nullptr;
    pingtimer.SetEnabled(false);
}

void Tloadform::FormCreate() {
    finished = false;
    started = false;
}

void Tloadform::FormShow() {
    if (started) return;
    started = true;
    PostMessageA(handle(), WM_STARTQUERY, 0, 0);
}

bool Tloadform::formMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    if (message == WM_KEYDOWN && wParam == 'C' && GetKeyState(VK_CONTROL) < 0) {
        copyPlayerList();
        result = 0;
        return true;
    }
    if (message != WM_STARTQUERY) return false;
    result = 0;
    StartQuery();
    return true;
}

void Tloadform::StartQuery() {
    elapsedMs = 0;
    finished = false;
    waiting_ = true;
    clockStarted_ = false;
    // The tray blinks from the first query until the window closes: a
    // refresh does not switch it on a second time.
    if (!trayAnimated_) host_.settrayanimated(true);
    trayAnimated_ = true;
    hand.SetActive(true);
    hand.SetGlyphNum(0);
    const bool known = host_.gametable().has(gameIndex);
    if (known && results.markupText().size() > 1)
        results.setMarkupLine(1, query::gameline(host_.gametable().at(gameIndex).gamename));
    udpclient.Close();
    const std::string address = Label2.text();
    udpclient.SetAddr(gethost(address));
    udpclient.SetPort(getport(address));
    udpclient.SetProto("udp");
    if (!known) {
        say("dont know what game (startup)");
        // There is no game to ask: the query ends at once, on the failed frame.
        endQuietly();
        hand.SetGlyphNum(query::kFailedFrame);
        return;
    }
    udpclient.Connect();
    // A socket that could not open has finished the query through its error.
    if (finished) return;
    // What the start changed is painted before the clock starts: a reply
    // that arrives while the window paints would wait for the paint and
    // read as a longer ping.
    UpdateWindow(handle());
    // The datagram goes at once to an address, and once the name is found
    // for a host name: datagramSent starts the clock then.
    udpclient.SendText(query::GamePlugin(host_.gametable().at(gameIndex)).sendstr());
}

// The clock starts when the datagram has gone, so a name lookup is no part
// of the ping or of the time-out; until the time-out the timer has nothing
// to draw, and the loop sleeps until then.
void Tloadform::datagramSent() {
    if (!waiting_ || clockStarted_) return;
    clockStarted_ = true;
    const std::int64_t sent = clockMicroseconds();
    ping_.start(sent);
    pingtimer.SetEnabled(true);
    pingtimer.SleepFor(ping_.untilTimeout(sent));
}

void Tloadform::endQuietly() {
    finished = true;
    waiting_ = false;
    hand.SetActive(false);
    pingtimer.SetEnabled(false);
    udpclient.Close();
}

void Tloadform::FinishQuery() {
    // finished comes first: stopping the hand and choosing its end frame
    // both raise the frame-changed event, which must leave the end frame.
    endQuietly();
    hand.SetGlyphNum(query::finalframe(reply, elapsedMs));
    ShowResults();
}

void Tloadform::ShowResults() {
    if (!host_.gametable().has(gameIndex)) {
        say("dont know what game");
        return;
    }
    DecodeReply(reply);
}

void Tloadform::DecodeReply(const std::string& datagram) {
    // The game's library stays loaded with its row: decoding loads nothing.
    const tplugin& game = host_.gametable().at(gameIndex);
    const query::GamePlugin plugin(game);
    query::DecodedTexts decoded = plugin.decodeserver(datagram);
    // A timed-out query shows no one: the reply is the last answer's.
    std::vector<query::PlayerEntry> listed;
    if (elapsedMs < query::PingCount::kTimedOut) listed = plugin.decodeplayers(datagram);
    // The plug-in's name as it came, less any control character: no game's
    // rules are applied a second time.
    decoded.name = gamenames::readable(gamenames::flavourOfGame(game.gameid), decoded.name);
    serverInfo = decoded;
    players = query::orderedplayers(std::move(listed));
    results.setMarkupText(query::resultstext(decoded, datagram, elapsedMs));
    fitPlayerList(query::playerrows(players));
}

// The list gets the height its rows take and the window grows by it,
// staying on the work area of the monitor it is on (not the primary one's:
// a window on a second screen stays there); without a list the window is as
// it always was.
void Tloadform::fitPlayerList(const std::vector<std::string>& rows) {
    const int height = rows.empty() ? 0 : playerlist.laidOutHeight(rows) + 2;
    playerlist.setMarkupText(rows);
    if (playerlist.height() == height) return;
    playerlist.setBounds(playerlist.left(), kListTop, playerlist.width(), height);
    const SIZE outer = outerSize(kClientWidth, height ? kListTop + height + kListBottomMargin : kClientHeight);
    RECT now{};
    GetWindowRect(handle(), &now);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoA(MonitorFromWindow(handle(), MONITOR_DEFAULTTONEAREST), &monitor);
    const RECT& work = monitor.rcWork;
    SetWindowPos(handle(), nullptr, now.left, query::fittedtop(now.top, outer.cy, work.top, work.bottom), outer.cx,
                 outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// Ctrl+C: who is on, as plain text with the address, for pasting elsewhere.
void Tloadform::copyPlayerList() {
    // The label shows the address with "..." after it.
    const std::string address = Label2.text();
    const std::string text = query::playerclipboard(gethost(address) + ":" + getport(address), players);
    copyText(handle(), text);
}

void Tloadform::handFrameChanged(TAnimatedImage& sender) {
    const int frame = query::steeredframe(finished, sender.GlyphNum());
    if (frame >= 0) sender.SetGlyphNum(frame);
}

void Tloadform::pingtimerTimer(int) {
    const std::int64_t now = clockMicroseconds();
    const bool timedOut = ping_.tick(now);
    elapsedMs = ping_.ticks();
    if (timedOut)
        FinishQuery();
    else
        pingtimer.SleepFor(ping_.untilTimeout(now));
}

void Tloadform::udpclientDataAvailable() {
    // The arrival is timed first, before the datagram is read.
    const std::int64_t arrived = clockMicroseconds();
    const std::string datagram = udpclient.ReceiveText();
    // Only a status reply of this game ends the query. Anything else from the
    // server's address (junk, an empty datagram, an answer to another
    // question) is dropped before the plug-in sees it, and the query waits on
    // for a valid reply until its time-out.
    if (!waiting_ || !host_.gametable().has(gameIndex) ||
        !query::GamePlugin(host_.gametable().at(gameIndex)).isreply(datagram))
        return;
    ping_.answered(arrived);
    elapsedMs = ping_.ticks();
    reply = datagram;
    FinishQuery();
}

void Tloadform::udpclientError() {
    reply = query::kUnknownError;
    FinishQuery();
}

void Tloadform::dostuff(TMarkupLabel&, const std::string& anchor) {
    if (anchor == "cancel")
        close();
    else if (anchor == "go")
        joingame(host_, handle(), gameIndex, Label2.text());
    else if (anchor == "refresh")
        StartQuery();
}

void Tloadform::formClose(CloseAction& action) {
    // A query still waiting ends here without showing anything.
    if (waiting_) endQuietly();
    if (trayAnimated_) host_.settrayanimated(false);
    trayAnimated_ = false;
    action = CloseAction::Hide;
    if (onClosed) onClosed(*this);
}

}  // namespace velmora
