// More of the system's own controls as child windows: a check box, a
// drop-down list, a virtual report list view and a status bar. Bounds are in
// 96-dpi units, as for every ChildWindow.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "ui/childwindow_win.h"

namespace velmora {

// A check box with its caption; OnClick follows a change by the user.
class CheckBox : public ChildWindow {
public:
    CheckBox(HWND parent, const std::string& caption, int left, int top, int width, int height);
    bool checked() const;
    void setChecked(bool on);
    std::function<void(CheckBox&)> OnClick;

protected:
    bool notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// A drop-down list of texts; OnChange follows a choice by the user.
class DropDownList : public ChildWindow {
public:
    // `height` is the height of the list when it is dropped down.
    DropDownList(HWND parent, int left, int top, int width, int height);
    void addItem(const std::string& text);
    int count() const;
    int selected() const;  // -1 for none
    void setSelected(int index);
    std::function<void(DropDownList&)> OnChange;

protected:
    bool notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// A list view in report mode that keeps no rows of its own (LVS_OWNERDATA):
// it is told how many rows there are and asks for the texts of those it
// shows. Full-row selection, several rows at once.
class ReportView : public ChildWindow {
public:
    ReportView(HWND parent, int left, int top, int width, int height);

    // A column `width` units wide; `right` aligns its texts right.
    void addColumn(const std::string& caption, int width, bool right = false);
    int columnWidth(int column) const;  // in units
    // The sort arrow in a column's header (the others lose theirs).
    void setSortMark(int column, bool ascending);

    // The number of rows, keeping the scroll position; every row is drawn again.
    void setCount(int rows);
    int count() const;
    void selectAll();
    // Exactly these rows selected, and `focused` (or none for -1) focused.
    void select(const std::vector<int>& rows, int focused);
    // The selected rows, in order.
    std::vector<int> selectedRows() const;
    // The row with the focus, or -1.
    int focusedRow() const;
    // A row's place in the client area, in pixels (empty when it is not shown).
    RECT rowRect(int row) const;

    // A cell's text, asked while drawing.
    std::function<std::string(int row, int column)> OnCellText;
    std::function<void(int column)> OnColumnClick;
    // A row was double-clicked.
    std::function<void(int row)> OnDoubleClick;

protected:
    bool notified(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::string cell_;  // the text handed to the control last, alive while it copies it
};

// The status bar along the bottom of a sizeable window, one part.
class StatusBar : public ChildWindow {
public:
    explicit StatusBar(HWND parent);
    // Takes its height and the width of the parent's client area again.
    void fit();
    // Its height in pixels.
    int pixelHeight() const;
};

}  // namespace velmora
