// An ordered list of icons that tells its owner when it changes. Updates
// nest: while any begin-update is open nothing is told, and closing the
// outermost one tells once.
#pragma once
#include <windows.h>

#include <functional>
#include <vector>

namespace velmora {

class TIconList {
public:
    TIconList() = default;
    TIconList(const TIconList&) = delete;
    TIconList& operator=(const TIconList&) = delete;
    ~TIconList();

    std::function<void()> onChange;

    int count() const { return static_cast<int>(icons_.size()); }
    // The icon at `index`; raises "List index out of bounds (%d)" outside the list.
    HICON item(int index) const;
    // The list takes ownership of every icon given to it.
    void add(HICON icon);
    void insert(int index, HICON icon);
    void replace(int index, HICON icon);
    // A 16 x 16 icon from the program's resources.
    void addfromresource(HINSTANCE instance, int id);
    void remove(int index);
    void clear();
    void exchange(int a, int b);
    void move(int from, int to);
    int indexof(HICON icon) const;

    void beginupdate() { ++updates_; }
    void endupdate();

private:
    void check(int index, int end) const;
    void changed();

    std::vector<HICON> icons_;
    int updates_ = 0;
    bool pending_ = false;
};

}  // namespace velmora
