#include "OverwriteDlg.h"

#include "Text.h"
#include "TransferStrings.h"

MB_BEGIN_MESSAGE_MAP(COverwriteDlg, CDialog)
    mb::OnCommand(IDC_OVERWRITE_YES, &COverwriteDlg::OnYes),
    mb::OnCommand(IDC_OVERWRITE_YES_ALL, &COverwriteDlg::OnYesToAll),
    mb::OnCommand(IDC_OVERWRITE_NO, &COverwriteDlg::OnNo),
    mb::OnMessage(WM_CLOSE, &COverwriteDlg::OnClose),
MB_END_MESSAGE_MAP()

BOOL COverwriteDlg::OnInitDialog()
{
    std::string format = mb::LoadText(IDS_OVERWRITE_QUESTION);
    if (format.empty())
        format = TransferStringDefault(IDS_OVERWRITE_QUESTION);
    // The name goes in as it is: a "%" in it is no format of ours.
    m_question.clear();
    const std::size_t at = format.find("%s");
    if (at == std::string::npos)
        m_question = format;
    else
        m_question = format.substr(0, at) + m_fileName + format.substr(at + 2);
    SetItemText(IDC_OVERWRITE_QUESTION, m_question);
    ::SendDlgItemMessageW(m_hWnd, -1, STM_SETICON, reinterpret_cast<WPARAM>(::LoadIconW(nullptr, MAKEINTRESOURCEW(32515) /* the warning icon */)), 0);
    return TRUE;
}

void COverwriteDlg::OnYes()
{
    m_result = OVERWRITE_YES;
    OnOK();
}

void COverwriteDlg::OnYesToAll()
{
    m_result = OVERWRITE_YES_TO_ALL;
    OnOK();
}

void COverwriteDlg::OnNo()
{
    m_result = OVERWRITE_NO;
    OnOK();
}

void COverwriteDlg::OnCancel()
{
    m_result = OVERWRITE_CANCEL;
    EndDialog(IDCANCEL);
}

LRESULT COverwriteDlg::OnClose(WPARAM, LPARAM)
{
    m_result = OVERWRITE_CANCEL;
    return Default();
}

int COverwriteQuestion::AskOverwrite(const std::string& fileName)
{
    COverwriteDlg dlg(m_owner);
    dlg.SetFileName(fileName);
    if (dlg.DoModal() == -1)
        return OVERWRITE_CANCEL;
    return dlg.m_result;
}
