#include "TransferStrings.h"

const char* TransferStringDefault(unsigned int id)
{
    switch (id) {
    case IDS_OPEN_FAILED:
        return "Failed to open '%s'. Check if the file is in use, or USB port is ejected.";
    case IDS_CREATE_FAILED:
        return "Failed to create '%s'.";
    case IDS_READ_FAILED:
        return "Failed to read the file.";
    case IDS_SAME_NAME:
        return "Check if there is a file or folder with the same name.";
    case IDS_WRITE_FAILED:
        return "Failed to write a file to the memory.";
    case IDS_FOLDER_CREATE_FAILED:
        return "Failed to create '%s'.";
    case IDS_DOWNLOAD_NEXT:
        return "Do you want to download next selected file(s)?";
    case IDS_DOWNLOAD_CANCEL:
        return "Download is not complete. Do you want to cancel it?";
    case IDS_NO_SPACE:
        return "There is no memory space available.  Free up some space, then try again.";
    case IDS_UPLOAD_NEXT:
        return "Do you want to upload next file(s)?";
    case IDS_UPLOAD_CANCEL:
        return "Upload is not complete. Do you want to cancel it?";
    case IDS_NOT_ANSWERING:
        return "The Vilo Lark is not communicating with your computer.  Please retry.";
    case IDS_OVERWRITE_QUESTION:
        return "'%s' already exists. Do you want to overwrite it?";
    case IDS_DELETE_FAILED:
        return "Failed to delete '%s'.";
    case IDS_PLAYLIST_WARNING:
        return "The playlist of '%s' file may not playback.\r\nPlease click and use the \"ListForge\"  in Music "
               "Bridge.\r\nAre you sure you want to download this file?";
    case IDS_TOO_MANY_FILES:
        return "You have either exceeded the maximum number of files allowed\r\nor exceeded the maximum number of "
               "characters allowed.?\r\nPlease refer to the FAQs for additional help.";
    default:
        return nullptr;
    }
}
