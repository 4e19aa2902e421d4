#include "Prompter.h"

#include <atomic>
#include "Sync.h"

#include "Text.h"

namespace {
CMessageBoxPrompter g_messageBox;
std::atomic<CPrompter*> g_prompter{nullptr};
mb::CCriticalSection g_captionLock;
std::wstring g_caption;
}  // namespace

namespace mb {

void SetMessageCaption(const std::wstring& caption)
{
    mb::CSingleLock lock(g_captionLock);
    g_caption = caption;
}

std::wstring MessageCaption()
{
    mb::CSingleLock lock(g_captionLock);
    return g_caption;
}

CPrompter* SetPrompter(CPrompter* prompter) { return g_prompter.exchange(prompter); }

int ShowMessageW(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type)
{
    CPrompter* p = g_prompter.load();
    return (p ? p : &g_messageBox)->Prompt(owner, text, caption, type);
}

int ShowMessageW(HWND owner, const std::wstring& text, UINT type)
{
    return ShowMessageW(owner, text, MessageCaption(), type);
}

int ShowMessage(HWND owner, const std::string& text, UINT type) { return ShowMessageW(owner, Widen(text), type); }

}  // namespace mb
