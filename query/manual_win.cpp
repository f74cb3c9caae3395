#include "query/manual_win.h"

#include "markup/markupcombo.h"

namespace velmora {

Tmanualform::Tmanualform(const GameTable& games, HIMAGELIST images, JoinAction join)
    : Form("Tmanualform", "Join Server", 216, 95, FormStyle::Dialog),
      MarkupLabel1(*this, 112, 80, 104, 18),
      Label1(*this, 16, 16, "&Game"),
      Label2(*this, 8, 44, "&Address"),
      // Created in tab order: address, port, game list.
      addredit(handle(), 56, 40, 97, 21, "xxx.xxx.xxx.xxx"),
      portedit(handle(), 160, 40, 49, 20, "xxxxx"),
      gamecombo(handle(), 56, 8, 153, 22),
      games_(games),
      images_(images, imageListDpi(images, 16)),
      join_(std::move(join)) {
    font.name = "MS Sans Serif";
    font.height = -11;
    MarkupLabel1.font = verdanaFont();
    MarkupLabel1.setAutoSizing(true);
    MarkupLabel1.setMarkupText({"<a href=\"go\">Join Server</a>   <a href=\"cancel\">cancel</a>"});
    MarkupLabel1.OnAnchorClick = [this](TMarkupLabel&, const std::string& a) { MarkupLabel1AnchorClick(a); };
    Label1.focusControl = gamecombo.handle();
    Label2.focusControl = addredit.handle();
    addredit.setFont(font);
    portedit.setFont(verdanaFont());
    gamecombo.setFont(font);
    gamecombo.setEditHeight(16);
    gamecombo.setDropWidth(153);
    gamecombo.DropHeight = 200;
    gamecombo.setImages(&images_);
    gamecombo.OnChange = [this](TMarkupComboBox&) { gamecomboChange(); };
    setDialogKeys(true);
    FormCreate();
}

Tmanualform::~Tmanualform() { gamecombo.setImages(nullptr); }

void Tmanualform::FormCreate() {
    gamecombo.clearItems();
    for (int g = 0; g < games_.size(); ++g) gamecombo.addItem(gamelistitem(g, games_.at(g).gamename));
    // By index: no change event, the port keeps its text.
    gamecombo.setItemIndex(0);
}

void Tmanualform::gamecomboChange() {
    const int g = gamecombo.ItemIndex();
    if (!games_.has(g)) return;
    portedit.setText(games_.at(g).defport);
}

void Tmanualform::MarkupLabel1AnchorClick(const std::string& anchor) {
    if (anchor == "cancel") {
        close();
    } else if (anchor == "go") {
        // Neither field is checked: a bad address shows up as the query window's error.
        const std::string address = addredit.text() + ":" + portedit.text();
        if (join_) join_(gamecombo.ItemIndex(), address);
        close();
    }
}

void Tmanualform::formEnterKey() { MarkupLabel1AnchorClick("go"); }
void Tmanualform::formEscapeKey() { MarkupLabel1AnchorClick("cancel"); }

void Tmanualform::formClose(CloseAction& action) {
    action = CloseAction::Hide;
    if (onclosed) onclosed();
}

bool Tmanualform::formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    return ChildWindow::reflect(message, wParam, lParam, result);
}

}  // namespace velmora
