#include "VolumeLabelDlg.h"

#include "DetectRules.h"
#include "Text.h"

MB_BEGIN_MESSAGE_MAP(CVolumeLabelDlg, CDialog)
    mb::OnTimer(&CVolumeLabelDlg::OnTimer),
    mb::OnMessage(WM_DESTROY, &CVolumeLabelDlg::OnDestroyMessage),
MB_END_MESSAGE_MAP()

BOOL CVolumeLabelDlg::OnInitDialog()
{
    m_edit.SubclassDlgItem(IDC_VOLUME_LABEL_EDIT, m_hWnd);
    m_edit.Send(EM_LIMITTEXT, detect::VOLUME_LABEL_LIMIT);
    SetItemText(IDC_VOLUME_LABEL_EDIT, m_label);
    SetTimer(3, 10);
    return TRUE;
}

void CVolumeLabelDlg::OnTimer(UINT_PTR id)
{
    if (id != 3)
        return;
    KillTimer(3);
    m_edit.SetFocus();
    m_edit.Send(EM_SETSEL, 0, -1);
    m_edit.Send(EM_SCROLLCARET);
}

void CVolumeLabelDlg::OnOK()
{
    const std::string text = GetItemText(IDC_VOLUME_LABEL_EDIT);
    if (text.size() > detect::VOLUME_LABEL_LIMIT) {
        // The edit's limit does not hold text set from outside: check again.
        ShowMessage(mb::Format("Please enter no more than %d characters.", int(detect::VOLUME_LABEL_LIMIT)),
                    MB_OK | MB_ICONEXCLAMATION);
        m_edit.SetFocus();
        m_edit.Send(EM_SETSEL, 0, -1);
        return;
    }
    EndDialog(IDOK);
}

LRESULT CVolumeLabelDlg::OnDestroyMessage(WPARAM, LPARAM)
{
    std::string text = GetItemText(IDC_VOLUME_LABEL_EDIT);
    if (text.size() > detect::VOLUME_LABEL_LIMIT)
        text.resize(detect::VOLUME_LABEL_LIMIT);
    m_label = text;
    return Default();
}
