// Drives MusicBridge.exe, started as a user starts it, from another process:
// its windows are found by process, commands and keys are posted, and the
// list and tree controls are read and set through a buffer in the program's
// own memory (a pointer of this process means nothing to its controls).
// CManagerScenario is the fixture every scenario starts from.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

// Waits are generous: the machine running CI is loaded.
const DWORD kLong = 120000;

// The value of an environment variable the stage script sets, or empty.
std::string Env(const char* name);
std::wstring Wide(const std::string& utf8);
std::string Utf8(const std::wstring& text);

// A block of memory inside another process.
class CRemoteBuffer {
public:
    CRemoteBuffer(HANDLE process, size_t size);
    ~CRemoteBuffer();
    CRemoteBuffer(const CRemoteBuffer&) = delete;
    CRemoteBuffer& operator=(const CRemoteBuffer&) = delete;
    bool Ok() const { return m_base != nullptr; }
    char* At(size_t offset) const { return static_cast<char*>(m_base) + offset; }
    bool Write(size_t offset, const void* data, size_t size);
    bool Read(size_t offset, void* data, size_t size);

private:
    HANDLE m_process;
    void* m_base;
};

// The started program.
class CProgram {
public:
    ~CProgram();
    bool Start(const std::string& exe, const std::string& folder);
    DWORD Pid() const { return m_pi.dwProcessId; }
    HANDLE Process() const { return m_pi.hProcess; }
    bool Running() const;
    // Waits for its end; the exit code, or -1 while it still runs.
    long Wait(DWORD ms);
    void Kill();

private:
    PROCESS_INFORMATION m_pi{};
};

// Top-level windows of a process: visible ones of a class (empty: any),
// with a title (empty: any).
std::vector<HWND> ProcessWindows(DWORD pid, const std::wstring& cls, const std::wstring& title);
std::wstring WindowText(HWND window);
// Every static text of a dialog, joined by newlines.
std::wstring DialogTexts(HWND dialog);

// Waits, sleeping, until the condition holds or the time runs out.
template <class F>
bool WaitFor(F done, DWORD ms)
{
    DWORD start = ::GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (::GetTickCount() - start >= ms)
            return done();
        ::Sleep(100);
    }
}

// Controls of another process.
class CRemoteControls {
public:
    explicit CRemoteControls(HANDLE process) : m_buffer(process, 8192) {}
    bool Ok() const { return m_buffer.Ok(); }
    int ItemCount(HWND list);
    std::wstring ItemText(HWND list, int row, int column = 0);
    std::vector<std::wstring> Column(HWND list, int column = 0);
    // Selects exactly these rows (the first one focused).
    bool SelectRows(HWND list, const std::vector<int>& rows);
    std::vector<int> SelectedRows(HWND list);

    // The lines of a ComboBoxEx.
    std::vector<std::wstring> ComboExTexts(HWND box);

    std::wstring TreeText(HWND tree, HTREEITEM item);
    HTREEITEM TreeRoot(HWND tree);
    HTREEITEM TreeSelection(HWND tree);
    std::vector<HTREEITEM> TreeChildren(HWND tree, HTREEITEM item);
    bool TreeSelect(HWND tree, HTREEITEM item);

private:
    CRemoteBuffer m_buffer;
};

// Posts a command (menu entry or button) to a window.
void Command(HWND window, UINT id);
// Clicks a control as the mouse does (button down and up at its middle).
void ClickControl(HWND control);

// Row of a name in a list of names, or -1.
int RowOf(const std::vector<std::wstring>& names, const std::wstring& name);
std::string Joined(const std::vector<std::wstring>& names);

// Sets a control's text (an edit box of another process).
void SetText(HWND window, const std::wstring& text);

// Writes lines (UTF-8) into MB_E2E_OUT for the stage's checks of the memory.
void WriteOut(const std::string& file, const std::vector<std::wstring>& lines);

// A scenario on the simulated player: StartWithPlayer starts the installed
// MusicBridge.exe as a user starts it, finds its window and waits until it
// shows the player; the teardown closes the program (after a last
// screenshot) if the scenario left it running.
class CManagerScenario : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A scenario that needs more of the window before it starts (another
    // pane, a drive) readies it in OnPlayerShown; then no box may be open.
    void StartWithPlayer();
    virtual void OnPlayerShown() {}
    // Waits until the player tree shows the memory's label and its list the
    // files.
    bool PlayerShown();

    // Saves a screenshot of a window (the main one) as an artefact.
    void Shot(HWND window, const std::string& name);
    void Shot(const std::string& name) { Shot(m_main, name); }

    // The program's open dialogs and message boxes other than its main
    // window and those the scenario expects (IsExpectedBox).
    std::vector<HWND> Boxes();
    virtual bool IsExpectedBox(HWND) { return false; }
    void NoMessageBox();

    // Answers a file dialog (Save As or Open) with a path: the one `dialog`
    // finds (by default the program's first box).
    void ChooseFile(const std::function<HWND()>& dialog, const std::wstring& path);
    void ChooseFile(const std::wstring& path);

    CProgram m_program;
    HWND m_main = nullptr;
    std::unique_ptr<CRemoteControls> m_controls;
    HWND m_playerList = nullptr, m_playerTree = nullptr;
    int m_fileDialogs = 0;
};

}  // namespace e2e
