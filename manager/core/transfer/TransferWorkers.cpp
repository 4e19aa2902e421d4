// The download and upload workers: one item after the other, with the
// questions before each item and after each failure.
#include "ChunkCopy.h"
#include "EngineHelpers.h"
#include "TransferEngine.h"
#include "fileutil/FileUtil.h"

using namespace transfer;

namespace {

DWORD ItemSizeOf(const std::string& path, bool folder)
{
    if (folder)
        return CFileUtil::GetFolderSize(path);
    DWORD size = 0;
    SYSTEMTIME time;
    CFileUtil::GetFileSizeAndTime(path, size, time);
    return size;
}

bool DeleteItem(const std::string& path, bool folder)
{
    return folder ? CFileUtil::DeleteToRecycleBin(path) : DeleteFileA(path.c_str()) != 0;
}

}  // namespace

int CTransferEngine::RunDownload()
{
    const int total = GetFileCount();
    {
        mb::CSingleLock lock(m_lock);
        m_status.TotalItems = total;
        m_status.RunBytesDone = 0;
    }
    const std::string targetFolder = GetDownloadTarget();
    const bool cut = m_mode == TRANSFER_PC_CUT || m_mode == TRANSFER_PLAYER_CUT;
    bool yesToAll = false;
    for (int i = 0; i < total; ++i) {
        const std::string source = GetFilePath(i);
        const bool last = i == total - 1;
        BeginItem(i + 1, source);
        m_scratch = CTransferPaths::ExtensionOf(source);
        const std::string name = CTransferPaths::NameOf(source);
        const auto pathArg = reinterpret_cast<WPARAM>(source.c_str());

        if (EqualsNoCase(m_scratch, "m3u") && Ask(StrWith(IDS_PLAYLIST_WARNING, name), MB_ICONEXCLAMATION) != IDYES) {
            Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
            continue;
        }
        const std::string target = CTransferPaths::Join(targetFolder, name);
        const bool folder = IsFolder(source);
        const DWORD size = ItemSizeOf(source, folder);
        SetItemSize(size);

        if (TakeCancel() && Ask(Str(IDS_DOWNLOAD_CANCEL), MB_ICONQUESTION) == IDYES) {
            Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
            if (last || Ask(Str(IDS_DOWNLOAD_NEXT), MB_ICONQUESTION) != IDYES)
                return TRANSFER_STOPPED;
            continue;
        }

        int answer = OVERWRITE_NEW;
        bool copied = false;
        // A copy onto itself or into its own subfolder: the overwrite would
        // delete the source, the tree copy would never end.
        const bool ontoSource = CTransferPaths::IsSameOrInside(target, source);
        if (ontoSource) {
            SetMessage(folder ? StrWith(IDS_FOLDER_CREATE_FAILED, target)
                              : StrWith(IDS_CREATE_FAILED, name) + "\r\n" + Str(IDS_SAME_NAME));
        } else {
            if (Exists(target)) {
                answer = yesToAll ? OVERWRITE_YES : AskOverwrite(name);
                if (answer == OVERWRITE_YES_TO_ALL)
                    yesToAll = true;
                if (answer == OVERWRITE_NO) {
                    Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
                    continue;
                }
                if (answer == OVERWRITE_CANCEL) {
                    Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
                    return TRANSFER_DOWNLOAD_DONE;
                }
                const bool deleted = DeleteItem(target, IsFolder(target));
                RefreshDirectory(targetFolder);
                if (!deleted) {
                    Show(StrWith(IDS_DELETE_FAILED, name));
                    Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
                    return TRANSFER_STOPPED;
                }
            }
            std::uint32_t freeBytes = 0;
            if (GetFreeSpace(target, &freeBytes, nullptr) == 0) {
                Show(Str(IDS_NOT_ANSWERING));
                Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
                return TRANSFER_NO_ANSWER;
            }
            if (freeBytes < size) {
                Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
                const std::string text = Str(IDS_NO_SPACE);
                if (last) {
                    Show(text);
                    return TRANSFER_STOPPED;
                }
                if (Ask(text + "\r\n" + Str(IDS_DOWNLOAD_NEXT), MB_ICONQUESTION) == IDYES)
                    continue;
                return TRANSFER_STOPPED;
            }
            Send(WM_XFER_ITEM_PROCESSING, pathArg, 0);
            const std::uint32_t before = RunBytesDone();
            copied = folder ? CopyFolderItem(source, target, answer, false) : CopyFile(source, target, answer, m_owner);
            SetRunBytesDone(AddSaturated(before, size));
        }

        const LPARAM replaced = (answer == OVERWRITE_YES || answer == OVERWRITE_YES_TO_ALL) ? 1 : 0;
        if (copied) {
            if (cut && DeleteItem(source, folder))
                Send(m_mode == TRANSFER_PC_CUT ? WM_XFER_SOURCE_DELETED : WM_XFER_SOURCE_DELETED_EXT, i, 0);
            Post(WM_XFER_FILE_DONE, i, replaced);
            Send(WM_XFER_ITEM_COMPLETE, pathArg, 0);
            if (last)
                CopyTestFile();
            continue;
        }

        Send(WM_XFER_ITEM_SKIPPED, pathArg, 0);
        if (!ontoSource && !folder)
            DeleteFileA(target.c_str());
        RefreshDirectory(targetFolder);
        if (replaced && !Exists(target))
            Send(WM_XFER_SOURCE_DELETED_EXT, i, 0);
        const bool cancelled = CancelSet();
        if (last) {
            const std::string text = Message();
            if (!text.empty() && !cancelled)
                Show(text);
            return TRANSFER_STOPPED;
        }
        if (cancelled) {
            SetMessage(std::string());
            ClearCancel();
        }
        const std::string text = Message();
        if (Ask(text.empty() ? Str(IDS_DOWNLOAD_NEXT) : text + "\r\n" + Str(IDS_DOWNLOAD_NEXT), MB_ICONQUESTION) != IDYES)
            return TRANSFER_STOPPED;
    }
    return TRANSFER_DOWNLOAD_DONE;
}

