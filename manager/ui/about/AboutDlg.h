// CAboutDlg: the About box (template 100): the logo, the skin's version and
// its text.
#pragma once

#include <string>

#include "Dialog.h"
#include "Gdi.h"

enum : UINT {
    IDD_ABOUT = 100,
    IDC_ABOUT_LOGO = 1019,
    IDC_ABOUT_VERSION = 1493,
    IDC_ABOUT_TEXT = 1494,
};

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr) : CDialog(IDD_ABOUT, parent) {}

    // The skin's [ABOUT] values: x and y make the version x + y / 1000.
    void SetSkinValues(int x, int y, const std::string& text)
    {
        m_version = x + y / 1000.0;
        m_text = text;
    }

    BOOL OnInitDialog() override;

    std::string m_imagesFolder;
    double m_version = 0;
    std::string m_text;

private:
    CBitmap m_logo;
};
