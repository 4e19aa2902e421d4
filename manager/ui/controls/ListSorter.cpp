#include "ListSorter.h"

#include <mbstring.h>

#include "PlayerPaneRules.h"

CListSorter::CListSorter(CListCtrl& list, int column, bool numeric) : m_list(list), m_column(column), m_numeric(numeric)
{
    for (int i = 0; i < m_list.GetItemCount(); ++i) {
        Key* key = new Key;
        key->Text = m_list.GetItemText(i, m_column);
        if (m_numeric)
            key->Number = playerpane::SortNumber(key->Text);
        key->Saved = m_list.GetItemData(i);
        m_list.SetItemData(i, reinterpret_cast<LPARAM>(key));
    }
}

CListSorter::~CListSorter()
{
    for (int i = 0; i < m_list.GetItemCount(); ++i) {
        Key* key = reinterpret_cast<Key*>(m_list.GetItemData(i));
        if (!key)
            continue;
        m_list.SetItemData(i, key->Saved);
        delete key;
    }
}

bool CListSorter::Sort(bool ascending)
{
    PFNLVCOMPARE compare = m_numeric ? (ascending ? CompareNumberAscending : CompareNumberDescending)
                                     : (ascending ? CompareTextAscending : CompareTextDescending);
    return m_list.SortItems(compare, 0);
}

int CALLBACK CListSorter::CompareTextAscending(LPARAM a, LPARAM b, LPARAM)
{
    return _mbsicmp(reinterpret_cast<const unsigned char*>(reinterpret_cast<Key*>(a)->Text.c_str()),
                    reinterpret_cast<const unsigned char*>(reinterpret_cast<Key*>(b)->Text.c_str()));
}

int CALLBACK CListSorter::CompareTextDescending(LPARAM a, LPARAM b, LPARAM) { return CompareTextAscending(b, a, 0); }

int CALLBACK CListSorter::CompareNumberAscending(LPARAM a, LPARAM b, LPARAM)
{
    return playerpane::CompareSortNumbers(reinterpret_cast<Key*>(a)->Number, reinterpret_cast<Key*>(b)->Number, true);
}

int CALLBACK CListSorter::CompareNumberDescending(LPARAM a, LPARAM b, LPARAM)
{
    return playerpane::CompareSortNumbers(reinterpret_cast<Key*>(a)->Number, reinterpret_cast<Key*>(b)->Number, false);
}
