// The list, the status block and the one loop that runs a list in either
// direction: one item after the other, with the questions before each item
// and after each failure.
#include "TransferRun.h"

#include <cctype>

#include "ChunkCopy.h"
#include "TransferPaths.h"
#include "TransferRunInternal.h"
#include "TransferStrings.h"

namespace {

bool EqualsNoCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return i == a.size() && !b[i];
}

// What differs between the directions, beside the steps only a download
// takes (the playlist question, the free space, the item events).
struct DIRECTION_RULES {
    unsigned int CancelText;
    TRANSFER_ICON CancelIcon;
    unsigned int NextText;
    int DoneState;
    int BusyState;
};

const DIRECTION_RULES kRules[] = {
    {IDS_DOWNLOAD_CANCEL, TRANSFER_ICON_QUESTION, IDS_DOWNLOAD_NEXT, TRANSFER_DOWNLOAD_DONE, TRANSFER_DOWNLOADING},
    {IDS_UPLOAD_CANCEL, TRANSFER_ICON_EXCLAMATION, IDS_UPLOAD_NEXT, TRANSFER_UPLOAD_DONE, TRANSFER_UPLOADING},
};

}  // namespace

CTransferRun::CTransferRun(CTransferFiles& files, CTransferLock& lock) : m_files(files), m_lock(lock) {}

bool CTransferRun::Busy() const
{
    return m_status.State == TRANSFER_DOWNLOADING || m_status.State == TRANSFER_UPLOADING;
}

void CTransferRun::ClearFileList()
{
    CHold hold(m_lock);
    if (Busy())
        return;
    const int state = m_status.State;
    m_status = TRANSFER_STATUS();
    m_status.State = state;
    m_list.clear();
}

void CTransferRun::AddFile(const std::string& path)
{
    CHold hold(m_lock);
    if (!Busy())
        m_list.push_back(path);
}

int CTransferRun::GetFileCount() const
{
    CHold hold(m_lock);
    return static_cast<int>(m_list.size());
}

std::string CTransferRun::GetFilePath(int i) const
{
    CHold hold(m_lock);
    if (i < 0 || static_cast<std::size_t>(i) >= m_list.size())
        return std::string();
    return m_list[i];
}

bool CTransferRun::GetStatus(TRANSFER_STATUS* status) const
{
    CHold hold(m_lock);
    if (status)
        *status = m_status;
    return Busy();
}

void CTransferRun::Cancel() { m_cancel.store(1); }
bool CTransferRun::CancelSet() const { return m_cancel.load() != 0; }
bool CTransferRun::TakeCancel() { return m_cancel.exchange(0) != 0; }
void CTransferRun::ClearCancel() { m_cancel.store(0); }

std::string CTransferRun::GetTarget(TRANSFER_DIRECTION direction) const
{
    CHold hold(m_lock);
    return direction == TRANSFER_TO_PC ? m_uploadTarget : m_downloadTarget;
}

void CTransferRun::SetSink(CTransferSink* sink) { m_sink = sink; }
void CTransferRun::SetOverwriteAsker(COverwriteAsker* asker) { m_asker = asker; }
void CTransferRun::SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

bool CTransferRun::Begin(TRANSFER_DIRECTION direction, const std::string& targetFolder, int mode, int platformClass)
{
    {
        CHold hold(m_lock);
        if (Busy())
            return false;
        (direction == TRANSFER_TO_PC ? m_uploadTarget : m_downloadTarget) = targetFolder;
        m_direction = direction;
        m_mode = mode;
        // An upload carries no platform class: its copies use small chunks.
        m_platformClass = direction == TRANSFER_TO_PC ? 0 : platformClass;
        m_status.State = kRules[direction == TRANSFER_TO_PC ? 1 : 0].BusyState;
    }
    ClearCancel();
    return true;
}

int CTransferRun::Run()
{
    const int state = RunList();
    SetState(state);
    return state;
}

void CTransferRun::SetState(int state)
{
    CHold hold(m_lock);
    m_status.State = state;
}

void CTransferRun::SetMessage(const std::string& text)
{
    CHold hold(m_lock);
    m_message = text;
}

std::string CTransferRun::Message() const
{
    CHold hold(m_lock);
    return m_message;
}

void CTransferRun::BeginItem(int number, const std::string& path)
{
    CHold hold(m_lock);
    m_status.CurrentItem = number;
    m_status.ItemPath = path;
    m_status.ItemSize = 0;
    m_status.ItemBytesDone = 0;
    m_message.clear();
}

void CTransferRun::SetItemSize(std::uint32_t size)
{
    CHold hold(m_lock);
    m_status.ItemSize = size;
}

void CTransferRun::AddProgress(std::uint32_t bytes)
{
    CHold hold(m_lock);
    m_status.RunBytesDone = AddSaturated(m_status.RunBytesDone, bytes);
    m_status.ItemBytesDone = AddSaturated(m_status.ItemBytesDone, bytes);
}

