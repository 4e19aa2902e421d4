// Single files and folder trees: the chunked copy with the run's counters and
// cancel question, the messages of a failed copy, and the test copy after a
// download.
#include "ChunkCopy.h"
#include "TransferPaths.h"
#include "TransferRun.h"
#include "TransferRunInternal.h"
#include "TransferStrings.h"

// An open copy, the run's counters and its cancel question.
class CTransferRun::CRunStreams : public CChunkStreams {
public:
    CRunStreams(CTransferRun& run, CFileCopy& copy, bool upload) : m_run(run), m_copy(copy), m_upload(upload) {}

    std::int64_t Read(void* buffer, std::uint32_t want) override { return m_copy.Read(buffer, want); }
    bool Write(const void* buffer, std::uint32_t size) override { return m_copy.Write(buffer, size); }
    bool Flush() override { return m_copy.Flush(); }
    void Progress(std::uint32_t bytes) override { m_run.AddProgress(bytes); }
    bool CancelRequested() override { return m_run.CancelSet(); }
    bool ConfirmCancel() override
    {
        // Yes keeps the flag set, so that the callers know the cancel was
        // confirmed; No forgets it and the copy goes on.
        const bool yes = m_upload ? m_run.Ask(m_run.Text(IDS_UPLOAD_CANCEL), TRANSFER_ICON_EXCLAMATION)
                                  : m_run.Ask(m_run.Text(IDS_DOWNLOAD_CANCEL), TRANSFER_ICON_QUESTION);
        if (yes)
            return true;
        m_run.ClearCancel();
        return false;
    }

private:
    CTransferRun& m_run;
    CFileCopy& m_copy;
    bool m_upload;
};

FILE_RESULT CTransferRun::CopyOne(const std::string& source, const std::string& target, bool upload,
                                  bool setItemSize, std::uint64_t* length, bool replace)
{
    *length = 0;
    std::unique_ptr<CFileCopy> copy;
    // An upload never truncates the PC's file before its copy is whole; a
    // download does not either when the old file was kept for a replace.
    const bool viaScratch = upload || (replace && m_files.Exists(target));
    const FILE_RESULT opened = m_files.OpenCopy(source, target, viaScratch, copy);
    if (opened != FILE_DONE || !copy)
        return opened == FILE_DONE ? FILE_OPEN_FAILED : opened;
    *length = copy->Length();
    if (setItemSize)
        SetItemSize(Saturate32(*length));

    CRunStreams streams(*this, *copy, upload);
    const std::uint32_t chunk = upload ? CHUNK_SMALL : ChunkSizeFor(m_platformClass);
    const CHUNK_COPY_RESULT copied = CopyChunks(streams, *length, chunk, upload ? 0 : 10, m_buffer);
    bool written = copied == CHUNK_COPY_DONE;
    if (written && !upload)
        written = copy->Flush();
    // Never leave a truncated file that looks like a copy.
    const FILE_RESULT finished = copy->Finish(written);
    if (written)
        return finished;
    switch (copied) {
    case CHUNK_COPY_CANCELLED:
        return FILE_CANCELLED;
    case CHUNK_COPY_READ_FAILED:
        return FILE_READ_FAILED;
    default:
        return FILE_WRITE_FAILED;
    }
}

bool CTransferRun::DownloadFile(const std::string& source, const std::string& target, int answer)
{
    std::uint64_t length = 0;
    const bool replace = answer == OVERWRITE_YES || answer == OVERWRITE_YES_TO_ALL;
    switch (CopyOne(source, target, false, true, &length, replace)) {
    case FILE_DONE:
        return true;
    case FILE_REPLACE_FAILED:
        SetMessage(TextWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target)) + "\r\n" + Text(IDS_SAME_NAME));
        return false;
    case FILE_OPEN_FAILED:
        SetMessage(TextWith(IDS_OPEN_FAILED, CTransferPaths::NameOf(source)));
        return false;
    case FILE_CREATE_FAILED:
        SetMessage(TextWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target)) + "\r\n" +
                   Text(answer == OVERWRITE_NEW ? IDS_TOO_MANY_FILES : IDS_SAME_NAME));
        return false;
    case FILE_READ_FAILED:
        SetMessage(Text(IDS_READ_FAILED));
        return false;
    case FILE_CANCELLED:
        return false;
    default:
        SetMessage(Text(IDS_WRITE_FAILED));
        return false;
    }
}

bool CTransferRun::UploadFile(const std::string& source, const std::string& target, int answer)
{
    std::uint64_t length = 0;
    switch (CopyOne(source, target, true, true, &length)) {
    case FILE_DONE:
        return true;
    case FILE_CREATE_FAILED:
    case FILE_REPLACE_FAILED:
        SetMessage(answer == OVERWRITE_NEW
                       ? TextWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target))
                       : TextWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target)) + "\r\n" + Text(IDS_SAME_NAME));
        return false;
    case FILE_CANCELLED:
        return false;
    default:
        SetMessage(TextWith(IDS_OPEN_FAILED, CTransferPaths::NameOf(source)));
        return false;
    }
}

bool CTransferRun::CopyFolder(const std::string& source, const std::string& target)
{
    TREE_STATE tree;
    return CopyTree(source, target, false, tree);
}

bool CTransferRun::UploadFolder(const std::string& source, const std::string& target)
{
    TREE_STATE tree;
    return CopyTree(source, target, true, tree);
}

