// CNoticeDlg: the small notice without a title (template 177) that tells the
// user what the window is busy with. It closes itself once its display time
// has run out; shown modelessly it is destroyed and deletes itself.
#pragma once

#include <string>

#include "Dialog.h"

enum : UINT {
    IDD_NOTICE = 177,
    IDC_NOTICE_TEXT = 1104,
    IDC_NOTICE_TEXT2 = 1105,
    IDC_NOTICE_ICON = 1472,
};

class CNoticeDlg : public CDialog {
public:
    explicit CNoticeDlg(HWND parent = nullptr) : CDialog(IDD_NOTICE, parent) {}

    // The text and the time (ms) after which the notice closes itself; 0:
    // it stays until its owner closes it.
    void SetText(const std::string& text, UINT milliseconds)
    {
        m_text = text;
        m_displayTime = milliseconds;
    }
    // A modeless notice made with `new` owns itself: destroying its window
    // deletes it.
    void SetSelfDeleting(bool on) { m_selfDeleting = on; }

    BOOL OnInitDialog() override;
    // The notice is never ended by Enter or Escape.
    void OnOK() override {}
    void OnCancel() override {}

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnTimer(UINT_PTR id);

    std::string m_text, m_text2;
    // Where ICO_MAIN.ICO is (ending with "\").
    std::string m_imagesFolder;
    UINT m_displayTime = 0;

    // Seen by the tests: how many notices were deleted, how many were shown
    // and the text of the last one.
    static int s_deleted;
    static int s_shown;
    static std::string s_lastText;

protected:
    void PostNcDestroy() override;

private:
    bool m_selfDeleting = false;
    HICON m_icon = nullptr;
};