std::uint32_t CTransferRun::RunBytesDone() const
{
    CHold hold(m_lock);
    return m_status.RunBytesDone;
}

void CTransferRun::SetRunBytesDone(std::uint32_t bytes)
{
    CHold hold(m_lock);
    m_status.RunBytesDone = bytes;
}

std::string CTransferRun::Text(unsigned int id) const
{
    std::string text = m_sink ? m_sink->LoadText(id) : std::string();
    if (text.empty()) {
        const char* fallback = TransferStringDefault(id);
        if (fallback)
            text = fallback;
    }
    return text;
}

std::string CTransferRun::TextWith(unsigned int id, const std::string& arg) const
{
    // %s is filled once; a "%" in the name stays literal.
    const std::string format = Text(id);
    std::string out;
    bool used = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (!used && format[i] == '%' && i + 1 < format.size() && format[i + 1] == 's') {
            out += arg;
            ++i;
            used = true;
        } else {
            out += format[i];
        }
    }
    return out;
}

bool CTransferRun::Ask(const std::string& text, TRANSFER_ICON icon) const
{
    return m_sink && m_sink->AskYesNo(text, icon);
}

void CTransferRun::Show(const std::string& text) const
{
    if (m_sink)
        m_sink->ShowMessage(text);
}

void CTransferRun::Event(TRANSFER_EVENT event, int index, const std::string& path, bool replaced) const
{
    if (m_sink)
        m_sink->OnItemEvent(event, index, path, replaced);
}

int CTransferRun::AskOverwrite(const std::string& name) const
{
    if (!m_asker)
        return OVERWRITE_NO;
    const int answer = m_asker->AskOverwrite(name);
    return (answer >= OVERWRITE_YES && answer <= OVERWRITE_CANCEL) ? answer : OVERWRITE_CANCEL;
}

std::uint32_t CTransferRun::RoomOf(const std::string& path, bool folder)
{
    const std::uint32_t bytes = m_files.ItemSize(path, folder);
    const std::uint32_t cluster = m_files.ClusterBytes(path);
    // A folder's files each end in a part cluster: its byte count is the
    // least it frees.
    if (folder || cluster <= 1 || bytes == 0)
        return bytes;
    const std::uint64_t rounded = (static_cast<std::uint64_t>(bytes) + cluster - 1) / cluster * cluster;
    return Saturate32(rounded);
}

