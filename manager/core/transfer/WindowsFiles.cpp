#include "WindowsFiles.h"

#include <cstring>

#include "ChunkCopy.h"
#include "TransferPaths.h"
#include "fileutil/FileUtil.h"

namespace {

std::string WithBackslash(const std::string& folder)
{
    if (folder.empty() || folder.back() == '\\')
        return folder;
    return folder + "\\";
}

class CWin32Copy : public CFileCopy {
public:
    CWin32Copy(HANDLE in, HANDLE out, std::uint64_t length, std::string writePath, std::string target, bool scratch)
        : m_in(in), m_out(out), m_length(length), m_writePath(std::move(writePath)), m_target(std::move(target)),
          m_scratch(scratch)
    {
    }
    ~CWin32Copy() override
    {
        if (m_in != INVALID_HANDLE_VALUE)
            Finish(false);
    }

    std::uint64_t Length() const override { return m_length; }
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
    FILE_RESULT Finish(bool complete) override
    {
        bool kept = complete;
        if (!CloseHandle(m_out))
            kept = false;
        CloseHandle(m_in);
        m_in = m_out = INVALID_HANDLE_VALUE;
        if (!kept) {
            DeleteFileA(m_writePath.c_str());
            return FILE_WRITE_FAILED;
        }
        if (m_scratch && !CWindowsFiles::MoveOver(m_writePath, m_target, CWindowsFiles::IsNt())) {
            DeleteFileA(m_writePath.c_str());
            return FILE_REPLACE_FAILED;
        }
        return FILE_DONE;
    }

private:
    HANDLE m_in;
    HANDLE m_out;
    std::uint64_t m_length;
    std::string m_writePath;
    std::string m_target;
    bool m_scratch;
};

}  // namespace

bool CWindowsFiles::IsNt() { return (GetVersion() & 0x80000000u) == 0; }

bool CWindowsFiles::MoveOver(const std::string& from, const std::string& target, bool nt)
{
    if (nt) {
        // Looked up, so that the import table holds nothing 98 and ME lack.
        using MoveEx = BOOL(WINAPI*)(const char*, const char*, DWORD);
        auto moveEx = reinterpret_cast<MoveEx>(
            reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "MoveFileExA")));
        if (moveEx)
            return moveEx(from.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
    }
    if (GetFileAttributesA(target.c_str()) != INVALID_FILE_ATTRIBUTES && !DeleteFileA(target.c_str()))
        return false;
    return MoveFileA(from.c_str(), target.c_str()) != 0;
}

bool CWindowsFiles::Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

bool CWindowsFiles::IsFolder(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::uint32_t CWindowsFiles::ItemSize(const std::string& path, bool folder)
{
    if (folder)
        return CFileUtil::GetFolderSize(path);
    DWORD size = 0;
    SYSTEMTIME time;
    CFileUtil::GetFileSizeAndTime(path, size, time);
    return size;
}

bool CWindowsFiles::DeleteItem(const std::string& path, bool folder)
{
    return folder ? CFileUtil::DeleteToRecycleBin(path) : DeleteFileA(path.c_str()) != 0;
}

bool CWindowsFiles::RemoveFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }

bool CWindowsFiles::MakeFolder(const std::string& path) { return CreateDirectoryA(path.c_str(), nullptr) != 0; }

bool CWindowsFiles::ListFolder(const std::string& folder, std::vector<FOLDER_ENTRY>& entries)
{
    entries.clear();
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA(CTransferPaths::Join(folder, "*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_NOT_FOUND || error == ERROR_NO_MORE_FILES;
    }
    do {
        if (!std::strcmp(found.cFileName, ".") || !std::strcmp(found.cFileName, ".."))
            continue;
        FOLDER_ENTRY entry;
        entry.Name = found.cFileName;
        entry.Folder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        entry.Link = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        entries.push_back(entry);
    } while (FindNextFileA(find, &found));
    FindClose(find);
    return true;
}

std::uint32_t CWindowsFiles::DriveSpace(const std::string& path, std::uint32_t* freeBytes, std::uint32_t* totalBytes)
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

std::uint32_t CWindowsFiles::ClusterBytes(const std::string& path)
{
    std::string root = CTransferPaths::RootOf(path);
    if (root.empty())
        root = WithBackslash(path);
    DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
    if (!GetDiskFreeSpaceA(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters, &clusters))
        return 0;
    const std::uint64_t bytes = static_cast<std::uint64_t>(sectorsPerCluster) * bytesPerSector;
    return bytes > 0x100000 ? 0 : static_cast<std::uint32_t>(bytes);
}

void CWindowsFiles::RefreshDirectory(const std::string& folder)
{
    // The player's order writer reads directories by raw sectors; what it
    // remembers of this folder is stale after every change here.
    if (m_sysCtrl)
        m_sysCtrl->InitDirectory(WithBackslash(folder).c_str());
}

FILE_RESULT CWindowsFiles::OpenCopy(const std::string& source, const std::string& target, bool viaScratch,
                                    std::unique_ptr<CFileCopy>& copy)
{
    // Others may read the source meanwhile, but nobody may change it.
    HANDLE in = CreateFileA(source.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return FILE_OPEN_FAILED;
    DWORD high = 0;
    SetLastError(NO_ERROR);
    const DWORD low = GetFileSize(in, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) {
        CloseHandle(in);
        return FILE_OPEN_FAILED;
    }
    const std::uint64_t length = (static_cast<std::uint64_t>(high) << 32) | low;

    std::string writePath = target;
    HANDLE out = INVALID_HANDLE_VALUE;
    if (viaScratch) {
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
    copy.reset(new CWin32Copy(in, out, length, writePath, target, viaScratch));
    return FILE_DONE;
}
