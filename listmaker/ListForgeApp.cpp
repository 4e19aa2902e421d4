// ListForge's application object: the command line is the player root (as
// the manager passes it, "E:\"), the main dialog runs modally, and the
// program ends with it.
#include <windows.h>
#include <commctrl.h>

#include "App.h"
#include "ListForgeDlg.h"
#include "Prompter.h"

class ListForgeApp : public CWinApp {
public:
    BOOL InitInstance() override
    {
        INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
        ::InitCommonControlsEx(&icc);
        ::OleInitialize(nullptr);  // the folder browser
        mb::SetMessageCaption(L"ListForge");
        ListForgeDlg dlg(CommandLine());
        m_pMainWnd = &dlg;
        dlg.DoModal();
        m_pMainWnd = nullptr;
        ::OleUninitialize();
        return FALSE;
    }
};

ListForgeApp theApp;
