#include "TestPanelDlg.h"

#include <commctrl.h>

#include <map>

#include "Gdi.h"
#include "NoticeDlg.h"
#include "Text.h"

using namespace testpanel;

namespace {

const char kLegend[] = "Error Descript.\r\n==============\r\nA: PC Open\r\nB: Mem Open\r\nC: PC Read\r\nD: Mem Write\r\nE: Mem Close";

// The runs' file calls on Win32 handles.
class CWin32TestFiles : public ITestFiles {
public:
    ~CWin32TestFiles() override
    {
        for (auto& f : m_files)
            ::CloseHandle(f.second);
    }
    int OpenRead(const std::string& path) override
    {
        return Add(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    }
    int Create(const std::string& path) override
    {
        return Add(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                 nullptr));
    }
    std::int64_t Length(int f) override
    {
        DWORD high = 0;
        const DWORD low = ::GetFileSize(Get(f), &high);
        if (low == INVALID_FILE_SIZE && ::GetLastError() != NO_ERROR)
            return 0;
        return (std::int64_t(high) << 32) | low;
    }
    int Read(int f, char* buffer, int size) override
    {
        DWORD got = 0;
        if (!::ReadFile(Get(f), buffer, DWORD(size), &got, nullptr))
            return -1;
        return int(got);
    }
    bool Write(int f, const char* buffer, int size) override
    {
        DWORD put = 0;
        return ::WriteFile(Get(f), buffer, DWORD(size), &put, nullptr) && put == DWORD(size);
    }
    void Flush(int f) override { ::FlushFileBuffers(Get(f)); }
    bool Rewind(int f) override { return ::SetFilePointer(Get(f), 0, nullptr, FILE_BEGIN) == 0; }
    void Close(int f) override
    {
        auto it = m_files.find(f);
        if (it == m_files.end())
            return;
        ::CloseHandle(it->second);
        m_files.erase(it);
    }
    bool Delete(const std::string& path) override { return ::DeleteFileA(path.c_str()) != 0; }

private:
    int Add(HANDLE h)
    {
        if (h == INVALID_HANDLE_VALUE)
            return 0;
        m_files[++m_next] = h;
        return m_next;
    }
    HANDLE Get(int f) const
    {
        auto it = m_files.find(f);
        return it == m_files.end() ? INVALID_HANDLE_VALUE : it->second;
    }
    std::map<int, HANDLE> m_files;
    int m_next = 0;
};

unsigned long long FreeBytes(const std::string& folder)
{
    ULARGE_INTEGER available{}, total{}, free{};
    if (!::GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free))
        return 0;
    return available.QuadPart;
}

// A folder's full form, without its trailing "\", for comparing two
// spellings of one folder ("c:\music\." is "C:\Music").
std::string FullFolder(const std::string& folder)
{
    char full[MAX_PATH * 2] = {};
    char* name = nullptr;
    const DWORD got = ::GetFullPathNameA(folder.c_str(), sizeof full, full, &name);
    std::string out = got && got < sizeof full ? std::string(full, got) : folder;
    while (out.size() > 3 && (out.back() == '\\' || out.back() == '/'))
        out.pop_back();
    return out;
}

bool SameFolder(const std::string& a, const std::string& b)
{
    return ::lstrcmpiA(FullFolder(a).c_str(), FullFolder(b).c_str()) == 0;
}

}  // namespace

MB_BEGIN_MESSAGE_MAP(CTestPanelDlg, CDialog)
    mb::OnNotify(NM_CLICK, IDC_TP_LIST, &CTestPanelDlg::OnListClick),
    mb::OnCommand(IDC_TP_CYCLE_START, &CTestPanelDlg::OnStartCycle),
    mb::OnCommand(IDC_TP_MAKE_START, &CTestPanelDlg::OnStartMakeFile),
    mb::OnCommand(IDC_TP_CYCLE_END, &CTestPanelDlg::OnStop),
    mb::OnCommand(IDC_TP_MAKE_END, &CTestPanelDlg::OnStop),
