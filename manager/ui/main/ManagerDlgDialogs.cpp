// The small dialogs the main window opens itself: the About box and a
// file's Properties.
#include "ManagerDlg.h"

#include "AboutDlg.h"
#include "ManagerGlobals.h"
#include "PropertiesDlg.h"

void CManagerDlg::ShowAboutBox()
{
    ++m_aboutShown;
    int x = 0, y = 0, cx = 0, cy = 0;
    std::string text;
    CAboutDlg about(m_hWnd);
    if (ReadSkinValues("ABOUT", &x, &y, &cx, &cy, false, &text))
        about.SetSkinValues(x, y, text);
    about.m_imagesFolder = g_imagesFolder;
    about.DoModal();
}

void CManagerDlg::RunPropertiesDialog(const std::string& path, CMP3Info* mp3, CWMAInfo* wma)
{
    CPropertiesDlg properties(path, mp3, wma, m_hWnd);
    properties.DoModal();
}
