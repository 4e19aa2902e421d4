// How a transfer run talks to the person at the PC: item events, yes/no
// questions, plain messages, the program's texts, and the overwrite question.
// The run calls these on its worker thread; an implementation that owns
// windows (manager/ui/transfer) turns them into window messages and message
// boxes, a test records them. Windows-free.
#pragma once

#include <string>

// What happened to an item of the run. index counts list entries from 0;
// path is the item's full source path, valid only during the call.
enum TRANSFER_EVENT : int {
    // A download item is about to be copied (path).
    TRANSFER_ITEM_PROCESSING = 0,
    // A download item was copied; after TRANSFER_ITEM_DOWNLOADED (path).
    TRANSFER_ITEM_COMPLETE = 1,
    // A download item was skipped or failed (path).
    TRANSFER_ITEM_SKIPPED = 2,
    // A download item was copied (index; replaced: an existing target went).
    TRANSFER_ITEM_DOWNLOADED = 3,
    // An upload item was copied (index, replaced).
    TRANSFER_ITEM_UPLOADED = 4,
    // A PC-side file is gone (index): a PC cut's source after its download,
    // or an upload's old PC file whose replacement failed.
    TRANSFER_PC_FILE_GONE = 5,
    // A player-side file is gone (index): a player cut's source, or a
    // download's old target whose replacement failed.
    TRANSFER_PLAYER_FILE_GONE = 6,
};

// The icon of a question.
enum TRANSFER_ICON : int {
    TRANSFER_ICON_QUESTION = 0,
    TRANSFER_ICON_EXCLAMATION = 1,
};

class CTransferSink {
public:
    virtual ~CTransferSink() = default;
    virtual void OnItemEvent(TRANSFER_EVENT event, int index, const std::string& path, bool replaced) = 0;
    // A Yes/No question; true for Yes.
    virtual bool AskYesNo(const std::string& text, TRANSFER_ICON icon) = 0;
    // A failure message with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    // The program's text of a TRANSFER_STRING number, or empty when its table
    // lacks one (the run then uses the English form).
    virtual std::string LoadText(unsigned int id) = 0;
};

// The overwrite question. Returns an OVERWRITE_ANSWER (0 Yes, 1 Yes to all,
// 2 No, 3 Cancel) for the file name, already shortened for display.
class COverwriteAsker {
public:
    virtual ~COverwriteAsker() = default;
    virtual int AskOverwrite(const std::string& fileName) = 0;
};
