// The manual join dialog "Join Server": a game, an address and a port typed
// by hand. "Join Server" hands game and "address:port" to the join action
// (which records the history and opens the query window) and closes it.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

#include "core/gametable.h"
#include "markup/markupcombo_win.h"
#include "markup/markuplabel_win.h"
#include "ui/childwindow_win.h"
#include "ui/form_win.h"
#include "ui/label_win.h"

namespace velmora {

class Tmanualform : public Form {
public:
    using JoinAction = std::function<void(int game, const std::string& address)>;

    // Item i of the game list is game i; `images` is the game image list.
    Tmanualform(const GameTable& games, HIMAGELIST images, JoinAction join);
    ~Tmanualform() override;

    // After the dialog was closed (hidden); its opener may release it then.
    std::function<void()> onclosed;

    TMarkupLabel MarkupLabel1;
    Label Label1;
    Label Label2;
    EditBox addredit;
    EditBox portedit;
    TMarkupComboBox gamecombo;

    void gamecomboChange();
    void MarkupLabel1AnchorClick(const std::string& anchor);

protected:
    void formClose(CloseAction& action) override;
    // Enter joins ("Join Server"), Escape is "cancel".
    void formEnterKey() override;
    void formEscapeKey() override;
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void FormCreate();

    const GameTable& games_;
    GdiImageList images_;
    JoinAction join_;
};

}  // namespace velmora
