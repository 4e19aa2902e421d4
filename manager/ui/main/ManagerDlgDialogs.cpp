// The small dialogs the main window opens itself: the About box.
#include "ManagerDlg.h"

#include "AboutDlg.h"
#include "ManagerGlobals.h"

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
