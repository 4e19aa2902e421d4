// The small dialogs the main window opens itself: the About box, a file's
// Properties, the volume label question and the self-closing notice.
#include "ManagerDlg.h"

#include "AboutDlg.h"
#include "ManagerGlobals.h"
#include "NoticeDlg.h"
#include "PropertiesDlg.h"
#include "VolumeLabelDlg.h"

void CManagerDlg::ShowAboutBox()
{
    ++m_aboutShown;
    // [ABOUT] holds the version (x, y) and the product text only: asking for
    // a cx or cy it does not have would fail the read and show no version.
    int x = 0, y = 0;
    std::string text;
    CAboutDlg about(m_hWnd);
    if (ReadSkinValues("ABOUT", &x, &y, nullptr, nullptr, false, &text))
        about.SetSkinValues(x, y, text);
    about.m_imagesFolder = g_imagesFolder;
    about.DoModal();
}

void CManagerDlg::RunPropertiesDialog(const std::string& path, CMP3Info* mp3, CWMAInfo* wma)
{
    CPropertiesDlg properties(path, mp3, wma, m_hWnd);
    properties.DoModal();
}

bool CManagerDlg::AskVolumeLabel(const std::string& current, std::string& label)
{
    CVolumeLabelDlg ask(m_hWnd);
    ask.SetLabel(current);
    if (ask.DoModal() != IDOK)
        return false;
    label = ask.GetLabel();
    return true;
}

void CManagerDlg::ShowNotice(const std::string& text, int milliseconds)
{
    CNoticeDlg notice(m_hWnd);
    notice.SetText(text, milliseconds > 0 ? UINT(milliseconds) : 0);
    notice.m_imagesFolder = g_imagesFolder;
    notice.DoModal();
    RedrawNow();
    m_recentPaths.SetCurSel(0);
}
