#include "FmPresetDlg.h"

#include <commctrl.h>

#include <cstdio>

#include "FileReplace.h"
#include "Gdi.h"
#include "QvMp3.h"
#include "Shell.h"
#include "StringIds.h"
#include "Text.h"
#include "fileutil/FileText.h"

using namespace fmpreset;

namespace {

const char kDeviceItem[] = "Channel in Device";
const wchar_t kDeviceItemKorean[] = L"장치의 채널 보기";
const char kRangeMessage[] = "Please enter a frequency between 87.5MHz and 108.0MHz.";
const COLORREF kListColour = 0xDFFFFF;

enum : UINT_PTR { TIMER_NOTEPAD = 1, TIMER_BROWSER = 2, TIMER_SAVE = 3 };

HANDLE ShellLaunch(HWND owner, const std::string& file, const std::string& params, const std::string& dir)
{
    return mb::ShellStart(owner, "open", file, params, dir, SW_SHOW);
}

// The whole file, or false when it could not be read to its end.
bool ReadWhole(HANDLE file, std::vector<std::uint8_t>* bytes)
{
    const DWORD size = ::GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE)
        return false;
    bytes->assign(size, 0);
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!::ReadFile(file, bytes->data() + done, size - done, &got, nullptr) || got == 0)
            return false;
        done += got;
    }
    return true;
}

bool WriteAll(HANDLE file, const void* data, DWORD size)
{
    const auto* p = static_cast<const std::uint8_t*>(data);
    DWORD done = 0;
    while (done < size) {
        DWORD put = 0;
        if (!::WriteFile(file, p + done, size - done, &put, nullptr) || put == 0)
            return false;
        done += put;
    }
    return true;
}

HFONT MakeFont(const wchar_t* face, int points)
{
    HDC dc = ::GetDC(nullptr);
    const int height = -MulDiv(points, ::GetDeviceCaps(dc, LOGPIXELSY), 72);
    ::ReleaseDC(nullptr, dc);
    return ::CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

void InsertColumnW(HWND list, int index, const wchar_t* title, int width, int format)
{
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = format;
    col.cx = width;
    col.pszText = const_cast<wchar_t*>(title);
    col.iSubItem = index;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, WPARAM(index), reinterpret_cast<LPARAM>(&col));
}

}  // namespace

MB_BEGIN_MESSAGE_MAP(CFmPresetDlg, CDialog)
    mb::OnControl(CBN_SELCHANGE, IDC_FM_PRESETS, &CFmPresetDlg::OnPresetSelChange),
    mb::OnNotify(NM_CLICK, IDC_FM_LIST, &CFmPresetDlg::OnListClick),
    mb::OnCommand(IDC_FM_MODIFY, &CFmPresetDlg::OnModify),
    mb::OnCommand(IDC_FM_EDIT_LIST, &CFmPresetDlg::OnEditList),
    mb::OnCommand(IDC_FM_HELP, &CFmPresetDlg::OnHelpButton),
    mb::OnTimer(&CFmPresetDlg::OnTimer),
    mb::OnMessage(WM_DESTROY, &CFmPresetDlg::OnDestroyMessage),
MB_END_MESSAGE_MAP()

CFmPresetDlg::CFmPresetDlg(HWND parent, const std::string& rootPath)
    : CDialog(IDD_FM_PRESET, parent), m_launch(&ShellLaunch), m_rootPath(rootPath)
{
}

CFmPresetDlg::~CFmPresetDlg()
{
    StopSave();
    if (m_font)
        ::DeleteObject(m_font);
}

std::string CFmPresetDlg::ListFilePath() const
{
    return m_programFolder + (m_koreanFlag ? "FMInfo_K.ini" : "FMInfo.ini");
}

std::string CFmPresetDlg::SettingsPath() const { return m_rootPath.substr(0, 2) + "\\SETTINGS.DAT"; }

