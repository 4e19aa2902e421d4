#include "VersionDetailsDlg.h"
#include "ErrorTextTable.h"
#include "UpdaterApp.h"
#include "resource.h"
#include <vector>

namespace {
struct Row { UINT currentLabel, upgradeLabel, current, upgrade, path; };
const Row ROWS[4] = {
    {1024, 1028, 1019, 1029, 1039},
    {1025, 1034, 1023, 1033, 1042},
    {1026, 1035, 1022, 1032, 1041},
    {1027, 1036, 1021, 1031, 1040},
};

std::wstring VersionText(const CQvVersionInfoPtrArray* list, size_t index)
{
    const CQvVersionInfo* v = list ? list->At(index) : nullptr;
    if (!v)
        return std::wstring();
    wchar_t text[64];
    wsprintfW(text, L"%u.%u.%u", unsigned(v->Major()), unsigned(v->Minor()), unsigned(v->Revision()));
    return text;
}
} // namespace

CVersionDetailsDlg::CVersionDetailsDlg(const CQvVersionInfoPtrArray* current, const CQvVersionInfoPtrArray* upgrade,
                                       CQvConfigInfo* config, uint16_t chipRevision, HWND parent)
    : CDialog(IDD_QV_DETAILS, parent), m_current(current), m_upgrade(upgrade), m_config(config),
      m_chipRevision(chipRevision) {}

BOOL CVersionDetailsDlg::OnInitDialog()
{
    CUpdaterApp* app = CUpdaterApp::Get();
    if (app && app->Texts()) {
        CErrorTextTable* t = app->Texts();
        SetTextW(t->Text(154));
        SetItemTextW(1020, t->Text(148));
        SetItemTextW(1030, t->Text(151));
        SetItemTextW(1004, t->Text(152));
        SetItemTextW(1038, t->Text(153));
        SetItemTextW(IDOK, t->Text(155));
    }
    int count = 0;
    if (m_config)
        m_config->ComponentCount(count);
    DWORD n = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> folder(n + 1, 0);
    GetCurrentDirectoryW(n + 1, folder.data());
    for (int slot = 1; slot <= count && slot <= 4; ++slot) {
        const Row& row = ROWS[slot - 1];
        std::u16string name;
        m_config->ComponentDisplayName(slot, name);
        SetItemTextW(row.currentLabel, QvWide(name));
        SetItemTextW(row.upgradeLabel, QvWide(name));
        SetItemTextW(row.current, VersionText(m_current, size_t(slot - 1)));
        SetItemTextW(row.upgrade, VersionText(m_upgrade, size_t(slot - 1)));
        std::string file;
        m_config->ComponentFileName(slot, file);
        std::wstring path(folder.data());
        if (!path.empty() && path.back() != L'\\')
            path += L'\\';
        SetItemTextW(row.path, path + std::wstring(file.begin(), file.end()));
    }
    wchar_t chip[16];
    wsprintfW(chip, L"%x", unsigned(m_chipRevision));
    SetItemTextW(1037, chip);
    int show = 1;
    if (m_config)
        m_config->ShowChipVersion(show);
    if (!show)
        for (UINT id : {1038u, 1004u, 1037u})
            ::ShowWindow(GetDlgItem(id), SW_HIDE);
    return TRUE;
}
