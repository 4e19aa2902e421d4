#include "TransferWindowSink.h"

#include "Prompter.h"
#include "Text.h"
#include "TransferTypes.h"

namespace {

enum DELIVERY { SEND_INDEX, POST_INDEX, SEND_PATH };

struct EVENT_MESSAGE {
    TRANSFER_EVENT Event;
    UINT Message;
    DELIVERY How;
};

const EVENT_MESSAGE kMessages[] = {
    {TRANSFER_ITEM_PROCESSING, WM_XFER_ITEM_PROCESSING, SEND_PATH},
    {TRANSFER_ITEM_COMPLETE, WM_XFER_ITEM_COMPLETE, SEND_PATH},
    {TRANSFER_ITEM_SKIPPED, WM_XFER_ITEM_SKIPPED, SEND_PATH},
    {TRANSFER_ITEM_DOWNLOADED, WM_XFER_FILE_DONE, POST_INDEX},
    {TRANSFER_ITEM_UPLOADED, WM_UPLOAD_FILE_DONE, SEND_INDEX},
    {TRANSFER_PC_FILE_GONE, WM_XFER_SOURCE_DELETED, SEND_INDEX},
    {TRANSFER_PLAYER_FILE_GONE, WM_XFER_SOURCE_DELETED_EXT, SEND_INDEX},
};

}  // namespace

void CTransferWindowSink::OnItemEvent(TRANSFER_EVENT event, int index, const std::string& path, bool replaced)
{
    if (!m_owner)
        return;
    for (const EVENT_MESSAGE& m : kMessages) {
        if (m.Event != event)
            continue;
        switch (m.How) {
        case SEND_PATH:
            // The text stays valid while the sent message is handled.
            SendMessageA(m_owner, m.Message, reinterpret_cast<WPARAM>(path.c_str()), 0);
            break;
        case SEND_INDEX:
            SendMessageA(m_owner, m.Message, static_cast<WPARAM>(index), replaced ? 1 : 0);
            break;
        case POST_INDEX:
            PostMessageA(m_owner, m.Message, static_cast<WPARAM>(index), replaced ? 1 : 0);
            break;
        }
        return;
    }
}

bool CTransferWindowSink::AskYesNo(const std::string& text, TRANSFER_ICON icon)
{
    const UINT iconBits = icon == TRANSFER_ICON_EXCLAMATION ? MB_ICONEXCLAMATION : MB_ICONQUESTION;
    return mb::ShowMessage(m_owner, text, MB_YESNO | iconBits) == IDYES;
}

void CTransferWindowSink::ShowMessage(const std::string& text) { mb::ShowMessage(m_owner, text, MB_OK); }

std::string CTransferWindowSink::LoadText(unsigned int id) { return mb::LoadText(id, m_texts); }
