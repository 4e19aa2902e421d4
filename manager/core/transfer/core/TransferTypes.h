// The transfer engine's records and the window messages it sends its owner.
// The main dialog includes this header to read the status and handle the
// messages, so every number and parameter here is fixed; the header needs no
// Windows header of its own.
#pragma once

#include <cstdint>
#include <string>

// TRANSFER_STATE: 1 and 3 mean a worker runs.
enum TRANSFER_STATE : int {
    TRANSFER_IDLE = 0,
    TRANSFER_DOWNLOADING = 1,
    TRANSFER_DOWNLOAD_DONE = 2,
    TRANSFER_UPLOADING = 3,
    TRANSFER_UPLOAD_DONE = 4,
    TRANSFER_STOPPED = 5,
    TRANSFER_NO_ANSWER = 7,
};

// TRANSFER_MODE, set by the caller; only the two cuts change what the engine
// does (the source is deleted after a complete copy).
enum TRANSFER_MODE : int {
    TRANSFER_PC_COPY = 1,
    TRANSFER_PC_CUT = 2,
    TRANSFER_DOWNLOAD = 15,
    TRANSFER_PLAYER_COPY = 16,
    TRANSFER_PLAYER_CUT = 32,
    TRANSFER_UPLOAD = 240,
};

// Answers of the overwrite question; the workers use OVERWRITE_NEW when the
// target did not exist.
enum OVERWRITE_ANSWER : int {
    OVERWRITE_YES = 0,
    OVERWRITE_YES_TO_ALL = 1,
    OVERWRITE_NO = 2,
    OVERWRITE_CANCEL = 3,
    OVERWRITE_NEW = 4,
};

// Byte counts are unsigned 32-bit values that stop at 0xFFFFFFFF.
struct TRANSFER_STATUS {
    int TotalItems = 0;
    int CurrentItem = 0;       // counted from 1
    std::uint32_t ItemSize = 0;
    std::uint32_t RunBytesDone = 0;
    std::uint32_t ItemBytesDone = 0;
    int Reserved = 0;
    std::string ItemPath;      // full source path of the current item
    int State = TRANSFER_IDLE;
};

// Messages to the owner window (WM_USER is 0x0400).
enum : unsigned int {
    // sent; wParam item index; download in mode 2 after the source was
    // deleted, upload after a failed copy that left no target
    WM_XFER_SOURCE_DELETED = 0x0400 + 528,
    // posted; wParam item index; lParam 1 when an existing target was replaced
    WM_XFER_FILE_DONE = 0x0400 + 529,
    // sent; wParam item index; mode 32 after the source was deleted, download
    // after a failed copy that had replaced an existing target
    WM_XFER_SOURCE_DELETED_EXT = 0x0400 + 530,
    // sent; wParam item index; lParam 1 when an existing target was replaced
    WM_UPLOAD_FILE_DONE = 0x0400 + 531,
    // sent; wParam points to the item's source path (a NUL-terminated ANSI
    // text valid while the message is handled); download only
    WM_XFER_ITEM_PROCESSING = 0x0400 + 576,
    WM_XFER_ITEM_COMPLETE = 0x0400 + 577,
    WM_XFER_ITEM_SKIPPED = 0x0400 + 578,
};

static_assert(WM_XFER_SOURCE_DELETED == 1552 && WM_UPLOAD_FILE_DONE == 1555, "message numbers are shared");
static_assert(WM_XFER_ITEM_PROCESSING == 1600 && WM_XFER_ITEM_SKIPPED == 1602, "message numbers are shared");