int CTransferRun::RunList()
{
    const bool download = m_direction == TRANSFER_TO_PLAYER;
    const DIRECTION_RULES& rules = kRules[download ? 0 : 1];
    const int total = GetFileCount();
    {
        CHold hold(m_lock);
        m_status.TotalItems = total;
        m_status.RunBytesDone = 0;
    }
    const std::string targetFolder = GetTarget(m_direction);
    // An upload's cut is only ever one inside the player (mode 32).
    const bool cut = m_mode == TRANSFER_PLAYER_CUT || (download && m_mode == TRANSFER_PC_CUT);
    bool yesToAll = false;
    for (int i = 0; i < total; ++i) {
        const std::string source = GetFilePath(i);
        const bool last = i == total - 1;
        BeginItem(i + 1, source);
        m_extension = CTransferPaths::ExtensionOf(source);
        const std::string name = CTransferPaths::NameOf(source);
        // The main window follows a download item by item; an upload reports
        // only what it copied.
        auto skipped = [&] {
            if (download)
                Event(TRANSFER_ITEM_SKIPPED, i, source);
        };

        if (download && EqualsNoCase(m_extension, "m3u") &&
            !Ask(TextWith(IDS_PLAYLIST_WARNING, name), TRANSFER_ICON_EXCLAMATION)) {
            skipped();
            continue;
        }
        const std::string target = CTransferPaths::Join(targetFolder, name);
        const bool folder = m_files.IsFolder(source);
        const std::uint32_t size = m_files.ItemSize(source, folder);
        SetItemSize(size);

        if (TakeCancel() && Ask(Text(rules.CancelText), rules.CancelIcon)) {
            skipped();
            if (last || !Ask(Text(rules.NextText), TRANSFER_ICON_QUESTION))
                return TRANSFER_STOPPED;
            continue;
        }

        int answer = OVERWRITE_NEW;
        bool copied = false;
        bool keepOld = false;  // the old target stays until its copy is complete
        // A copy onto itself or into its own subfolder: the overwrite would
        // delete the source, the tree copy would never end. Nor may a
        // download replace a folder that holds its source ("Music\Music"
        // pasted beside "Music"): the target goes first, and the source
        // with it.
        const bool ontoSource = CTransferPaths::IsSameOrInside(target, source) ||
                                (download && CTransferPaths::IsSameOrInside(source, target));
        if (ontoSource) {
            SetMessage(folder ? TextWith(IDS_FOLDER_CREATE_FAILED, target)
                              : TextWith(IDS_CREATE_FAILED, name) + "\r\n" + Text(IDS_SAME_NAME));
        } else {
            if (m_files.Exists(target)) {
                answer = yesToAll ? OVERWRITE_YES : AskOverwrite(name);
                if (answer == OVERWRITE_YES_TO_ALL)
                    yesToAll = true;
                if (answer == OVERWRITE_NO) {
                    skipped();
                    continue;
                }
                if (answer == OVERWRITE_CANCEL) {
                    skipped();
                    return rules.DoneState;
                }
                // An upload's copy replaces the PC file only once complete. A
                // download does the same with a file when the memory holds the
                // old file and the new one together; otherwise the old one must
                // go first to make room.
                if (download) {
                    const bool targetFolder = m_files.IsFolder(target);
                    std::uint32_t freeNow = 0;
                    const bool answers = m_files.DriveSpace(target, &freeNow, nullptr) != 0;
                    keepOld = !folder && !targetFolder && answers && freeNow >= size;
                    // Nor does it go when even its room would not take the
                    // new one: the space check below skips the item, and
                    // the user keeps the old file instead of neither.
                    if (!keepOld && answers && AddSaturated(freeNow, RoomOf(target, targetFolder)) < size)
                        keepOld = true;
                }
                if (download && !keepOld) {
                    const bool deleted = m_files.DeleteItem(target, m_files.IsFolder(target));
                    m_files.RefreshDirectory(targetFolder);
                    if (!deleted) {
                        Show(TextWith(IDS_DELETE_FAILED, name));
                        skipped();
                        return TRANSFER_STOPPED;
                    }
                }
            }
            if (download) {
                std::uint32_t freeBytes = 0;
                if (m_files.DriveSpace(target, &freeBytes, nullptr) == 0) {
                    Show(Text(IDS_NOT_ANSWERING));
                    skipped();
                    return TRANSFER_NO_ANSWER;
                }
                if (freeBytes < size) {
                    skipped();
                    const std::string text = Text(IDS_NO_SPACE);
                    if (last) {
                        Show(text);
                        return TRANSFER_STOPPED;
                    }
                    if (Ask(text + "\r\n" + Text(IDS_DOWNLOAD_NEXT), TRANSFER_ICON_QUESTION))
                        continue;
                    return TRANSFER_STOPPED;
                }
                Event(TRANSFER_ITEM_PROCESSING, i, source);
            }
            const std::uint32_t before = RunBytesDone();
            if (folder)
                copied = CopyFolderItem(source, target, !download);
            else
                copied = download ? DownloadFile(source, target, answer) : UploadFile(source, target, answer);
            SetRunBytesDone(AddSaturated(before, size));
        }

        const bool replaced = answer == OVERWRITE_YES || answer == OVERWRITE_YES_TO_ALL;
        if (copied) {
            if (keepOld)
                m_files.RefreshDirectory(targetFolder);
            if (cut) {
                const bool deleted = m_files.DeleteItem(source, folder);
                if (!download)
                    m_files.RefreshDirectory(CTransferPaths::FolderOf(source));
                if (deleted)
                    Event(m_mode == TRANSFER_PC_CUT ? TRANSFER_PC_FILE_GONE : TRANSFER_PLAYER_FILE_GONE, i, source);
            }
            Event(download ? TRANSFER_ITEM_DOWNLOADED : TRANSFER_ITEM_UPLOADED, i, source, replaced);
            if (download) {
                Event(TRANSFER_ITEM_COMPLETE, i, source);
                if (last)
                    CopyTestFile();
            }
            continue;
        }

        skipped();
        if (download) {
            if (!ontoSource && !folder && !keepOld)
                m_files.RemoveFile(target);
            m_files.RefreshDirectory(targetFolder);
        }
        // The old target was deleted (download) or replaced (upload) and its
        // copy failed: the window drops the file from its list.
        if (replaced && !m_files.Exists(target))
            Event(download ? TRANSFER_PLAYER_FILE_GONE : TRANSFER_PC_FILE_GONE, i, source);
        const bool cancelled = CancelSet();
        if (last) {
            if (cancelled)
                return TRANSFER_STOPPED;
            // An upload's source is the player: is it still there?
            const bool answers = download || m_files.DriveSpace(source, nullptr, nullptr) != 0;
            const std::string text = Message();
            if (!text.empty())
                Show(text);
            return answers ? TRANSFER_STOPPED : TRANSFER_NO_ANSWER;
        }
        if (cancelled) {
            SetMessage(std::string());
            ClearCancel();
        } else if (!download && m_files.DriveSpace(source, nullptr, nullptr) == 0) {
            const std::string text = Message();
            if (!text.empty())
                Show(text);
            return TRANSFER_NO_ANSWER;
        }
        const std::string text = Message();
        if (!Ask(text.empty() ? Text(rules.NextText) : text + "\r\n" + Text(rules.NextText), TRANSFER_ICON_QUESTION))
            return TRANSFER_STOPPED;
    }
    return rules.DoneState;
}
