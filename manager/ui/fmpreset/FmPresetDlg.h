// CFmPresetDlg: the "FM Preset" dialog (template 452). It shows the player's
// 20 presets from SETTINGS.DAT or a named group of the preset list file
// (FMInfo.ini, FMInfo_K.ini in Korean), edits them in place, writes a group
// back into the list file, and saves the shown presets to the player on a
// worker thread that ends with a device status poll.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Controls.h"
#include "Dialog.h"
#include "FmPresetList.h"
#include "FmPresetTable.h"

enum : UINT {
    IDD_FM_PRESET = 452,
    IDD_FM_WAIT = 453,
    IDC_FM_LIST = 1519,
    IDC_FM_HELP = 1524,
    IDC_FM_PRESETS = 1525,
    IDC_FM_EDITOR = 1529,
    IDC_FM_WAIT_ICON = 1530,
    IDC_FM_WAIT_TEXT = 1531,
    IDC_FM_MODIFY = 4,
    IDC_FM_EDIT_LIST = 3,
};

// Starts Notepad or the browser; the process handle to watch, or null.
// Tests give their own so that nothing pops up.
typedef HANDLE (*FmLauncher)(HWND owner, const std::string& file, const std::string& params,
                             const std::string& dir);

class CFmPresetDlg : public CDialog {
public:
    CFmPresetDlg(HWND parent, const std::string& rootPath);
    ~CFmPresetDlg() override;

    // Set by the main dialog before DoModal.
    std::string m_programFolder;  // ends with "\"
    int m_koreanFlag = 0;
    short m_osLevel = 0;
    FmLauncher m_launch;

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    BOOL PreTranslateMessage(MSG* msg) override;

    bool LoadPresetGroup(const std::string& name);
    // Shows the table of the player's SETTINGS.DAT; false when the file does
    // not open (nothing changes) or holds no whole table (rows cleared).
    bool ReadPlayerTable();
    std::string ListFilePath() const;
    std::string SettingsPath() const;

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnPresetSelChange();
    void OnListClick(NMHDR* nm, LRESULT* result);
    void OnModify();
    void OnEditList();
    void OnHelpButton();
    void OnTimer(UINT_PTR id);
    LRESULT OnDestroyMessage(WPARAM, LPARAM);

    // The save, run on the worker with the rows the user-interface thread
    // read before starting it (kHz, 0 for an empty or unreadable row).
    static DWORD WINAPI SaveToPlayerThread(void* dialog);
    static bool WriteTable(const std::string& path, const std::uint32_t khz[fmpreset::ENTRY_COUNT]);

    CListCtrl m_list;
    CComboBoxEx m_presets;
    CEdit m_editor;
    std::string m_rootPath;
    // Set by the last read of the player's table.
    bool m_tableFound = false;
    std::size_t m_tableOffset = 0;
    // Rows that show "87.5" for a stored value outside the band: not a
    // preset the user chose, so a save leaves the player's bytes alone
    // until the row is edited or a group is loaded.
    bool m_placeholder[fmpreset::ENTRY_COUNT] = {};
    int m_editRow = -1;
    int m_editColumn = -1;
    bool m_editing = false;
    HANDLE m_notepad = nullptr;
    bool m_notepadRunning = false;
    HANDLE m_browser = nullptr;
    bool m_browserRunning = false;
    volatile LONG m_saveFinished = 0;
    bool m_saving = false;
    // What the last save's thread did (seen by the tests).
    volatile LONG m_lastSaveWrote = 0;
    volatile LONG m_lastSavePolled = 0;

private:
    void InitList();
    void LoadGroupNames();
    void ClearRows();
    void BeginEdit(int row, int column);
    void EndEdit(bool accept);
    std::string ReadListFile(bool* opened) const;
    std::string DeviceItemText() const;
    bool DeviceItemChosen() const;
    void StopSave();

    HFONT m_font = nullptr;
    CDialog* m_waitDlg = nullptr;
    HICON m_waitIcon = nullptr;
    HANDLE m_saveThread = nullptr;
    std::uint32_t m_saveRows[fmpreset::ENTRY_COUNT] = {};
};
