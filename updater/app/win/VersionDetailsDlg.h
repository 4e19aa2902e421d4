// CVersionDetailsDlg: every firmware component's version on the player and in
// its file, the file's path, and the player's chip revision.
#pragma once
#include "Dialog.h"
#include "qv/QvConfigInfo.h"
#include "qv/QvVersionInfo.h"

class CVersionDetailsDlg : public CDialog {
public:
    CVersionDetailsDlg(const CQvVersionInfoPtrArray* current, const CQvVersionInfoPtrArray* upgrade,
                       CQvConfigInfo* config, uint16_t chipRevision, HWND parent);
    BOOL OnInitDialog() override;

private:
    const CQvVersionInfoPtrArray* m_current;
    const CQvVersionInfoPtrArray* m_upgrade;
    CQvConfigInfo* m_config;
    uint16_t m_chipRevision;
};
