// Folder items: the whole tree below a folder, file by file, with the same
// chunked copy, counters and cancel question as single files.
#include "ChunkCopy.h"
#include "EngineHelpers.h"
#include "TransferEngine.h"
#include "fileutil/FileUtil.h"

using namespace transfer;

bool CTransferEngine::CopyFolder(const std::string& source, const std::string& target, int answer, HWND owner)
{
    TREE_STATE tree;
    return CopyTree(source, target, false, tree);
}

bool CTransferEngine::UploadFolder(const std::string& source, const std::string& target, int answer, HWND owner)
{
    TREE_STATE tree;
    return CopyTree(source, target, true, tree);
}

bool CTransferEngine::CopyFolderItem(const std::string& source, const std::string& target, int answer, bool upload)
{
    if (CTransferPaths::IsSameOrInside(target, source)) {
        SetMessage(StrWith(IDS_FOLDER_CREATE_FAILED, target));
        return false;
    }
    TREE_STATE tree;
    const bool copied = CopyTree(source, target, upload, tree);
    const bool move = upload ? m_mode == TRANSFER_PLAYER_CUT : (m_mode == TRANSFER_PC_CUT || m_mode == TRANSFER_PLAYER_CUT);
    if (copied && move && tree.incomplete) {
        // The move deletes the source folder: files left out of the copy
        // would be lost with it.
        SetMessage(StrWith(IDS_OPEN_FAILED, CTransferPaths::NameOf(tree.firstLeftOut)));
        return false;
    }
    return copied;
}

bool CTransferEngine::CopyTree(const std::string& source, const std::string& target, bool upload, TREE_STATE& tree)
{
    if (CancelSet()) {
        tree.cancelled = true;
        return false;
    }
    // A download's target never exists here (an existing one was deleted
    // first); an upload writes into an existing PC folder.
    const bool haveFolder = upload && IsFolder(target);
    if (!haveFolder && !CreateDirectoryA(target.c_str(), nullptr)) {
        SetMessage(StrWith(IDS_FOLDER_CREATE_FAILED, target));
        return false;
    }

    auto leaveOut = [&tree](const std::string& path) {
        if (!tree.incomplete)
            tree.firstLeftOut = path;
        tree.incomplete = true;
    };

    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(CTransferPaths::Join(source, "*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_NO_MORE_FILES)
            leaveOut(source);
        return true;
    }
    bool ok = true;
    do {
        if (IsDots(found.cFileName))
            continue;
        const std::string from = CTransferPaths::Join(source, found.cFileName);
        const std::string to = CTransferPaths::Join(target, found.cFileName);
        // Links and junctions may lead back up the tree or off the drive.
        if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            leaveOut(from);
            continue;
        }
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (!CopyTree(from, to, upload, tree)) {
                ok = false;
                break;
            }
            continue;
        }

        TRANSFER_STATUS before;
        GetStatus(&before);
        std::uint64_t length = 0;
        const FILE_RESULT result = CopyOne(from, to, upload, false, &length);
        if (result == FILE_OPEN_FAILED || result == FILE_CREATE_FAILED) {
            // Skipped without a message (a file in use elsewhere).
            leaveOut(from);
            continue;
        }
        {
            mb::CSingleLock lock(m_lock);
            m_status.RunBytesDone = AddSaturated(before.RunBytesDone, length);
            m_status.ItemBytesDone = AddSaturated(before.ItemBytesDone, length);
        }
        if (result == FILE_DONE)
            continue;
        ok = false;
        if (result == FILE_CANCELLED) {
            tree.cancelled = true;
            if (!upload)
                RefreshDirectory(target);
        } else if (upload) {
            SetMessage(StrWith(IDS_OPEN_FAILED, found.cFileName));
        } else {
            SetMessage(Str(result == FILE_READ_FAILED ? IDS_READ_FAILED : IDS_WRITE_FAILED));
        }
        break;
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return ok;
}
