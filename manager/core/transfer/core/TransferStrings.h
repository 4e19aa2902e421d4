// Texts of the transfer engine, by their string-table numbers. The program's
// string table (or a language library's) gives them; the English text here
// stands in when the table lacks one, so a question never comes up empty.
#pragma once

enum TRANSFER_STRING : unsigned int {
    IDS_OPEN_FAILED = 106,        // "Failed to open '%s'. ..."
    IDS_CREATE_FAILED = 107,      // "Failed to create '%s'."
    IDS_READ_FAILED = 108,
    IDS_SAME_NAME = 111,
    IDS_WRITE_FAILED = 112,
    IDS_FOLDER_CREATE_FAILED = 115,
    IDS_DOWNLOAD_NEXT = 126,
    IDS_DOWNLOAD_CANCEL = 127,
    IDS_NO_SPACE = 129,
    IDS_UPLOAD_NEXT = 130,
    IDS_UPLOAD_CANCEL = 132,
    IDS_NOT_ANSWERING = 137,
    IDS_OVERWRITE_QUESTION = 187,
    IDS_DELETE_FAILED = 313,
    IDS_PLAYLIST_WARNING = 348,
    IDS_TOO_MANY_FILES = 350,
};

// The English text of a transfer string, or nullptr for another number.
const char* TransferStringDefault(unsigned int id);
