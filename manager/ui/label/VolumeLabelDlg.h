// CVolumeLabelDlg: asks for a memory's volume label (template 345). A FAT
// volume label holds 11 characters, so no more are accepted.
#pragma once

#include <string>

#include "Controls.h"
#include "Dialog.h"

enum : UINT {
    IDD_VOLUME_LABEL = 345,
    IDC_VOLUME_LABEL_EDIT = 1197,
};

class CVolumeLabelDlg : public CDialog {
public:
    explicit CVolumeLabelDlg(HWND parent = nullptr) : CDialog(IDD_VOLUME_LABEL, parent) {}

    void SetLabel(const std::string& label) { m_label = label; }
    const std::string& GetLabel() const { return m_label; }

    BOOL OnInitDialog() override;
    void OnOK() override;

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnTimer(UINT_PTR id);
    LRESULT OnDestroyMessage(WPARAM, LPARAM);

    std::string m_label;

private:
    CEdit m_edit;
};
