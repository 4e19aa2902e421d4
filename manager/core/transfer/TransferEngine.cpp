#include "TransferEngine.h"

#include <cstring>

#include "ChunkCopy.h"
#include "fileutil/FileUtil.h"
#include "Prompter.h"
#include "QuorvaneVoice.h"
#include "Text.h"
#include "TransferPaths.h"
#include "TransferStrings.h"
#include "EngineHelpers.h"

using namespace transfer;


// The file handles of one copy, the engine's counters and its cancel question.
class CTransferEngine::CFileStreams : public CChunkStreams {
public:
    CFileStreams(CTransferEngine& engine, HANDLE in, HANDLE out, bool upload)
        : m_engine(engine), m_in(in), m_out(out), m_upload(upload)
    {
    }

    std::int64_t Read(void* buffer, std::uint32_t want) override
    {
        DWORD got = 0;
        if (!ReadFile(m_in, buffer, want, &got, nullptr))
            return -1;
        return got;
    }
    bool Write(const void* buffer, std::uint32_t size) override
    {
        DWORD put = 0;
        return WriteFile(m_out, buffer, size, &put, nullptr) && put == size;
    }
    bool Flush() override { return FlushFileBuffers(m_out) != 0; }
    void Progress(std::uint32_t bytes) override { m_engine.AddProgress(bytes); }
    bool CancelRequested() override { return m_engine.CancelSet(); }
    bool ConfirmCancel() override
    {
        // Yes keeps the flag set, so that the callers know the cancel was
        // confirmed; No forgets it and the copy goes on.
        const int answer = m_upload ? m_engine.Ask(Str(IDS_UPLOAD_CANCEL), MB_ICONEXCLAMATION)
                                    : m_engine.Ask(Str(IDS_DOWNLOAD_CANCEL), MB_ICONQUESTION);
        if (answer == IDYES)
            return true;
        m_engine.ClearCancel();
        return false;
    }

private:
    CTransferEngine& m_engine;
    HANDLE m_in;
    HANDLE m_out;
    bool m_upload;
};

CTransferEngine::CTransferEngine() : m_voice(new CQuorvane_Voice) {}