MB_END_MESSAGE_MAP()

void CTestPanelDlg::SetSelection(const std::string& source, const std::vector<std::string>* names,
                                 const std::vector<std::string>* sizes, int memory, const std::string& target)
{
    m_source = source;
    m_names = names;
    m_sizes = sizes;
    m_memory = memory;
    m_target = target;
}

void CTestPanelDlg::SetSelection2(const std::string& source, const std::vector<std::string>* names,
                                  const std::vector<std::string>* sizes)
{
    SetSelection(source, names, sizes, 2, std::string());
}

BOOL CTestPanelDlg::OnInitDialog()
{
    m_list.SubclassDlgItem(IDC_TP_LIST, m_hWnd);
    m_progress.SubclassDlgItem(IDC_TP_PROGRESS, m_hWnd);
    SetItemText(IDC_TP_LOG, "Error:");
    SetItemText(IDC_TP_TARGET_SIZE, "0");
    SetItemText(IDC_TP_SUMMARY, "0 Files : 0 kB");
    SetItemText(IDC_TP_COUNTER, "");
    SetItemText(IDC_TP_MAKE_STATUS, "");
    SetItemText(IDC_TP_LEGEND, kLegend);
    SetItemText(IDC_TP_MEMORY, m_memory == 0 ? "INT" : m_memory == 1 ? "EXT" : "NO MEM");
    m_list.SetExtendedStyle(LVS_EX_FULLROWSELECT);
    m_list.InsertColumn(0, "File", 190);
    m_list.InsertColumn(1, "Size", 65, LVCFMT_RIGHT);
    if (m_names) {
        for (std::size_t i = 0; i < m_names->size(); ++i) {
            const int row = m_list.InsertItem(int(i), (*m_names)[i]);
            if (m_sizes && i < m_sizes->size())
                m_list.SetItemText(row, 1, (*m_sizes)[i]);
        }
    }
    m_state = STATE_STOPPED;
    return TRUE;
}

std::vector<int> CTestPanelDlg::SelectedRows() const { return m_list.GetSelectedItems(); }

void CTestPanelDlg::UpdateSummary()
{
    std::vector<std::string> sizes;
    for (int row : SelectedRows())
        sizes.push_back(m_list.GetItemText(row, 1));
    SetItemText(IDC_TP_SUMMARY, SummaryText(sizes));
}

void CTestPanelDlg::OnListClick(NMHDR*, LRESULT* result)
{
    *result = 0;
    UpdateSummary();
}

