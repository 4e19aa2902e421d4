#include "E2eDriver.h"

#include <cstdio>
#include <cstdlib>

#include "CommandRules.h"
#include "GuiTest.h"

namespace e2e {

std::string Env(const char* name)
{
    char buffer[4096] = {};
    DWORD n = ::GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::wstring Wide(const std::string& utf8)
{
    int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), nullptr, 0);
    std::wstring out(size_t(n), L'\0');
    if (n)
        ::MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), int(utf8.size()), &out[0], n);
    return out;
}

std::string Utf8(const std::wstring& text)
{
    int n = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(size_t(n), '\0');
    if (n)
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

CRemoteBuffer::CRemoteBuffer(HANDLE process, size_t size)
    : m_process(process), m_base(::VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
{
}

CRemoteBuffer::~CRemoteBuffer()
{
    if (m_base)
        ::VirtualFreeEx(m_process, m_base, 0, MEM_RELEASE);
}

bool CRemoteBuffer::Write(size_t offset, const void* data, size_t size)
{
    SIZE_T done = 0;
    return ::WriteProcessMemory(m_process, At(offset), data, size, &done) && done == size;
}

bool CRemoteBuffer::Read(size_t offset, void* data, size_t size)
{
    SIZE_T done = 0;
    return ::ReadProcessMemory(m_process, At(offset), data, size, &done) && done == size;
}

CProgram::~CProgram()
{
    Kill();
    if (m_pi.hProcess) {
        ::CloseHandle(m_pi.hProcess);
        ::CloseHandle(m_pi.hThread);
    }
}

bool CProgram::Start(const std::string& exe, const std::string& folder)
{
    STARTUPINFOA si{};
    si.cb = sizeof si;
    std::string cmd = "\"" + exe + "\"";
    return ::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &m_pi) != 0;
}

bool CProgram::Running() const
{
    return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

long CProgram::Wait(DWORD ms)
{
    if (!m_pi.hProcess || ::WaitForSingleObject(m_pi.hProcess, ms) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(m_pi.hProcess, &code);
    return long(code);
}

void CProgram::Kill()
{
    if (Running()) {
        ::TerminateProcess(m_pi.hProcess, 99);
        ::WaitForSingleObject(m_pi.hProcess, 10000);
    }
}

namespace {
struct Search {
    DWORD pid;
    const std::wstring* cls;
    const std::wstring* title;
    std::vector<HWND> found;
};

BOOL CALLBACK Match(HWND w, LPARAM lp)
{
    auto* s = reinterpret_cast<Search*>(lp);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    if (pid != s->pid || !::IsWindowVisible(w))
        return TRUE;
    wchar_t cls[128] = {};
    ::GetClassNameW(w, cls, 128);
    if (!s->cls->empty() && *s->cls != cls)
        return TRUE;
    if (!s->title->empty() && WindowText(w) != *s->title)
        return TRUE;
    s->found.push_back(w);
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND w, LPARAM lp)
{
    wchar_t cls[64] = {};
    ::GetClassNameW(w, cls, 64);
    if (lstrcmpiW(cls, L"Static") == 0) {
        std::wstring text = WindowText(w);
        if (!text.empty()) {
            auto* out = reinterpret_cast<std::wstring*>(lp);
            if (!out->empty())
                *out += L"\n";
            *out += text;
        }
    }
    return TRUE;
}
}  // namespace

std::vector<HWND> ProcessWindows(DWORD pid, const std::wstring& cls, const std::wstring& title)
{
    Search s{pid, &cls, &title, {}};
    ::EnumWindows(&Match, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

std::wstring WindowText(HWND window)
{
    wchar_t text[1024] = {};
    DWORD_PTR n = 0;
    // WM_GETTEXT crosses processes; a hung window must not hang the test.
    ::SendMessageTimeoutW(window, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &n);
    return text;
}

std::wstring DialogTexts(HWND dialog)
{
    std::wstring out;
    ::EnumChildWindows(dialog, &CollectStatic, reinterpret_cast<LPARAM>(&out));
    return out;
}

namespace {
LRESULT Send(HWND w, UINT msg, WPARAM wp, LPARAM lp)
{
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(w, msg, wp, lp, SMTO_NORMAL, 30000, &result))
        return -1;
    return LRESULT(result);
}

const size_t kTextAt = 1024;
const int kTextChars = 1024;
}  // namespace

int CRemoteControls::ItemCount(HWND list) { return int(Send(list, LVM_GETITEMCOUNT, 0, 0)); }

std::wstring CRemoteControls::ItemText(HWND list, int row, int column)
{
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = reinterpret_cast<LPWSTR>(m_buffer.At(kTextAt));
    item.cchTextMax = kTextChars;
    wchar_t empty = 0;
    if (!m_buffer.Write(0, &item, sizeof item) || !m_buffer.Write(kTextAt, &empty, sizeof empty))
        return L"";
    LRESULT n = Send(list, LVM_GETITEMTEXTW, WPARAM(row), reinterpret_cast<LPARAM>(m_buffer.At(0)));
    if (n <= 0)
        return L"";
    std::wstring text(size_t(n), L'\0');
    m_buffer.Read(kTextAt, &text[0], size_t(n) * sizeof(wchar_t));
    return text;
}

std::vector<std::wstring> CRemoteControls::Column(HWND list, int column)
{
    std::vector<std::wstring> out;
    int n = ItemCount(list);
    for (int i = 0; i < n; ++i)
        out.push_back(ItemText(list, i, column));
    return out;
}

bool CRemoteControls::SelectRows(HWND list, const std::vector<int>& rows)
{
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    if (!m_buffer.Write(0, &item, sizeof item) || !Send(list, LVM_SETITEMSTATE, WPARAM(-1), reinterpret_cast<LPARAM>(m_buffer.At(0))))
        return false;
    bool first = true;
    for (int row : rows) {
        item.state = LVIS_SELECTED | (first ? LVIS_FOCUSED : 0);
        item.stateMask = LVIS_SELECTED | (first ? LVIS_FOCUSED : 0);
        first = false;
        if (!m_buffer.Write(0, &item, sizeof item) ||
            !Send(list, LVM_SETITEMSTATE, WPARAM(row), reinterpret_cast<LPARAM>(m_buffer.At(0))))
            return false;
    }
    return SelectedRows(list) == rows;
}

std::vector<int> CRemoteControls::SelectedRows(HWND list)
{
    std::vector<int> out;
    int row = -1;
    while ((row = int(Send(list, LVM_GETNEXTITEM, WPARAM(row), LVNI_SELECTED))) >= 0)
        out.push_back(row);
    return out;
}

std::vector<std::wstring> CRemoteControls::ComboExTexts(HWND box)
{
    std::vector<std::wstring> out;
    int n = int(Send(box, CB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        COMBOBOXEXITEMW item{};
        item.mask = CBEIF_TEXT;
        item.iItem = i;
        item.pszText = reinterpret_cast<LPWSTR>(m_buffer.At(kTextAt));
        item.cchTextMax = kTextChars;
        std::vector<wchar_t> text(kTextChars, L'\0');
        if (!m_buffer.Write(0, &item, sizeof item) || !m_buffer.Write(kTextAt, text.data(), text.size() * sizeof(wchar_t)) ||
            !Send(box, CBEM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_buffer.At(0))))
            out.push_back(L"");
        else {
            m_buffer.Read(kTextAt, text.data(), text.size() * sizeof(wchar_t));
            text.back() = 0;
            out.push_back(text.data());
        }
    }
    return out;
}

std::wstring CRemoteControls::TreeText(HWND tree, HTREEITEM handle)
{
    TVITEMW item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = handle;
    item.pszText = reinterpret_cast<LPWSTR>(m_buffer.At(kTextAt));
    item.cchTextMax = kTextChars;
    std::vector<wchar_t> text(kTextChars, L'\0');
    if (!m_buffer.Write(0, &item, sizeof item) || !m_buffer.Write(kTextAt, text.data(), text.size() * sizeof(wchar_t)))
        return L"";
    if (!Send(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(m_buffer.At(0))))
        return L"";
    m_buffer.Read(kTextAt, text.data(), text.size() * sizeof(wchar_t));
    text.back() = 0;
    return text.data();
}

HTREEITEM CRemoteControls::TreeRoot(HWND tree)
{
    return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

HTREEITEM CRemoteControls::TreeSelection(HWND tree)
{
    return reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

std::vector<HTREEITEM> CRemoteControls::TreeChildren(HWND tree, HTREEITEM item)
{
    std::vector<HTREEITEM> out;
    auto child = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
    while (child) {
        out.push_back(child);
        child = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(child)));
    }
    return out;
}

bool CRemoteControls::TreeSelect(HWND tree, HTREEITEM item)
{
    return Send(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) != 0;
}

void Command(HWND window, UINT id) { ::PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

void ClickControl(HWND control)
{
    RECT r{};
    ::GetClientRect(control, &r);
    LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    ::PostMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(control, WM_LBUTTONUP, 0, at);
}

int RowOf(const std::vector<std::wstring>& names, const std::wstring& name)
{
    for (size_t i = 0; i < names.size(); ++i)
        if (lstrcmpiW(names[i].c_str(), name.c_str()) == 0)
            return int(i);
    return -1;
}

std::string Joined(const std::vector<std::wstring>& names)
{
    std::string out;
    for (const std::wstring& n : names)
        out += (out.empty() ? "" : "|") + Utf8(n);
    return out;
}

void SetText(HWND window, const std::wstring& text)
{
    DWORD_PTR r = 0;
    ::SendMessageTimeoutW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_NORMAL, 10000, &r);
}

void WriteOut(const std::string& file, const std::vector<std::wstring>& lines)
{
    std::string path = Env("MB_E2E_OUT") + "\\" + file;
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_NE(nullptr, f) << path;
    for (const std::wstring& line : lines)
        fprintf(f, "%s\n", Utf8(line).c_str());
    fclose(f);
}

namespace {
const wchar_t kTitle[] = L"Vilo Music Bridge";
const char kFolder[] = "C:\\Program Files\\MusicBridge";
}  // namespace

void CManagerScenario::SetUp()
{
    ASSERT_FALSE(Env("MB_E2E_OUT").empty()) << "run the scenarios through tests/e2e/run-scenario.sh";
}

void CManagerScenario::TearDown()
{
    if (m_program.Running()) {
        Shot("zz-at-the-end");
        if (m_main)
            ::PostMessageW(m_main, WM_CLOSE, 0, 0);
        if (m_program.Wait(20000) < 0)
            m_program.Kill();
    }
}

void CManagerScenario::StartWithPlayer()
{
    const std::string folder = kFolder;
    ASSERT_TRUE(m_program.Start(folder + "\\MusicBridge.exe", folder));
    ASSERT_TRUE(WaitFor([&] {
        auto w = ProcessWindows(m_program.Pid(), L"", kTitle);
        m_main = w.empty() ? nullptr : w.front();
        return m_main && ::IsWindowEnabled(m_main);
    }, kLong)) << "MusicBridge.exe showed no window";
    m_controls.reset(new CRemoteControls(m_program.Process()));
    ASSERT_TRUE(m_controls->Ok());
    m_playerList = ::GetDlgItem(m_main, commands::CTL_PLAYER_LIST);
    m_playerTree = ::GetDlgItem(m_main, commands::CTL_PLAYER_TREE);
    ASSERT_TRUE(m_playerList && m_playerTree);
    ASSERT_TRUE(PlayerShown()) << "the player was not detected";
    OnPlayerShown();
    if (HasFatalFailure())
        return;
    NoMessageBox();
}

bool CManagerScenario::PlayerShown()
{
    return WaitFor([&] {
        HTREEITEM root = m_controls->TreeRoot(m_playerTree);
        return root && m_controls->TreeText(m_playerTree, root).find(L"VILO LARK") != std::wstring::npos &&
               m_controls->ItemCount(m_playerList) > 0;
    }, kLong);
}

void CManagerScenario::Shot(HWND window, const std::string& name)
{
    if (!window || !::IsWindow(window))
        return;
    std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // The picture is an artefact, not an outcome: on a loaded display a
    // second try is given, then the miss is only reported.
    if (mbtest::SaveScreenshot(window, test + "-" + name).empty() &&
        mbtest::SaveScreenshot(window, test + "-" + name).empty())
        std::printf("no screenshot %s could be taken\n", name.c_str());
}

std::vector<HWND> CManagerScenario::Boxes()
{
    std::vector<HWND> out;
    for (HWND w : ProcessWindows(m_program.Pid(), L"#32770", L""))
        // A box the program closes while it is read (the settle step closes
        // the do-not-unplug box) is hidden before its controls go: only a
        // box still visible after its texts were read counts.
        if (w != m_main && !IsExpectedBox(w) && ::IsWindowVisible(w))
            out.push_back(w);
    return out;
}

void CManagerScenario::NoMessageBox()
{
    for (HWND w : Boxes())
        ADD_FAILURE() << "unexpected box \"" << Utf8(WindowText(w)) << "\": " << Utf8(DialogTexts(w));
}

void CManagerScenario::ChooseFile(const std::function<HWND()>& dialog, const std::wstring& path)
{
    HWND box = nullptr;
    ASSERT_TRUE(WaitFor([&] {
        box = dialog();
        return box && (::GetDlgItem(box, 0x47c) || ::GetDlgItem(box, 0x480));
    }, kLong)) << "no file dialog";
    HWND name = ::GetDlgItem(box, 0x47c);  // the name box of the explorer-style dialog
    if (!name)
        name = ::GetDlgItem(box, 0x480);
    SetText(name, path);
    Shot(box, "file-dialog-" + std::to_string(++m_fileDialogs));
    ::PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !::IsWindow(box); }, kLong)) << "the file dialog stayed open";
}

void CManagerScenario::ChooseFile(const std::wstring& path)
{
    ChooseFile([&] {
        auto b = Boxes();
        return b.empty() ? nullptr : b.front();
    }, path);
}

}  // namespace e2e
