// Drives MusicBridge.exe, started as a user starts it, from another process:
// its windows are found by process, commands and keys are posted, and the
// list and tree controls are read and set through a buffer in the program's
// own memory (a pointer of this process means nothing to its controls).
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

namespace e2e {

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

}  // namespace e2e
