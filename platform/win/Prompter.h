// The program's message boxes. Every box of a program goes through one
// prompter, which shows it under the program's caption; tests put a recording
// prompter in its place to read each text and answer it.
#pragma once

#include <windows.h>

#include <string>

class CPrompter {
public:
    virtual ~CPrompter() = default;
    // Shows text (MB_* type flags) and returns the answer (IDOK, IDYES...).
    virtual int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) = 0;
};

// The real message box.
class CMessageBoxPrompter : public CPrompter {
public:
    int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override
    {
        return ::MessageBoxW(owner, text.c_str(), caption.c_str(), type);
    }
};

namespace mb {

// The caption of every box (the manager's is "MusicBridge").
void SetMessageCaption(const std::wstring& caption);
std::wstring MessageCaption();
// Replaces the prompter; nullptr brings back the message box. Returns the
// previous one.
CPrompter* SetPrompter(CPrompter* prompter);

int ShowMessageW(HWND owner, const std::wstring& text, UINT type = MB_OK);
int ShowMessage(HWND owner, const std::string& text, UINT type = MB_OK);
// With a caption of the caller's own.
int ShowMessageW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type);

}  // namespace mb
