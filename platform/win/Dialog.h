// CDialog: a dialog from a template of the resource module.
//
// DoModal runs the dialog in our own modal loop, so that keys pass through the
// pre-translate chain (the focused control's object, the dialog, the
// application) before the dialog manager sees them; it works on any thread,
// and the owner (possibly another thread's window) is disabled meanwhile.
// Create makes it modeless; a modeless dialog that owns itself overrides
// PostNcDestroy with "delete this".
#pragma once

#include "Wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr) : m_templateId(templateId), m_parent(parent) {}

    // The result given to EndDialog, or -1 when the dialog could not be made.
    // A quit message ends the loop with IDCANCEL and is posted again.
    virtual INT_PTR DoModal();
    bool Create(HWND parent = nullptr);
    // Modal: ends the loop with this result. Modeless: destroys the window.
    void EndDialog(INT_PTR result);
    bool IsModal() const { return m_modal; }

    virtual BOOL OnInitDialog() { return TRUE; }
    // The OK and Cancel buttons (and Enter, Escape, the close box).
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // F1: reported handled. Override to show help or an About box.
    virtual void OnHelp() {}

    // Gives the dialog manager its keys (Tab, Enter, Escape, mnemonics).
    BOOL PreTranslateMessage(MSG* msg) override;

    UINT TemplateId() const { return m_templateId; }

    MB_DECLARE_MESSAGE_MAP()

    void OnOkCommand() { OnOK(); }
    void OnCancelCommand() { OnCancel(); }
    LRESULT OnHelpMessage(WPARAM, LPARAM)
    {
        OnHelp();
        return TRUE;
    }

    static INT_PTR CALLBACK StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

protected:
    UINT m_templateId;
    HWND m_parent;

private:
    void RunModalLoop();

    bool m_modal = false;
    volatile bool m_ended = false;
    INT_PTR m_result = -1;
};
