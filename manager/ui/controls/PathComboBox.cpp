#include "PathComboBox.h"

BOOL CPathComboBox::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        ::TranslateMessage(msg);
        ::DispatchMessageW(msg);
        return TRUE;
    }
    return CComboBoxEx::PreTranslateMessage(msg);
}

void CPathComboBox::InsertPath(const std::string& text, int position)
{
    if (GetCount() >= position) {
        for (int i = GetCount() - 1; i >= 0; --i) {
            if (::lstrcmpiA(GetItemText(i).c_str(), text.c_str()) == 0) {
                DeleteItem(i);
                break;
            }
        }
        if (position > GetCount())
            position = GetCount();
        InsertItem(position, text);
    }
    SetCurSel(0);
}