BOOL CTestPanelDlg::PreTranslateMessage(MSG* msg)
{
    if (msg->message == WM_KEYDOWN && msg->wParam == VK_ESCAPE)
        return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

void CTestPanelDlg::OnCancel()
{
    if (m_state == STATE_STOPPED) {
        EndDialog(IDCANCEL);
        return;
    }
    // A run is active: this Close ends it; the next one closes the panel.
    m_state = STATE_STOPPED;
}

void CTestPanelDlg::OnStop() { m_state = STATE_STOPPED; }

bool CTestPanelDlg::PumpAndCheckStop()
{
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            ::PostQuitMessage(int(msg.wParam));
            m_state = STATE_STOPPED;
            break;
        }
        if (!PreTranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
    return m_state == STATE_STOPPED || !::IsWindow(m_hWnd);
}

void CTestPanelDlg::SetProgress(std::int64_t position, std::int64_t range)
{
    // The bar counts in KB, so files past 2 GB still fit its range.
    if (range != m_range) {
        m_range = range;
        m_progress.SetRange(0, int(range / 1024 + 1));
    }
    m_progress.SetPos(int(position / 1024));
}

void CTestPanelDlg::ShowCycle(const std::string& text) { SetItemText(IDC_TP_COUNTER, text); }
void CTestPanelDlg::ShowErrorLog(const std::string& log) { SetItemText(IDC_TP_LOG, log); }
void CTestPanelDlg::ShowMakeStatus(const std::string& text) { SetItemText(IDC_TP_MAKE_STATUS, text); }

void CTestPanelDlg::OnStartCycle()
{
    // Start again while a run pumps messages would nest a second loop.
    if (m_state != STATE_STOPPED)
        return;
    if (ShowMessage("Do you want to start download/delete test?\r\nCaution: All files which have the same names of "
                    "the selected files will be deleted.",
                    MB_YESNO) != IDYES)
        return;
    if (m_memory == 2) {
        ShowMessage("No memory!");
        return;
    }
    UpdateSummary();
    const std::int64_t kb = SummaryKilobytes(GetItemText(IDC_TP_SUMMARY));
    const unsigned long long freeBytes = m_freeSpace ? m_freeSpace(m_target) : FreeBytes(m_target);
    if (!FitsFreeSpace(freeBytes, kb)) {
        ShowMessage("The file size is bigger than the free space!");
        return;
    }
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        ShowMessage("Select file(s)!");
        return;
    }
    // The "same-named files" deleted below would be the selected files
    // themselves, and every copy would truncate its own source.
    if (SameFolder(m_source, m_target)) {
        ShowMessage("The PC folder is the target folder!");
        return;
    }
    std::vector<std::string> names;
    {
        CWaitCursor wait;
        EnableWindow(false);
        CNoticeDlg notice(m_hWnd);
        notice.SetText("Collecting information of files...", 0);
        notice.m_imagesFolder = m_imagesFolder;
        if (notice.Create(m_hWnd)) {
            notice.ShowWindow(SW_SHOW);
            notice.UpdateWindow();
        }
        for (int row : rows) {
            const std::string name = m_list.GetItemText(row, 0);
            ::DeleteFileA((m_target + name).c_str());
            names.push_back(name);
        }
        EnableWindow(true);
        if (notice.m_hWnd)
            notice.DestroyWindow();
    }
    m_flags |= FLAG_PLAYER;
    m_state = STATE_CYCLE;
    CWin32TestFiles files;
    m_lastCycle = RunCycle(files, *this, m_source, m_target, names);
    m_cycles = m_lastCycle.Cycles;
    m_state = STATE_STOPPED;
    m_progress.SetPos(0);
    if (m_lastCycle.StoppedOnWriteFailure && ::IsWindow(m_hWnd))
        ShowMessage(m_lastCycle.Log);
}

void CTestPanelDlg::OnStartMakeFile()
{
    if (m_state != STATE_STOPPED)
        return;
    const std::vector<int> rows = SelectedRows();
    if (rows.empty()) {
        ShowMessage("Select a file!");
        return;
    }
    const std::string name = m_list.GetItemText(rows.front(), 0);
    SetItemText(IDC_TP_MAKE_STATUS, "~" + name + ": 0KB / 0th cycle");
    m_flags |= FLAG_PC;
    m_state = STATE_MAKE_FILE;
    CWin32TestFiles files;
    m_lastMake = RunMakeFile(files, *this, m_source, name);
    m_state = STATE_STOPPED;
    if (!::IsWindow(m_hWnd))
        return;
    if (!m_lastMake.Failure.empty()) {
        ShowMessage(m_lastMake.Failure);
        return;
    }
    ShowMessage("Finished!");
    WIN32_FILE_ATTRIBUTE_DATA data{};
    const std::string made = m_source + "~" + name;
    if (::GetFileAttributesExA(made.c_str(), GetFileExInfoStandard, &data)) {
        const unsigned long long size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        SetItemText(IDC_TP_MAKE_STATUS, mb::Format("~%s: %lluKB / %d cycles", name.c_str(),
                                                   (size + 1023) / 1024, m_lastMake.Cycles));
    } else {
        SetItemText(IDC_TP_MAKE_STATUS, "Cannot find the new file!");
    }
}