void CTransferEngine::CopyTestFile()
{
    const std::string folder = m_programFolder.empty() ? ModuleFolder() : m_programFolder;
    const std::string source = CTransferPaths::Join(folder, "CopyTest.mp3");
    const std::string target = CTransferPaths::Join(GetDownloadTarget(), "CopyTest.mp3");
    // A file of that name there is the user's, perhaps the item just copied.
    if (Exists(target))
        return;
    TRANSFER_STATUS saved;
    GetStatus(&saved);
    const std::string message = Message();
    CopyFile(source, target, OVERWRITE_YES, m_owner);
    DeleteFileA(target.c_str());
    mb::CSingleLock lock(m_lock);
    saved.State = m_status.State;
    m_status = saved;
    m_message = message;
}

int CTransferEngine::RunUpload()
{
    const int total = GetFileCount();
    {
        mb::CSingleLock lock(m_lock);
        m_status.TotalItems = total;
        m_status.RunBytesDone = 0;
    }
    const std::string targetFolder = GetUploadTarget();
    bool yesToAll = false;
    for (int i = 0; i < total; ++i) {
        const std::string source = GetFilePath(i);
        const bool last = i == total - 1;
        BeginItem(i + 1, source);
        m_scratch = CTransferPaths::ExtensionOf(source);
        const std::string name = CTransferPaths::NameOf(source);

        if (TakeCancel() && Ask(Str(IDS_UPLOAD_CANCEL), MB_ICONEXCLAMATION) == IDYES) {
            if (last || Ask(Str(IDS_UPLOAD_NEXT), MB_ICONQUESTION) != IDYES)
                return TRANSFER_STOPPED;
            continue;
        }

        const std::string target = CTransferPaths::Join(targetFolder, name);
        const bool folder = IsFolder(source);
        int answer = OVERWRITE_NEW;
        bool copied = false;
        if (CTransferPaths::IsSameOrInside(target, source)) {
            SetMessage(folder ? StrWith(IDS_FOLDER_CREATE_FAILED, target)
                              : StrWith(IDS_CREATE_FAILED, name) + "\r\n" + Str(IDS_SAME_NAME));
        } else {
            if (Exists(target)) {
                answer = yesToAll ? OVERWRITE_YES : AskOverwrite(name);
                if (answer == OVERWRITE_YES_TO_ALL)
                    yesToAll = true;
                if (answer == OVERWRITE_NO)
                    continue;
                if (answer == OVERWRITE_CANCEL)
                    return TRANSFER_UPLOAD_DONE;
            }
            const std::uint32_t before = RunBytesDone();
            std::uint32_t size = 0;
            if (folder) {
                size = CFileUtil::GetFolderSize(source);
                SetItemSize(size);
                copied = CopyFolderItem(source, target, answer, true);
            } else {
                copied = UploadFile(source, target, answer, m_owner);
                TRANSFER_STATUS now;
                GetStatus(&now);
                size = now.ItemSize;
            }
            SetRunBytesDone(AddSaturated(before, size));
        }

        const LPARAM replaced = (answer == OVERWRITE_YES || answer == OVERWRITE_YES_TO_ALL) ? 1 : 0;
        if (copied) {
            if (m_mode == TRANSFER_PLAYER_CUT) {
                const bool deleted = DeleteItem(source, folder);
                RefreshDirectory(CTransferPaths::FolderOf(source));
                if (deleted)
                    Send(WM_XFER_SOURCE_DELETED_EXT, i, 0);
            }
            Send(WM_UPLOAD_FILE_DONE, i, replaced);
            continue;
        }

        // The old PC file stays unless the copy had already replaced it.
        if (replaced && !Exists(target))
            Send(WM_XFER_SOURCE_DELETED, i, 0);
        if (last) {
            if (CancelSet())
                return TRANSFER_STOPPED;
            const bool answers = GetFreeSpace(source, nullptr, nullptr) != 0;
            const std::string text = Message();
            if (!text.empty())
                Show(text);
            return answers ? TRANSFER_STOPPED : TRANSFER_NO_ANSWER;
        }
        if (CancelSet()) {
            SetMessage(std::string());
            ClearCancel();
        } else if (GetFreeSpace(source, nullptr, nullptr) == 0) {
            const std::string text = Message();
            if (!text.empty())
                Show(text);
            return TRANSFER_NO_ANSWER;
        }
        const std::string text = Message();
        if (Ask(text.empty() ? Str(IDS_UPLOAD_NEXT) : text + "\r\n" + Str(IDS_UPLOAD_NEXT), MB_ICONQUESTION) != IDYES)
            return TRANSFER_STOPPED;
    }
    return TRANSFER_UPLOAD_DONE;
}
