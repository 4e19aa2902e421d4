// CUpdaterAboutDlg: the About box of the updater's system menus.
#pragma once
#include "Dialog.h"
#include "qv/QvConfigInfo.h"

class CUpdaterAboutDlg : public CDialog {
public:
    explicit CUpdaterAboutDlg(CQvConfigInfo* config);
    BOOL OnInitDialog() override;

private:
    CQvConfigInfo* m_config;
};