std::string CFmPresetDlg::DeviceItemText() const
{
    return m_koreanFlag ? mb::Narrow(kDeviceItemKorean) : std::string(kDeviceItem);
}

bool CFmPresetDlg::DeviceItemChosen() const
{
    if (m_presets.GetCurSel() <= 0)
        return true;
    const std::string chosen = m_presets.GetItemText(m_presets.GetCurSel());
    return chosen == kDeviceItem || chosen == mb::Narrow(kDeviceItemKorean);
}

BOOL CFmPresetDlg::OnInitDialog()
{
    m_list.SubclassDlgItem(IDC_FM_LIST, m_hWnd);
    m_presets.SubclassDlgItem(IDC_FM_PRESETS, m_hWnd);
    m_editor.SubclassDlgItem(IDC_FM_EDITOR, m_hWnd);

    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    ListView_SetBkColor(m_list.m_hWnd, kListColour);
    ListView_SetTextBkColor(m_list.m_hWnd, kListColour);

    if (m_koreanFlag)
        m_font = MakeFont(L"굴림체", m_osLevel ? 12 : 11);
    else
        m_font = MakeFont(L"MS Sans Serif", 9);
    if (m_koreanFlag)
        ::SetDlgItemTextW(m_hWnd, IDOK, L"장치에 저장");
    else
        SetItemText(IDOK, "Save to Player");

    // Size and place: 150 right and 120 down from where the template put it.
    RECT r = GetWindowRect();
    SetWindowPos(nullptr, r.left + 150, r.top + 120, 435, 329, SWP_NOZORDER | SWP_NOACTIVATE);
    ::MoveWindow(m_list.m_hWnd, 10, 68, 300, 226, TRUE);
    // The drop-down part needs room below the 20-pixel field to list groups.
    ::MoveWindow(m_presets.m_hWnd, 105, 11, 205, 200, TRUE);
    const UINT buttons[] = {IDOK, IDCANCEL, IDC_FM_HELP, IDC_FM_MODIFY, IDC_FM_EDIT_LIST};
    const int tops[] = {11, 36, 223, 248, 273};
    for (int i = 0; i < 5; ++i)
        ::MoveWindow(GetDlgItem(buttons[i]), 320, tops[i], 100, 20, TRUE);
    if (m_font)
        ::SendMessageW(GetDlgItem(IDOK), WM_SETFONT, reinterpret_cast<WPARAM>(m_font), TRUE);

    InitList();
    m_editor.ShowWindow(SW_HIDE);
    m_presets.ResetContent();
    if (m_koreanFlag) {
        COMBOBOXEXITEMW it{};
        it.mask = CBEIF_TEXT;
        it.iItem = 0;
        it.pszText = const_cast<wchar_t*>(kDeviceItemKorean);
        ::SendMessageW(m_presets.m_hWnd, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
    } else {
        m_presets.InsertItem(0, kDeviceItem);
    }
    m_presets.SetCurSel(0);

    bool opened = false;
    const std::string text = ReadListFile(&opened);
    std::vector<std::string> names;
    // Without a list file, or one without groups, the player's table is not
    // read at start.
    if (!opened || !ReadGroupNames(text, &names))
        return TRUE;
    LoadGroupNames();
    m_presets.SetCurSel(0);
    ReadPlayerTable();
    return TRUE;
}

void CFmPresetDlg::InitList()
{
    if (m_koreanFlag) {
        InsertColumnW(m_list.m_hWnd, 0, L"번호", 40, LVCFMT_CENTER);
        InsertColumnW(m_list.m_hWnd, 1, L"채 널", 70, LVCFMT_CENTER);
        InsertColumnW(m_list.m_hWnd, 2, L"설 명", 140, LVCFMT_CENTER);
    } else {
        m_list.InsertColumn(0, "#", 25, LVCFMT_CENTER);
        m_list.InsertColumn(1, "Channel", 60, LVCFMT_LEFT);
        m_list.InsertColumn(2, "Comments", 180, LVCFMT_LEFT);
    }
    for (int n = 0; n < ENTRY_COUNT; ++n)
        m_list.InsertItem(n, std::to_string(n + 1));
}

std::string CFmPresetDlg::ReadListFile(bool* opened) const
{
    *opened = false;
    HANDLE file = ::CreateFileA(ListFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::string();
    std::vector<std::uint8_t> bytes;
    *opened = ReadWhole(file, &bytes);
    ::CloseHandle(file);
    return std::string(bytes.begin(), bytes.end());
}

void CFmPresetDlg::LoadGroupNames()
{
    bool opened = false;
    const std::string text = ReadListFile(&opened);
    std::vector<std::string> names;
    if (!opened || !ReadGroupNames(text, &names))
        return;
    for (const std::string& name : names)
        m_presets.InsertItem(m_presets.GetCount(), name);
}

void CFmPresetDlg::ClearRows()
{
    for (int n = 0; n < ENTRY_COUNT; ++n) {
        m_placeholder[n] = false;
        m_list.SetItemText(n, 1, "");
        m_list.SetItemText(n, 2, "");
    }
}

bool CFmPresetDlg::ReadPlayerTable()
{
    HANDLE file = ::CreateFileA(SettingsPath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<std::uint8_t> bytes;
    const bool whole = ReadWhole(file, &bytes);
    ::CloseHandle(file);
    std::size_t offset = 0;
    m_tableFound = whole && FindTable(bytes, &offset);
    m_tableOffset = m_tableFound ? offset : 0;
    // A file without a whole table shows nothing rather than bytes that are
    // not presets.
    ClearRows();
    if (!m_tableFound)
        return false;
    for (int n = 0; n < ENTRY_COUNT; ++n) {
        const std::uint32_t khz = ReadEntry(bytes.data() + offset, n);
        m_list.SetItemText(n, 1, EntryText(khz));
        m_placeholder[n] = !IsValidKhz(khz);
    }
    return true;
}

bool CFmPresetDlg::LoadPresetGroup(const std::string& name)
{
    bool opened = false;
    const std::string text = ReadListFile(&opened);
    std::vector<PresetRow> rows;
    if (!opened || !ReadGroup(text, name, &rows))
        return false;
    for (int n = 0; n < ENTRY_COUNT; ++n) {
        m_placeholder[n] = false;
        m_list.SetItemText(n, 1, rows[n].Frequency);
        m_list.SetItemText(n, 2, rows[n].Frequency.empty() ? std::string() : rows[n].Comment);
    }
    return true;
}

void CFmPresetDlg::OnPresetSelChange()
{
    if (m_editing)
        EndEdit(false);
    m_editor.ShowWindow(SW_HIDE);
    const int chosen = m_presets.GetCurSel();
    if (chosen <= 0)
        ReadPlayerTable();
    else
        LoadPresetGroup(m_presets.GetItemText(chosen));
}

void CFmPresetDlg::OnListClick(NMHDR* nm, LRESULT* result)
{
    *result = 0;
    if (m_editing)
        EndEdit(false);
    m_editor.ShowWindow(SW_HIDE);
    const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(nm);
    LVHITTESTINFO hit{};
    hit.pt = click->ptAction;
    ::SendMessageW(m_list.m_hWnd, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit));
    const int row = hit.iItem;
    const int column = hit.iSubItem;
    if (row < 0 || row >= ENTRY_COUNT || column <= 0 || column > 2)
        return;
    // On the player's own table only the frequency is editable.
    if (column == 2 && DeviceItemChosen())
        return;
    BeginEdit(row, column);
}

void CFmPresetDlg::BeginEdit(int row, int column)
{
    RECT cell{};
    cell.top = column;
    cell.left = LVIR_BOUNDS;
    ::SendMessageW(m_list.m_hWnd, LVM_GETSUBITEMRECT, WPARAM(row), reinterpret_cast<LPARAM>(&cell));
    const RECT inside = m_list.GetClientRect();
    if (cell.right > inside.right - 16)
        cell.right = inside.right - 16;
    ::MapWindowPoints(m_list.m_hWnd, m_hWnd, reinterpret_cast<POINT*>(&cell), 2);
    ::MoveWindow(m_editor.m_hWnd, cell.left, cell.top, cell.right - cell.left, cell.bottom - cell.top, TRUE);
    ::SetWindowPos(m_editor.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_editor.SetText(m_list.GetItemText(row, column));
    m_editor.ShowWindow(SW_SHOW);
    m_editor.SetFocus();
    m_editor.SetSel(0, -1);
    m_editRow = row;
    m_editColumn = column;
    m_editing = true;
}

void CFmPresetDlg::EndEdit(bool accept)
{
    if (!m_editing)
        return;
    m_editing = false;
    m_editor.ShowWindow(SW_HIDE);
    if (!accept)
        return;
    const std::string text = m_editor.GetText();
    if (m_editColumn == 1) {
        double mhz = 0;
        if (text.empty() || !CFileText::ParseDecimal(text, mhz) || mhz > 108.0 || mhz < 87.5) {
            ShowMessage(kRangeMessage);
            return;
        }
        char shown[32];
        std::snprintf(shown, sizeof shown, "%3.1f0", mhz);
        m_list.SetItemText(m_editRow, 1, shown);
        m_placeholder[m_editRow] = false;
    } else if (m_editColumn == 2) {
        m_list.SetItemText(m_editRow, 2, text);
    }
}

BOOL CFmPresetDlg::PreTranslateMessage(MSG* msg)
{
    if (m_editing && msg->message == WM_KEYDOWN && (msg->wParam == VK_RETURN || msg->wParam == VK_ESCAPE)) {
        EndEdit(msg->wParam == VK_RETURN);
        return TRUE;
    }
    return CDialog::PreTranslateMessage(msg);
}

void CFmPresetDlg::OnModify()
{
    if (DeviceItemChosen())
        return;
    const std::string name = m_presets.GetItemText(m_presets.GetCurSel());
    HANDLE file = ::CreateFileA(ListFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::uint8_t> bytes;
    const bool read = ReadWhole(file, &bytes);
    ::CloseHandle(file);
    bool done = false;
    if (read) {
        std::string text(bytes.begin(), bytes.end());
        std::vector<PresetRow> rows(ENTRY_COUNT);
        for (int n = 0; n < ENTRY_COUNT; ++n)
            rows[n] = PresetRow{m_list.GetItemText(n, 1), m_list.GetItemText(n, 2)};
        // The list is replaced whole or not at all: a write that fails half
        // way (a full disk) leaves the list as it was.
        done = WriteGroup(text, name, rows) && mb::ReplaceFileWithText(ListFilePath(), text);
    }
    if (done)
        ShowMessage(mb::Format(mb::LoadText(IDS_FM_MODIFIED).c_str(), name.c_str()));
}

void CFmPresetDlg::OnEditList()
{
    if (m_notepadRunning) {
        ShowMessage(mb::LoadText(IDS_FM_RUNNING));
        return;
    }
    const std::string name = m_koreanFlag ? "FMInfo_K.ini" : "FMInfo.ini";
    m_notepad = m_launch(m_hWnd, "Notepad.exe", name, m_programFolder);
    if (!m_notepad)
        return;
    m_notepadRunning = true;
    SetTimer(TIMER_NOTEPAD, 1000);
}

void CFmPresetDlg::OnHelpButton()
{
    if (m_browserRunning) {
        ShowMessage(mb::LoadText(IDS_FM_RUNNING));
        return;
    }
    const std::string page = m_programFolder + (m_koreanFlag ? "FMHelp_K.htm" : "FMHelp.htm");
    m_browser = m_launch(m_hWnd, "IEXPLORE.EXE", page, m_programFolder);
    if (!m_browser)
        return;
    m_browserRunning = true;
    SetTimer(TIMER_BROWSER, 1000);
}

namespace {

// True when the watched process has ended (or there is none to watch).
bool Ended(HANDLE process)
{
    DWORD code = 0;
    return !process || !::GetExitCodeProcess(process, &code) || code != STILL_ACTIVE;
}

}  // namespace

void CFmPresetDlg::OnTimer(UINT_PTR id)
{
    switch (id) {
    case TIMER_NOTEPAD:
        if (!Ended(m_notepad))
            return;
        KillTimer(TIMER_NOTEPAD);
        if (m_notepad)
            ::CloseHandle(m_notepad);
        m_notepad = nullptr;
        m_notepadRunning = false;
        // The list may have changed: its groups and the player's table again.
        m_presets.ResetContent();
        if (m_koreanFlag) {
            COMBOBOXEXITEMW it{};
            it.mask = CBEIF_TEXT;
            it.pszText = const_cast<wchar_t*>(kDeviceItemKorean);
            ::SendMessageW(m_presets.m_hWnd, CBEM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&it));
        } else {
            m_presets.InsertItem(0, kDeviceItem);
        }
        LoadGroupNames();
        m_presets.SetCurSel(0);
        ReadPlayerTable();
        break;
    case TIMER_BROWSER:
        if (!Ended(m_browser))
            return;
        KillTimer(TIMER_BROWSER);
        if (m_browser)
            ::CloseHandle(m_browser);
        m_browser = nullptr;
        m_browserRunning = false;
        break;
    case TIMER_SAVE: {
        if (::InterlockedCompareExchange(&m_saveFinished, 0, 1) != 1)
            return;
        KillTimer(TIMER_SAVE);
        // Our own message box of the program's caption, if one is up.
        HWND box = nullptr;
        while ((box = ::FindWindowExA(nullptr, box, "#32770", "MusicBridge")) != nullptr) {
            DWORD pid = 0;
            ::GetWindowThreadProcessId(box, &pid);
            if (pid == ::GetCurrentProcessId()) {
                ::SendMessageW(box, WM_CLOSE, 0, 0);
                break;
            }
        }
        if (m_saveThread) {
            ::WaitForSingleObject(m_saveThread, INFINITE);
            ::CloseHandle(m_saveThread);
            m_saveThread = nullptr;
        }
        m_saving = false;
        EnableWindow(true);
        ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
        if (m_waitDlg) {
            m_waitDlg->DestroyWindow();
            delete m_waitDlg;
            m_waitDlg = nullptr;
        }
        if (m_waitIcon) {
            ::DestroyIcon(m_waitIcon);
            m_waitIcon = nullptr;
        }
        break;
    }
    default:
        break;
    }
}

void CFmPresetDlg::OnOK()
{
    if (m_saving)
        return;
    if (m_editing)
        EndEdit(false);
    // The rows are read here, on the window's thread; the worker never
    // touches the list.
    for (int n = 0; n < ENTRY_COUNT; ++n)
        m_saveRows[n] = m_placeholder[n] ? 0 : TextToKhz(m_list.GetItemText(n, 1));
    ::InterlockedExchange(&m_saveFinished, 0);
    m_saveThread = mb::BeginThread(&CFmPresetDlg::SaveToPlayerThread, this);
    if (!m_saveThread)
        return;
    m_saving = true;
    SetTimer(TIMER_SAVE, 500);
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    EnableWindow(false);

    m_waitDlg = new CDialog(IDD_FM_WAIT, m_hWnd);
    if (m_waitDlg->Create(m_hWnd)) {
        m_waitIcon = mb::LoadIconFile(m_programFolder + "Images\\ICO_MAIN.ICO", 32, 32);
        if (m_waitIcon)
            ::SendDlgItemMessageW(m_waitDlg->m_hWnd, IDC_FM_WAIT_ICON, STM_SETICON,
                                  reinterpret_cast<WPARAM>(m_waitIcon), 0);
        m_waitDlg->SetItemText(IDC_FM_WAIT_TEXT, mb::LoadText(IDS_FM_SAVING));
        m_waitDlg->ShowWindow(SW_SHOW);
    }
}

void CFmPresetDlg::OnCancel()
{
    // The dialog is disabled while saving; a close that still arrives waits
    // for the timer that ends the save.
    if (m_saving)
        return;
    if (m_font) {
        ::SendMessageW(GetDlgItem(IDOK), WM_SETFONT, 0, FALSE);
        ::DeleteObject(m_font);
        m_font = nullptr;
    }
    EndDialog(IDCANCEL);
}

LRESULT CFmPresetDlg::OnDestroyMessage(WPARAM, LPARAM)
{
    KillTimer(TIMER_NOTEPAD);
    KillTimer(TIMER_BROWSER);
    KillTimer(TIMER_SAVE);
    StopSave();
    // Notepad and the browser go on running; only our handles go.
    if (m_notepad)
        ::CloseHandle(m_notepad);
    if (m_browser)
        ::CloseHandle(m_browser);
    m_notepad = m_browser = nullptr;
    m_notepadRunning = m_browserRunning = false;
    return 0;
}

void CFmPresetDlg::StopSave()
{
    if (m_saveThread) {
        ::WaitForSingleObject(m_saveThread, INFINITE);
        ::CloseHandle(m_saveThread);
        m_saveThread = nullptr;
    }
    if (m_waitDlg) {
        m_waitDlg->DestroyWindow();
        delete m_waitDlg;
        m_waitDlg = nullptr;
    }
    if (m_waitIcon) {
        ::DestroyIcon(m_waitIcon);
        m_waitIcon = nullptr;
    }
    m_saving = false;
}

bool CFmPresetDlg::WriteTable(const std::string& path, const std::uint32_t khz[ENTRY_COUNT])
{
    HANDLE file = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool wrote = false;
    std::vector<std::uint8_t> bytes;
    // The table is found again in this very read: the rows go where the
    // file holds its table now, and a file without one gets no write.
    if (ReadWhole(file, &bytes)) {
        for (const TableWrite& w : PlanTableWrites(bytes, khz)) {
            if (::SetFilePointer(file, static_cast<LONG>(w.Offset), nullptr, FILE_BEGIN) != w.Offset)
                break;
            if (!WriteAll(file, w.Bytes, ENTRY_BYTES))
                break;
            wrote = true;
        }
    }
    ::CloseHandle(file);
    return wrote;
}

DWORD WINAPI CFmPresetDlg::SaveToPlayerThread(void* dialog)
{
    auto* self = static_cast<CFmPresetDlg*>(dialog);
    DWORD result = 1;
    if (self->m_rootPath.empty()) {
        result = 0;
    } else {
        const std::string path = self->SettingsPath();
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
        const bool wrote = WriteTable(path, self->m_saveRows);
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);
        ::InterlockedExchange(&self->m_lastSaveWrote, wrote ? 1 : 0);

        // The player settles after the write: wait until it reports ready.
        if (QvMp3OpenDriverNoBlock(0, DEVICE_STATUS_NORMAL)) {
            ::InterlockedExchange(&self->m_lastSavePolled, 1);
            _USER_DATA record{};
            QvMp3GetStatus(&record);
            for (int retry = 0; record.Ready == 0 && retry < 30; ++retry) {
                ::Sleep(500);
                QvMp3GetStatus(&record);
            }
            QvMp3CloseDriver();
        } else {
            ::InterlockedExchange(&self->m_lastSavePolled, 0);
            QvMp3CloseDriver();
            ::Sleep(self->m_osLevel > 1 ? 1500 : 500);
        }
    }
    // Also without a root path: the window waits for this flag to come back.
    ::InterlockedExchange(&self->m_saveFinished, 1);
    return result;
}
