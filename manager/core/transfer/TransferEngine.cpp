#include "TransferEngine.h"

#include "TransferPaths.h"
#include "fileutil/FileUtil.h"

namespace {

std::string ModuleFolder()
{
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD got = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (got == 0)
            return std::string();
        if (got < path.size()) {
            path.resize(got);
            break;
        }
        path.resize(path.size() * 2);
    }
    return CTransferPaths::FolderOf(path);
}

}  // namespace

int CTransferEngine::CShortNames::AskOverwrite(const std::string& fileName)
{
    return m_asker ? m_asker->AskOverwrite(CFileUtil::ShortenName(fileName, 53)) : OVERWRITE_NO;
}

CTransferEngine::CTransferEngine(CQV_SysCtrl* sysCtrl) : m_files(sysCtrl), m_run(m_files, m_lock)
{
    m_run.SetOverwriteAsker(&m_asker);
    m_run.SetProgramFolder(ModuleFolder());
}

CTransferEngine::~CTransferEngine()
{
    if (m_worker.Joinable()) {
        Cancel();
        // The worker may be sending its owner a message on this very thread:
        // handle sent messages while waiting, or both would wait for ever.
        HANDLE thread = m_worker.Handle();
        while (MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
        }
        m_worker.Join();
    }
}

void CTransferEngine::SetSink(CTransferSink* sink) { m_run.SetSink(sink); }
void CTransferEngine::SetOverwriteAsker(COverwriteAsker* asker) { m_asker.m_asker = asker; }
void CTransferEngine::SetProgramFolder(const std::string& folder) { m_run.SetProgramFolder(folder); }
void CTransferEngine::ClearFileList() { m_run.ClearFileList(); }
void CTransferEngine::AddFile(const std::string& path) { m_run.AddFile(path); }
int CTransferEngine::GetFileCount() const { return m_run.GetFileCount(); }
std::string CTransferEngine::GetFileName(int i) const { return CTransferPaths::NameOf(m_run.GetFilePath(i)); }
std::string CTransferEngine::GetFilePath(int i) const { return m_run.GetFilePath(i); }
bool CTransferEngine::GetStatus(TRANSFER_STATUS* status) const { return m_run.GetStatus(status); }
void CTransferEngine::Cancel() { m_run.Cancel(); }
std::string CTransferEngine::GetDownloadTarget() const { return m_run.GetTarget(TRANSFER_TO_PLAYER); }
std::string CTransferEngine::GetUploadTarget() const { return m_run.GetTarget(TRANSFER_TO_PC); }

HANDLE CTransferEngine::Start(TRANSFER_DIRECTION direction, const std::string& targetFolder, int mode,
                              int platformClass)
{
    if (!m_run.Begin(direction, targetFolder, mode, platformClass))
        return nullptr;
    // The previous worker has ended: its state is no longer busy.
    m_worker.Join();
    if (direction == TRANSFER_TO_PLAYER)
        m_files.RefreshDirectory(targetFolder);
    if (!m_worker.Start([this] { m_run.Run(); })) {
        m_run.SetState(TRANSFER_IDLE);
        return nullptr;
    }
    return m_worker.Handle();
}

std::uint32_t CTransferEngine::GetDriveSpace(const std::string& path, std::uint32_t* freeBytes,
                                             std::uint32_t* totalBytes)
{
    CWindowsFiles files(nullptr);
    return files.DriveSpace(path, freeBytes, totalBytes);
}

bool CTransferEngine::DownloadFile(const std::string& source, const std::string& target, int answer)
{
    return m_run.DownloadFile(source, target, answer);
}

bool CTransferEngine::UploadFile(const std::string& source, const std::string& target, int answer)
{
    return m_run.UploadFile(source, target, answer);
}

bool CTransferEngine::CopyFolder(const std::string& source, const std::string& target)
{
    return m_run.CopyFolder(source, target);
}

bool CTransferEngine::UploadFolder(const std::string& source, const std::string& target)
{
    return m_run.UploadFolder(source, target);
}