CTransferEngine::~CTransferEngine()
{
    if (m_thread) {
        Cancel();
        // The worker may be sending its owner a message on this very thread:
        // handle sent messages while waiting, or both would wait for ever.
        while (MsgWaitForMultipleObjects(1, &m_thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        CloseHandle(m_thread);
    }
    delete m_voice;
}

void CTransferEngine::ClearFileList()
{
    if (GetStatus(nullptr))
        return;
    mb::CSingleLock lock(m_lock);
    const int state = m_status.State;
    m_status = TRANSFER_STATUS();
    m_status.State = state;
    m_files.clear();
}

void CTransferEngine::AddFile(const std::string& path)
{
    if (GetStatus(nullptr))
        return;
    mb::CSingleLock lock(m_lock);
    m_files.push_back(path);
}

int CTransferEngine::GetFileCount() const
{
    mb::CSingleLock lock(m_lock);
    return static_cast<int>(m_files.size());
}

std::string CTransferEngine::GetFileName(int i) const
{
    return CTransferPaths::NameOf(GetFilePath(i));
}

std::string CTransferEngine::GetFilePath(int i) const
{
    mb::CSingleLock lock(m_lock);
    if (i < 0 || static_cast<std::size_t>(i) >= m_files.size())
        return std::string();
    return m_files[i];
}

bool CTransferEngine::GetStatus(TRANSFER_STATUS* status) const
{
    mb::CSingleLock lock(m_lock);
    if (status)
        *status = m_status;
    return m_status.State == TRANSFER_DOWNLOADING || m_status.State == TRANSFER_UPLOADING;
}

void CTransferEngine::Cancel() { InterlockedExchange(&m_cancel, 1); }
bool CTransferEngine::CancelSet() const { return InterlockedCompareExchange(const_cast<volatile LONG*>(&m_cancel), 0, 0) != 0; }
bool CTransferEngine::TakeCancel() { return InterlockedExchange(&m_cancel, 0) != 0; }
void CTransferEngine::ClearCancel() { InterlockedExchange(&m_cancel, 0); }

std::string CTransferEngine::GetDownloadTarget() const
{
    mb::CSingleLock lock(m_lock);
    return m_downloadTarget;
}

std::string CTransferEngine::GetUploadTarget() const
{
    mb::CSingleLock lock(m_lock);
    return m_uploadTarget;
}

void CTransferEngine::SetOverwriteAsker(COverwriteAsker* asker) { m_asker = asker; }
void CTransferEngine::SetProgramFolder(const std::string& folder) { m_programFolder = folder; }

HANDLE CTransferEngine::Start(const std::string& targetFolder, int mode, HWND owner, int platformClass)
{
    {
        mb::CSingleLock lock(m_lock);
        if (m_status.State == TRANSFER_DOWNLOADING || m_status.State == TRANSFER_UPLOADING)
            return nullptr;
        m_downloadTarget = targetFolder;
        m_mode = mode;
        m_owner = owner;
        m_platformClass = platformClass;
        m_status.State = TRANSFER_DOWNLOADING;
    }
    ClearCancel();
    RefreshDirectory(targetFolder);
    return StartWorker(&CTransferEngine::DownloadThread, TRANSFER_DOWNLOADING);
}

HANDLE CTransferEngine::StartUpload(const std::string& targetFolder, int mode, HWND owner)
{
    {
        mb::CSingleLock lock(m_lock);
        if (m_status.State == TRANSFER_DOWNLOADING || m_status.State == TRANSFER_UPLOADING)
            return nullptr;
        m_uploadTarget = targetFolder;
        m_mode = mode;
        m_owner = owner;
        m_status.State = TRANSFER_UPLOADING;
    }
    ClearCancel();
    return StartWorker(&CTransferEngine::UploadThread, TRANSFER_UPLOADING);
}

HANDLE CTransferEngine::StartWorker(LPTHREAD_START_ROUTINE routine, int busyState)
{
    if (m_thread) {
        // The previous worker has ended: its state is no longer busy.
        WaitForSingleObject(m_thread, INFINITE);
        CloseHandle(m_thread);
        m_thread = nullptr;
    }
    m_thread = CreateThread(nullptr, 0, routine, this, 0, nullptr);
    if (!m_thread)
        SetState(TRANSFER_IDLE);
    return m_thread;
}

DWORD WINAPI CTransferEngine::DownloadThread(void* self)
{
    auto* engine = static_cast<CTransferEngine*>(self);
    engine->SetState(engine->RunDownload());
    return 3;
}

DWORD WINAPI CTransferEngine::UploadThread(void* self)
{
    auto* engine = static_cast<CTransferEngine*>(self);
    engine->SetState(engine->RunUpload());
    return 3;
}

void CTransferEngine::SetMessage(const std::string& text)
{
    mb::CSingleLock lock(m_lock);
    m_message = text;
}

std::string CTransferEngine::Message() const
{
    mb::CSingleLock lock(m_lock);
    return m_message;
}

void CTransferEngine::BeginItem(int number, const std::string& path)
{
    mb::CSingleLock lock(m_lock);
    m_status.CurrentItem = number;
    m_status.ItemPath = path;
    m_status.ItemSize = 0;
    m_status.ItemBytesDone = 0;
    m_message.clear();
}

void CTransferEngine::SetItemSize(std::uint32_t size)
{
    mb::CSingleLock lock(m_lock);
    m_status.ItemSize = size;
}

void CTransferEngine::AddProgress(std::uint32_t bytes)
{
    mb::CSingleLock lock(m_lock);
    m_status.RunBytesDone = AddSaturated(m_status.RunBytesDone, bytes);
    m_status.ItemBytesDone = AddSaturated(m_status.ItemBytesDone, bytes);
}

std::uint32_t CTransferEngine::RunBytesDone() const
{
    mb::CSingleLock lock(m_lock);
    return m_status.RunBytesDone;
}

void CTransferEngine::SetRunBytesDone(std::uint32_t bytes)
{
    mb::CSingleLock lock(m_lock);
    m_status.RunBytesDone = bytes;
}

void CTransferEngine::SetState(int state)
{
    mb::CSingleLock lock(m_lock);
    m_status.State = state;
}

LRESULT CTransferEngine::Send(UINT msg, WPARAM wp, LPARAM lp) const
{
    return m_owner ? SendMessageA(m_owner, msg, wp, lp) : 0;
}

void CTransferEngine::Post(UINT msg, WPARAM wp, LPARAM lp) const
{
    if (m_owner)
        PostMessageA(m_owner, msg, wp, lp);
}

int CTransferEngine::Ask(const std::string& text, UINT icon) const
{
    return mb::ShowMessage(m_owner, text, MB_YESNO | icon);
}

void CTransferEngine::Show(const std::string& text) const { mb::ShowMessage(m_owner, text, MB_OK); }

int CTransferEngine::AskOverwrite(const std::string& name)
{
    if (!m_asker)
        return OVERWRITE_NO;
    const int answer = m_asker->AskOverwrite(m_owner, CFileUtil::ShortenName(name, 53));
    return (answer >= OVERWRITE_YES && answer <= OVERWRITE_CANCEL) ? answer : OVERWRITE_CANCEL;
}

void CTransferEngine::RefreshDirectory(const std::string& folder)
{
    // The player's order writer reads directories by raw sectors; what it
    // remembers of this folder is stale after every change here.
    const std::string path = WithBackslash(folder);
    m_sysCtrl.InitDirectory(path.c_str());
}

std::uint32_t CTransferEngine::GetFreeSpace(const std::string& path, std::uint32_t* freeBytes,
                                            std::uint32_t* totalBytes)
{
    std::string root = CTransferPaths::RootOf(path);
    if (root.empty())
        root = WithBackslash(path);
    ULARGE_INTEGER available = {}, total = {}, totalFree = {};
    bool answered = false;
    for (int attempt = 0; attempt < 10 && !answered; ++attempt)
        answered = GetDiskFreeSpaceExA(root.c_str(), &available, &total, &totalFree) != 0;
    if (!answered) {
        available.QuadPart = 0;
        total.QuadPart = 0;
    }
    if (freeBytes)
        *freeBytes = Saturate32(available.QuadPart);
    if (totalBytes)
        *totalBytes = Saturate32(total.QuadPart);
    return Saturate32(total.QuadPart);
}

CTransferEngine::FILE_RESULT CTransferEngine::CopyOne(const std::string& source, const std::string& target,
                                                      bool upload, bool setItemSize, std::uint64_t* length)
{
    *length = 0;
    // Others may read the source meanwhile, but nobody may change it.
    HANDLE in = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return FILE_OPEN_FAILED;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(in, &size)) {
        CloseHandle(in);
        return FILE_OPEN_FAILED;
    }
    *length = static_cast<std::uint64_t>(size.QuadPart);
    if (setItemSize)
        SetItemSize(Saturate32(*length));

    // An upload writes beside the target and replaces it only when the copy
    // is complete: a failed read must not cost the user the PC's own file.
    std::string writePath = target;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (upload) {
        const std::string folder = CTransferPaths::FolderOf(target);
        for (int attempt = 0; attempt < 64 && out == INVALID_HANDLE_VALUE; ++attempt) {
            writePath = CTransferPaths::ScratchNameFor(folder, GetCurrentProcessId() * 31u + ++m_scratchSerial);
            out = CreateFileA(writePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (out == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS &&
                GetLastError() != ERROR_ALREADY_EXISTS)
                break;
        }
    } else {
        out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
    if (out == INVALID_HANDLE_VALUE) {
        CloseHandle(in);
        return FILE_CREATE_FAILED;
    }

    CFileStreams streams(*this, in, out, upload);
    const std::uint32_t chunk = upload ? CHUNK_SMALL : ChunkSizeFor(m_platformClass);
    const CHUNK_COPY_RESULT copied = CopyChunks(streams, *length, chunk, upload ? 0 : 10, m_buffer);
    bool written = copied == CHUNK_COPY_DONE;
    if (written && !upload)
        written = FlushFileBuffers(out) != 0;
    if (!CloseHandle(out))
        written = false;
    CloseHandle(in);

    if (!written) {
        // Never leave a truncated file that looks like a copy.
        DeleteFileA(writePath.c_str());
        switch (copied) {
        case CHUNK_COPY_CANCELLED:
            return FILE_CANCELLED;
        case CHUNK_COPY_READ_FAILED:
            return FILE_READ_FAILED;
        default:
            return FILE_WRITE_FAILED;
        }
    }
    if (upload && !MoveFileExA(writePath.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        DeleteFileA(writePath.c_str());
        return FILE_REPLACE_FAILED;
    }
    return FILE_DONE;
}

bool CTransferEngine::CopyFile(const std::string& source, const std::string& target, int answer, HWND owner)
{
    std::uint64_t length = 0;
    switch (CopyOne(source, target, false, true, &length)) {
    case FILE_DONE:
        return true;
    case FILE_OPEN_FAILED:
        SetMessage(StrWith(IDS_OPEN_FAILED, CTransferPaths::NameOf(source)));
        return false;
    case FILE_CREATE_FAILED:
        SetMessage(StrWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target)) + "\r\n" +
                   Str(answer == OVERWRITE_NEW ? IDS_TOO_MANY_FILES : IDS_SAME_NAME));
        return false;
    case FILE_READ_FAILED:
        SetMessage(Str(IDS_READ_FAILED));
        return false;
    case FILE_CANCELLED:
        return false;
    default:
        SetMessage(Str(IDS_WRITE_FAILED));
        return false;
    }
}

bool CTransferEngine::UploadFile(const std::string& source, const std::string& target, int answer, HWND owner)
{
    std::uint64_t length = 0;
    switch (CopyOne(source, target, true, true, &length)) {
    case FILE_DONE:
        return true;
    case FILE_CREATE_FAILED:
    case FILE_REPLACE_FAILED:
        SetMessage(answer == OVERWRITE_NEW
                       ? StrWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target))
                       : StrWith(IDS_CREATE_FAILED, CTransferPaths::NameOf(target)) + "\r\n" + Str(IDS_SAME_NAME));
        return false;
    case FILE_CANCELLED:
        return false;
    default:
        SetMessage(StrWith(IDS_OPEN_FAILED, CTransferPaths::NameOf(source)));
        return false;
    }
}
