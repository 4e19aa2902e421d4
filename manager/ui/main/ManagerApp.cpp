#include "ManagerApp.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include "Gdi.h"
#include "ManagerDlg.h"
#include "ManagerGlobals.h"
#include "ManagerSettings.h"
#include "SettingsRules.h"
#include "Prompter.h"
#include "StringIds.h"
#include "Text.h"

BOOL CManagerApp::InitInstance()
{
    // The Korean library supplies dialogs, menus and strings when present.
    if (HMODULE korean = ::LoadLibraryA("Vilo LarkKR.dll")) {
        SetResourceHandle(korean);
        g_koreanFlag = 1;
    }

    // One copy: an earlier one is brought forward (restored when minimised).
    std::string title = mb::LoadText(IDS_TITLE);
    if (HWND first = ::FindWindowA("#32770", title.c_str())) {
        ::ShowWindow(first, ::IsIconic(first) ? SW_RESTORE : SW_SHOWNORMAL);
        ::SetForegroundWindow(first);
        return FALSE;
    }

    // The skin's pictures are read on a thread of their own while the
    // dialog's controls are made; the skin steps take them from there.
    mb::BeginBitmapPrefetch(
        settings::ImagesFolder(CManagerSettings::ResolveProgramFolder(CManagerSettings::Read().programFolder)));

    ::OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_USEREX_CLASSES};
    ::InitCommonControlsEx(&controls);
    mb::SetMessageCaption(L"MusicBridge");
    {
        CManagerDlg dialog;
        m_pMainWnd = &dialog;
        dialog.DoModal();
        m_pMainWnd = nullptr;
    }
    mb::EndBitmapPrefetch();
    ::OleUninitialize();
    return FALSE;
}

CManagerApp theApp;
