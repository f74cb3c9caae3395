#include "query/loading_win.h"

#include <mmsystem.h>

#include "core/pluginhost_win.h"
#include "core/velmoraglobal.h"
#include "query/join_win.h"
#include "resources/resource.h"
#include "ui/application_win.h"

namespace velmora {

namespace {
HBITMAP loadHandStrip() {
    return static_cast<HBITMAP>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_HAND), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}
void say(const std::string& text) {
    if (Application* app = Application::current()) app->showMessage(text);
}
}  // namespace

Tloadform::Tloadform(QueryHost& host)
    : Form("Tloadform", "Getting Server Info", 202, 177, FormStyle::ToolWindow),
      Label1(*this, 8, 8, "Getting server info for"),
      Label2(*this, 16, 24, ""),
      hand(*this, 160, 8, 25, 25),
      commands(*this, 8, 160, 187, 18),
      results(*this, 8, 48, 193, 97),
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
    hand.SetGlyph(loadHandStrip());
    hand.SetGlyphNum(4);
    hand.SetNumGlyphs(10);
    hand.Stretch = false;
    hand.Loaded();
    hand.OnFrameChanged = [this](TAnimatedImage& sender) { handFrameChanged(sender); };

    for (TMarkupLabel* label : {&commands, &results}) {
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
    pingtimer.OnTimer = nullptr;
    pingtimer.SetEnabled(false);
    holdClock(false);
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

bool Tloadform::formMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    if (message != WM_STARTQUERY) return false;
    result = 0;
    StartQuery();
    return true;
}

// While a query waits the multimedia clock runs at 1 ms, so that the ticks
// and the ping have millisecond resolution; it is given back at the end.
void Tloadform::holdClock(bool on) {
    if (on == clockHeld_) return;
    clockHeld_ = on;
    if (on)
        timeBeginPeriod(1);
    else
        timeEndPeriod(1);
}

void Tloadform::StartQuery() {
    ticks = 0;
    finished = false;
    waiting_ = true;
    holdClock(true);
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
    pingtimer.SetEnabled(true);
    ping_.start(timeGetTime());
    udpclient.SendText(host_.gametable().at(gameIndex).sendstr);
}

void Tloadform::endQuietly() {
    finished = true;
    waiting_ = false;
    hand.SetActive(false);
    pingtimer.SetEnabled(false);
    udpclient.Close();
    holdClock(false);
}

void Tloadform::FinishQuery() {
    // finished comes first: stopping the hand and choosing its end frame
    // both raise the frame-changed event, which must leave the end frame.
    endQuietly();
    hand.SetGlyphNum(query::finalframe(reply, ticks));
    ShowResults();
}

void Tloadform::ShowResults() {
    if (!host_.gametable().has(gameIndex)) {
        say("dont know what game");
        return;
    }
    DecodeReply(host_.gametable().at(gameIndex).pluginfile, reply);
}

void Tloadform::DecodeReply(const std::string& pluginfile, const std::string& datagram) {
    // The library is loaded for this call only, and unloaded after its texts
    // have been copied.
    query::DecodedTexts decoded{"???", "???", "???", "???", "???", "???"};
    {
        auto library = PluginLibrary::load(pluginfile);
        if (library && library->exports().decodedata) {
            ServerInfo info{};
            library->exports().decodedata(&info, datagram.c_str());
            decoded = {plugintext(info.name),    plugintext(info.game),    plugintext(info.mod),
                       plugintext(info.map),     plugintext(info.players), plugintext(info.maxplayers)};
        }
    }
    serverInfo = decoded;
    results.setMarkupText(query::resultstext(decoded, datagram, ticks));
}

void Tloadform::handFrameChanged(TAnimatedImage& sender) {
    const int frame = query::steeredframe(finished, sender.GlyphNum());
    if (frame >= 0) sender.SetGlyphNum(frame);
}

void Tloadform::pingtimerTimer(int lagCount) {
    if (!ping_.tick(lagCount, timeGetTime())) {
        ticks = ping_.ticks();
        return;
    }
    ticks = ping_.ticks();
    FinishQuery();
}

void Tloadform::udpclientDataAvailable() {
    if (waiting_) {
        ping_.answered(timeGetTime());
        ticks = ping_.ticks();
    }
    reply = udpclient.ReceiveText();
    if (!query::hasstatusprefix(reply)) reply = query::kBadReply;
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