bool CTransferRun::CopyFolderItem(const std::string& source, const std::string& target, bool upload)
{
    if (CTransferPaths::IsSameOrInside(target, source)) {
        SetMessage(TextWith(IDS_FOLDER_CREATE_FAILED, target));
        return false;
    }
    TREE_STATE tree;
    const bool copied = CopyTree(source, target, upload, tree);
    // A player (or card) pulled out mid-tree, on either side: whatever came
    // after was left out piece by piece, which must not pass for a copy of
    // the folder.
    if (copied && tree.incomplete &&
        (m_files.DriveSpace(source, nullptr, nullptr) == 0 || m_files.DriveSpace(target, nullptr, nullptr) == 0)) {
        SetMessage(Text(IDS_NOT_ANSWERING));
        return false;
    }
    // A subfolder that could not be written (a full memory, a read or
    // write failure): the rest was copied, but the folder was not.
    if (copied && tree.failedBelow) {
        SetMessage(tree.failure);
        return false;
    }
    const bool move = m_mode == TRANSFER_PLAYER_CUT || (!upload && m_mode == TRANSFER_PC_CUT);
    if (copied && move && tree.incomplete) {
        // The move deletes the source folder: files left out of the copy
        // would be lost with it. The failure below says why, when it did.
        if (Message().empty())
            SetMessage(TextWith(IDS_OPEN_FAILED, CTransferPaths::NameOf(tree.firstLeftOut)));
        return false;
    }
    return copied;
}

bool CTransferRun::CopyTree(const std::string& source, const std::string& target, bool upload, TREE_STATE& tree)
{
    if (CancelSet())
        return false;
    // A download's target never exists here (an existing one was deleted
    // first); an upload writes into an existing PC folder.
    const bool haveFolder = upload && m_files.IsFolder(target);
    if (!haveFolder && !m_files.MakeFolder(target)) {
        SetMessage(TextWith(IDS_FOLDER_CREATE_FAILED, target));
        return false;
    }

    auto leaveOut = [&tree](const std::string& path) {
        if (!tree.incomplete)
            tree.firstLeftOut = path;
        tree.incomplete = true;
    };

    std::vector<FOLDER_ENTRY> entries;
    if (!m_files.ListFolder(source, entries)) {
        leaveOut(source);
        return true;
    }
    for (const FOLDER_ENTRY& entry : entries) {
        const std::string from = CTransferPaths::Join(source, entry.Name);
        const std::string to = CTransferPaths::Join(target, entry.Name);
        // Links and junctions may lead back up the tree or off the drive.
        if (entry.Link) {
            leaveOut(from);
            continue;
        }
        if (entry.Folder) {
            // A confirmed cancel ends the whole tree. Any other failure below
            // leaves that folder's rest out and the copy goes on; the item
            // then fails all the same, and a move keeps its source
            // (CopyFolderItem).
            if (!CopyTree(from, to, upload, tree)) {
                if (CancelSet())
                    return false;
                if (!tree.failedBelow)
                    tree.failure = Message();
                tree.failedBelow = true;
                leaveOut(from);
            }
            continue;
        }

        TRANSFER_STATUS before;
        GetStatus(&before);
        std::uint64_t length = 0;
        const FILE_RESULT result = CopyOne(from, to, upload, false, &length);
        if (result == FILE_OPEN_FAILED || result == FILE_CREATE_FAILED) {
            // A file in use elsewhere is skipped without a message. One that
            // cannot be created (a name too long for the target, a full
            // directory) is left out too, but the item fails once the rest
            // is copied: the folder did not arrive whole.
            leaveOut(from);
            if (result == FILE_CREATE_FAILED && !tree.failedBelow) {
                tree.failedBelow = true;
                tree.failure = TextWith(IDS_CREATE_FAILED, entry.Name);
                if (!upload)
                    tree.failure += "\r\n" + Text(IDS_TOO_MANY_FILES);
            }
            continue;
        }
        {
            CHold hold(m_lock);
            m_status.RunBytesDone = AddSaturated(before.RunBytesDone, length);
            m_status.ItemBytesDone = AddSaturated(before.ItemBytesDone, length);
        }
        if (result == FILE_DONE)
            continue;
        if (result == FILE_CANCELLED) {
            if (!upload)
                m_files.RefreshDirectory(target);
        } else if (upload) {
            SetMessage(TextWith(IDS_OPEN_FAILED, entry.Name));
        } else {
            SetMessage(Text(result == FILE_READ_FAILED ? IDS_READ_FAILED : IDS_WRITE_FAILED));
        }
        return false;
    }
    return true;
}

void CTransferRun::CopyTestFile()
{
    const std::string source = CTransferPaths::Join(m_programFolder, "CopyTest.mp3");
    const std::string target = CTransferPaths::Join(GetTarget(TRANSFER_TO_PLAYER), "CopyTest.mp3");
    // A file of that name there is the user's, perhaps the item just copied.
    if (m_files.Exists(target))
        return;
    TRANSFER_STATUS saved;
    GetStatus(&saved);
    const std::string message = Message();
    DownloadFile(source, target, OVERWRITE_YES);
    m_files.RemoveFile(target);
    CHold hold(m_lock);
    saved.State = m_status.State;
    m_status = saved;
    m_message = message;
}
