// The About window is the main window: its pictures and labels, "Done",
// the read-me anchor and "&Quit".
#include "app/about_win.h"

#include <shellapi.h>

#include "app/main_win.h"
#include "resources/resource.h"
#include "ui/form_win.h"

namespace velmora {

namespace {
// The host name of the maker's page: what stands between "://" and the next "/".
std::string makerhost() {
    std::string host = kMakerAddress;
    host = host.substr(host.find("://") + 3);
    return host.substr(0, host.find('/'));
}

HICON programicon(int id, int size) {
    return static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0));
}

void aboutfont(TMarkupLabel& label) {
    label.font = verdanaFont();
    label.setURLColor(0xFF0000);  // blue
    label.anchorHint = false;
    label.setAutoSizing(false);
}
}  // namespace

std::vector<std::string> abouttext() {
    return {
        "the Velmora is a new way to join games of quake and other FPS online.",
        "<br>Thanks to the <i>velmora</i> all you have to do is click a link on a web page, and ",
        "the <i>velmora</i> in the tray will connect and open up the required game.",
        "<br><br> there's the latest info in the <a href=\"readme.txt\">readme file</a> ",
        "<br><br>remember the Velmora is <b>FREE</b><br>",
        "<p align=\"right\">",
        std::string("<a href=\"") + kMakerAddress + "\">" + makerhost() + "</a> ",
        std::string(" <a href=\"mailto:") + kMakerMail + "\">" + kMakerMail + "</a> ",
        "<br><br><a href=\"done\">Done</a>",
        " ",
    };
}

void Tmainform::buildabout() {
    Image2.setIconSource([](int size) { return programicon(IDI_VELMORA, size); });
    Image1.setIconSource([](int size) { return programicon(IDI_DROVIK, size); });
    aboutfont(MarkupLabel1);
    MarkupLabel1.setMarkupText({std::string("<p align=\"center\"><a href=\"") + kMakerAddress + "\">Drovik</a>"});
    aboutfont(titlelabel);
    titlelabel.font.height = -16;
    titlelabel.font.bold = true;
    aboutfont(aboutlabel);
    aboutlabel.setImages(gameimagelist_.get());
    aboutlabel.setMarkupText(abouttext());
    aboutlabel.OnAnchorClick = [this](TMarkupLabel& sender, const std::string& anchor) {
        aboutlabelAnchorClick(sender, anchor);
    };
}

void Tmainform::showabout() { show(); }

// Showing an already visible About window only brings it to the front.
void Tmainform::formShow() { SetForegroundWindow(handle()); }

void Tmainform::aboutlabelAnchorClick(TMarkupLabel&, const std::string& anchor) {
    if (anchor == "readme.txt") {
        // A missing read-me opens nothing; the shell's result is not looked at.
        ShellExecuteA(handle(), nullptr, "readme.txt", nullptr, exefolder().c_str(), SW_SHOW);
    } else if (anchor == "done") {
        hide();
    }
}

// The About window is the application's main window: closing it ends the
// message loop, and with it the program and all its windows.
void Tmainform::quit() { close(); }

}  // namespace velmora
