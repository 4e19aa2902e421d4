#include "Dialog.h"

#include "App.h"
#include "Text.h"

MB_BEGIN_MESSAGE_MAP(CDialog, CWnd)
    mb::OnCommand(IDOK, &CDialog::OnOkCommand),
    mb::OnCommand(IDCANCEL, &CDialog::OnCancelCommand),
    mb::OnMessage(WM_HELP, &CDialog::OnHelpMessage),
MB_END_MESSAGE_MAP()

INT_PTR CALLBACK CDialog::StaticDlgProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    // Only the first message needs the dialog procedure: from then on the
    // window is bound and its messages arrive at WindowProc ahead of the
    // dialog manager, which calls back here for its defaults.
    if (msg != WM_INITDIALOG)
        return FALSE;
    auto* dlg = reinterpret_cast<CDialog*>(lp);
    if (!dlg || !dlg->SubclassWindow(hwnd))
        return TRUE;
    return dlg->OnInitDialog();
}

BOOL CDialog::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_F1) {
        OnHelp();
        return TRUE;
    }
    return m_hWnd && ::IsDialogMessageW(m_hWnd, msg);
}

bool CDialog::Create(HWND parent)
{
    if (m_hWnd)
        return false;
    if (parent)
        m_parent = parent;
    m_modal = false;
    HWND h = ::CreateDialogParamW(mb::ResourceModule(), MAKEINTRESOURCEW(m_templateId), m_parent,
                                  &CDialog::StaticDlgProc, reinterpret_cast<LPARAM>(this));
    return h != nullptr;
}

void CDialog::EndDialog(INT_PTR result)
{
    if (!m_modal) {
        DestroyWindow();
        return;
    }
    m_result = result;
    m_ended = true;
    // Wakes the loop when the call came from another thread.
    if (m_hWnd)
        ::PostMessageW(m_hWnd, WM_NULL, 0, 0);
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    m_modal = true;
    m_ended = false;
    m_result = -1;
    HWND h = ::CreateDialogParamW(mb::ResourceModule(), MAKEINTRESOURCEW(m_templateId), m_parent,
                                  &CDialog::StaticDlgProc, reinterpret_cast<LPARAM>(this));
    if (!h) {
        m_modal = false;
        return -1;
    }
    bool ownerDisabled = false;
    if (m_parent && ::IsWindowEnabled(m_parent)) {
        ::EnableWindow(m_parent, FALSE);
        ownerDisabled = true;
    }
    if (!m_ended) {
        ::ShowWindow(h, SW_SHOWNORMAL);
        RunModalLoop();
    }
    // The owner is enabled before the dialog goes, so that activation
    // returns to it and not to another program.
    if (ownerDisabled)
        ::EnableWindow(m_parent, TRUE);
    if (m_parent && ::GetActiveWindow() == h)
        ::SetActiveWindow(m_parent);
    ::DestroyWindow(h);
    m_modal = false;
    return m_result;
}

void CDialog::RunModalLoop()
{
    MSG msg;
    LONG idle = 0;
    bool idleMore = true;
    while (!m_ended) {
        while (!m_ended && idleMore && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE))
            idleMore = mb::RunIdle(idle++);
        if (m_ended)
            break;
        BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            m_result = IDCANCEL;
            break;
        }
        mb::ProcessMessage(msg);
        if (msg.message != WM_NULL && msg.message != WM_TIMER && msg.message != WM_PAINT) {
            idleMore = true;
            idle = 0;
        }
    }
}
