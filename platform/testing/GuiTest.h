// The GUI test harness. Tests make real windows from test-only templates,
// drive them by messages, answer message boxes through a recording prompter,
// and save screenshots as artifacts. Every GUI test runs under a time limit:
// a stray modal window is closed and the test fails instead of hanging.
#pragma once

#include <windows.h>

#include <deque>
#include <functional>
#include <initializer_list>
#include "Sync.h"
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "HostPaths.h"
#include "Prompter.h"

namespace mbtest {

// Stands in for the program's message boxes while it lives: records every
// text and answers from a queue (then with the default answer).
class CRecordingPrompter : public CPrompter {
public:
    struct Record {
        HWND owner;
        std::wstring text;
        std::wstring caption;
        UINT type;
    };

    explicit CRecordingPrompter(int defaultAnswer = IDOK);
    ~CRecordingPrompter() override;

    void QueueAnswer(int answer);
    int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override;
    std::vector<Record> Records() const;
    size_t Count() const;
    // The i-th text in the ANSI world.
    std::string Text(size_t i) const;

private:
    mutable mb::CCriticalSection m_lock;
    std::vector<Record> m_records;
    std::deque<int> m_answers;
    int m_default;
    CPrompter* m_previous;
};

// A watchdog for one test: after the limit it closes every window of the
// process (so modal loops and message boxes return) and marks the test
// failed; when even that does not end the test, the process is ended.
class CGuiTimeLimit {
public:
    explicit CGuiTimeLimit(DWORD milliseconds);
    ~CGuiTimeLimit();
    CGuiTimeLimit(const CGuiTimeLimit&) = delete;
    CGuiTimeLimit& operator=(const CGuiTimeLimit&) = delete;
    bool Expired() const { return m_expired != 0; }

private:
    static DWORD WINAPI Watch(void* self);
    DWORD m_limit;
    HANDLE m_done;
    HANDLE m_thread;
    volatile LONG m_expired = 0;
};

// A GoogleTest fixture for window tests: a time limit (20 s unless asked
// otherwise) that fails the test when it runs out.
class GuiTest : public ::testing::Test {
protected:
    // Tests of slow windows (the shell's file dialogs) ask for more time.
    explicit GuiTest(DWORD limitMs = 20000) : m_limit(limitMs) {}
    void TearDown() override;
    CGuiTimeLimit m_limit;
};

// Runs a function on its own thread, as a worker or a user of a modal
// window would. Finish pumps this thread's messages until it has returned; the
// destructor does the same (so a failed assertion never leaves it running:
// the time limit closes whatever window keeps it waiting).
class CBackgroundRun {
public:
    explicit CBackgroundRun(std::function<void()> body);
    ~CBackgroundRun();
    CBackgroundRun(const CBackgroundRun&) = delete;
    CBackgroundRun& operator=(const CBackgroundRun&) = delete;
    bool Finish(DWORD timeoutMs = 10000);
    bool Done() const { return m_done != 0; }

private:
    static DWORD WINAPI Run(void* self);
    std::function<void()> m_body;
    volatile LONG m_done = 0;
    HANDLE m_thread;
};

// Processes this thread's messages (through the pre-translate chain) until
// done() holds or the time runs out; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000);
void PumpFor(DWORD ms);

// A visible top-level window of this process with that title (any thread).
HWND FindProcessWindow(const std::wstring& title);
// Waits (pumping this thread) for such a window.
HWND WaitForWindow(const std::wstring& title, DWORD timeoutMs = 5000);

// Drives a control as the user would reach its parent.
void Click(HWND dialog, UINT id);
// Posts a key press (down and up) to a window, so it passes through the
// receiving thread's message loop and its pre-translate chain.
void PostKey(HWND target, UINT vk);
// Holds keys down in this thread's key state, as GetKeyState reads it while
// posted keys are handled, until it goes out of scope.
class CHeldKeys {
public:
    explicit CHeldKeys(std::initializer_list<UINT> keys);
    ~CHeldKeys();
    CHeldKeys(const CHeldKeys&) = delete;
    CHeldKeys& operator=(const CHeldKeys&) = delete;

private:
    BYTE m_saved[256] = {};
};
// Text of a dialog's control.
std::wstring ItemText(HWND dialog, UINT id);

// Host (Linux) commands from a test under Wine (HostPaths.h quotes their
// words and maps host paths onto Z:).
// The whole content of a file ("" when it cannot be read).
std::string ReadWholeFile(const std::string& path);
struct HostResult {
    int Status = -1;       // the command's exit status; -1 when it never ran
    std::string Output;    // its standard output and error
};
// Runs a /bin/sh command on the host, without standard input, with
// MTOOLS_SKIP_CHECK=1 and the host's own PATH. Wine hands back no exit code
// of a Unix program, so the command leaves its status in a file in
// `scratch` (a host folder), which is waited for while this thread's
// messages are pumped (a minute at most).
HostResult RunHostCommand(const std::string& command, const std::string& scratch);

// The folder for artifacts of this test run: MB_ARTIFACT_DIR, else
// "artifacts" in the working folder. Made when missing.
std::string ArtifactDir();
// Saves the window's screen rectangle as a PNG in the artifact folder, taken
// from the X display (ImageMagick's import, xwd and convert as fallback).
// Returns the Windows path, or empty on failure.
std::string SaveScreenshot(HWND window, const std::string& name);

}  // namespace mbtest
