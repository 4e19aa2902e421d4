// CConfigDlg: the "Configuration" dialog (template 350): the download-list and
// PC-tree settings, the volume labels of the player's memories, and the
// starts of the shell's drive format dialog and of the firmware update tool.
// Its result mask tells the main dialog what changed.
#pragma once

#include <windows.h>

#include <string>

#include "Dialog.h"

enum : UINT {
    IDD_CONFIG = 350,
    IDC_CONFIG_INT = 1249,
    IDC_CONFIG_EXT = 1250,
    IDC_CONFIG_FORMAT = 1251,
    IDC_CONFIG_FWU = 1252,
    IDC_CONFIG_DL = 1253,
    IDC_CONFIG_TR = 1254,
    IDC_CONFIG_LABEL_INT = 1255,
    IDC_CONFIG_LABEL_EXT = 1256,
    IDC_CONFIG_OK = 1257,
};

enum CONFIG_RESULT : int {
    CONFIG_FORMATTED = 1,
    CONFIG_INT_LABEL = 2,
    CONFIG_EXT_LABEL = 4,
    CONFIG_DL_CHANGED = 8,
    CONFIG_TR_CHANGED = 16,
    CONFIG_UPDATER_STARTED = 32,
};

// The shell's drive format dialog (SHFormatDrive's shape); tests replace it.
using FormatDriveCall = DWORD(WINAPI*)(HWND owner, UINT drive, UINT formatId, UINT options);

class CConfigDlg : public CDialog {
public:
    // A volume label holds at most 11 characters.
    static constexpr int LABEL_MAX = 11;

    CConfigDlg(HWND owner, const std::string& internalRoot, const std::string& externalRoot, int result = 0);
    ~CConfigDlg() override;

    // The update tool's name for the platform class: 0 is Windows 95/98.
    static const char* UpdaterName(int osLevel);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override { EndDialog(IDCANCEL); }
    // Escape never closes the dialog.
    BOOL PreTranslateMessage(MSG* msg) override;

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnOkButton() { OnOK(); }
    void OnLaunchFormatter();
    void OnFwuStart();
    void OnNothing() {}
    void OnDlChanged() { m_result |= CONFIG_DL_CHANGED; }
    void OnTrChanged() { m_result |= CONFIG_TR_CHANGED; }
    void OnIntLabelChanged();
    void OnExtLabelChanged();
    void OnTimer(UINT_PTR id);

    // Writes CFG_DL and CFG_TR under the key (created when missing, at most
    // three opening attempts); false when nothing was written.
    static bool WriteSettings(const std::string& key, DWORD dl, DWORD tr);

    std::string m_roots[2];     // internal, external ("" when absent)
    std::string m_labels[2];    // as read at start
    std::string m_labelsWritten[2];  // what OK gave SetVolumeLabel
    int m_result;
    short m_osLevel = 0;
    std::string m_programFolder;  // ends with "\"
    std::string m_registryKey;    // the App Paths key (tests use their own)
    FormatDriveCall m_formatDrive;
    HANDLE m_updater = nullptr;

private:
    bool m_initialising = false;
};
