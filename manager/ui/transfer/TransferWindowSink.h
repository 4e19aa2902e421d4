// CTransferWindowSink: the transfer engine's reports turned into what the
// main window expects: the window messages of TransferTypes.h sent (or, for a
// downloaded item, posted) to the owner, questions and failures as message
// boxes parented to it through the platform prompter, and texts from the
// program's string table. Called on the engine's worker thread; the sent
// messages block the worker until the window has handled them.
#pragma once

#include <windows.h>

#include "TransferSink.h"

class CTransferWindowSink : public CTransferSink {
public:
    explicit CTransferWindowSink(HWND owner = nullptr, HINSTANCE texts = nullptr) : m_owner(owner), m_texts(texts) {}

    void SetOwner(HWND owner) { m_owner = owner; }
    HWND Owner() const { return m_owner; }

    void OnItemEvent(TRANSFER_EVENT event, int index, const std::string& path, bool replaced) override;
    bool AskYesNo(const std::string& text, TRANSFER_ICON icon) override;
    void ShowMessage(const std::string& text) override;
    std::string LoadText(unsigned int id) override;

private:
    HWND m_owner;
    HINSTANCE m_texts;  // the module holding the string table; null: the program
};
