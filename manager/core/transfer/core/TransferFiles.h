// The files a transfer run works on, as the run sees them. The engine binds
// this to the Win32 file calls and the player's directory object
// (WindowsFiles.cpp); the native tests bind it to a tree in memory.
// Windows-free; no name here is one of the Win32 macros (CopyFile,
// DeleteFile, GetFreeSpace, ...), so the Windows side can implement it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

enum FILE_RESULT : int {
    FILE_DONE = 0,
    FILE_OPEN_FAILED = 1,
    FILE_CREATE_FAILED = 2,
    FILE_READ_FAILED = 3,
    FILE_WRITE_FAILED = 4,
    FILE_REPLACE_FAILED = 5,
    FILE_CANCELLED = 6,
};

// One open copy of a file: its source opened for reading (others may read it,
// nobody may change it) and its target written. An upload (and a download
// that replaces a file while the memory holds both) writes a scratch file
// beside the target that replaces the target only when complete, so a failed
// copy never costs the user the old file.
class CFileCopy {
public:
    virtual ~CFileCopy() = default;
    virtual std::uint64_t Length() const = 0;
    // Bytes read (at most want), 0 at the end, -1 on failure.
    virtual std::int64_t Read(void* buffer, std::uint32_t want) = 0;
    virtual bool Write(const void* buffer, std::uint32_t size) = 0;
    virtual bool Flush() = 0;
    // Closes both files. complete keeps what was written (a scratch file then
    // replaces the target); otherwise the written file is deleted.
    // FILE_DONE, FILE_WRITE_FAILED (the target would not close) or
    // FILE_REPLACE_FAILED; a failed finish deletes what it wrote, too.
    virtual FILE_RESULT Finish(bool complete) = 0;
};

struct FOLDER_ENTRY {
    std::string Name;
    bool Folder = false;
    bool Link = false;  // a link or junction, which a tree copy never follows
};

class CTransferFiles {
public:
    virtual ~CTransferFiles() = default;
    virtual bool Exists(const std::string& path) = 0;
    virtual bool IsFolder(const std::string& path) = 0;
    // A file's size, or the sum of a folder's files, in 32 bits.
    virtual std::uint32_t ItemSize(const std::string& path, bool folder) = 0;
    // A folder goes to the recycle bin, a file is deleted.
    virtual bool DeleteItem(const std::string& path, bool folder) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
    virtual bool MakeFolder(const std::string& path) = 0;
    // The entries of a folder in the file system's order, without "." and
    // "..". False when the folder cannot be read (an empty folder is true).
    virtual bool ListFolder(const std::string& folder, std::vector<FOLDER_ENTRY>& entries) = 0;
    // Total bytes of the drive holding path, 0 when it does not answer; free
    // and total bytes go out when asked for. Values stop at 0xFFFFFFFF.
    virtual std::uint32_t DriveSpace(const std::string& path, std::uint32_t* freeBytes, std::uint32_t* totalBytes) = 0;
    // Bytes of one allocation unit of the drive holding path (what deleting
    // a file frees is its size rounded up to these); 0 when unknown.
    virtual std::uint32_t ClusterBytes(const std::string& path) { return 0; }
    // What the player's directory object remembers of folder is stale.
    virtual void RefreshDirectory(const std::string& folder) = 0;
    // Opens source and creates target (viaScratch: a scratch file beside it
    // that replaces it once complete). On failure
    // returns FILE_OPEN_FAILED (source) or FILE_CREATE_FAILED (target).
    virtual FILE_RESULT OpenCopy(const std::string& source, const std::string& target, bool viaScratch,
                                 std::unique_ptr<CFileCopy>& copy) = 0;
};
