// CListSorter: sorts a list view's rows by one column, as text or as a
// number, through the control's own sort. For its lifetime each row's item
// data is a key record holding the sort key and the row's own data, which
// the destructor puts back.
#pragma once

#include <windows.h>

#include <string>

#include "Controls.h"

class CListSorter {
public:
    CListSorter(CListCtrl& list, int column, bool numeric);
    ~CListSorter();
    CListSorter(const CListSorter&) = delete;
    CListSorter& operator=(const CListSorter&) = delete;
    bool Sort(bool ascending);

private:
    struct Key {
        std::string Text;
        long Number = 0;
        LPARAM Saved = 0;
    };
    static int CALLBACK CompareTextAscending(LPARAM a, LPARAM b, LPARAM);
    static int CALLBACK CompareTextDescending(LPARAM a, LPARAM b, LPARAM);
    static int CALLBACK CompareNumberAscending(LPARAM a, LPARAM b, LPARAM);
    static int CALLBACK CompareNumberDescending(LPARAM a, LPARAM b, LPARAM);

    CListCtrl& m_list;
    int m_column;
    bool m_numeric;
};
