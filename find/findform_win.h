// The "Find a game" window: every listed server of every game (or one
// game) in a list view, with the filters above it and the refresh's status
// line below. The main window makes it on first use and keeps it; closing
// hides it and ends its refresh, so a closed window asks nothing.
#pragma once
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/gametable.h"
#include "find/finder_win.h"
#include "find/findsettings.h"
#include "find/serverlist.h"
#include "ui/form_win.h"
#include "ui/label_win.h"
#include "ui/listcontrols_win.h"

namespace velmora {

inline constexpr char kFindCaption[] = "Find a game";

class Tfindform : public Form {
public:
    // The game table belongs to the main window, which outlives this one.
    explicit Tfindform(const GameTable& games);
    ~Tfindform() override;

    // Shows the window (where it was last) and refreshes the list of the
    // game with `gameid`, or of every game for "" or an unknown id.
    void open(const std::string& gameid);
    void refresh();

    // A server chosen with Enter or a double click, and "Join Game".
    std::function<void(int game, const std::string& address)> OnOpen;
    std::function<void(int game, const std::string& address)> OnJoin;

    // What the list view shows, row by row (indexes into rows()).
    const std::vector<std::size_t>& shown() const { return shown_; }
    const std::vector<find::ServerRow>& rows() const;
    std::string status() const { return statusbar.text(); }
    find::FindSettings settings() const;
    // The finder of an open window (null while it is closed).
    const find::Finder* finder() const { return finder_.get(); }

    Label gamelabel;
    DropDownList gamecombo;
    CheckBox hideempty, hidefull;
    Label pinglabel;
    DropDownList pingcombo;
    Label filterlabel;
    EditBox filteredit;
    ReportView list;
    StatusBar statusbar;

protected:
    void formClose(CloseAction& action) override;
    bool formMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
    bool formDialogKey(const MSG& msg) override;
    void formEnterKey() override;
    void dpiChanged(int dpi, const RECT* suggested) override;

private:
    void layout();
    void place(const find::FindSettings& s);
    void filtersChanged();
    // The list view follows the rows: their order and filters applied
    // again, the selected servers kept selected.
    void update();
    void sortBy(find::Column column);
    void openSelected();
    void contextMenu(POINT screen);
    void copyRows();
    std::vector<std::size_t> selectedRows() const;
    void save();

    const GameTable& games_;
    std::unique_ptr<find::Finder> finder_;
    std::vector<find::ServerRow> noRows_;
    find::Filters filters_;
    find::SortOrder order_;
    std::vector<std::size_t> shown_;
    // The games the last refresh asked (-1: every game).
    int asked_ = -2;
};

}  // namespace velmora
