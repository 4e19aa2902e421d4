// CTransferEngine: copies a list of files and folders between the PC and the
// player on a worker thread, one item after the other, asking before it
// overwrites, checking the player's free space before each download item, and
// telling its owner window about every item (TransferTypes.h).
//
// The engine knows its owner only as a window handle: message boxes go
// through the platform's prompter (mb::ShowMessage) and the overwrite
// question through a COverwriteAsker, so the engine runs without the main
// dialog.
#pragma once

#include <windows.h>

#include <cstdint>
#include "Sync.h"
#include <string>
#include <vector>

#include "QV_SysCtrl.h"
#include "TransferTypes.h"

// winbase.h keeps a 16-bit leftover of this name as a macro.
#ifdef GetFreeSpace
#undef GetFreeSpace
#endif

class CQuorvane_Voice;

// The overwrite question, shown on the worker thread. Returns an
// OVERWRITE_ANSWER (0 Yes, 1 Yes to all, 2 No, 3 Cancel) for the file name,
// already shortened for display.
class COverwriteAsker {
public:
    virtual ~COverwriteAsker() = default;
    virtual int AskOverwrite(HWND owner, const std::string& fileName) = 0;
};

class CTransferEngine {
public:
    CTransferEngine();
    // Waits for a running worker, which the destruction cancels.
    virtual ~CTransferEngine();
    CTransferEngine(const CTransferEngine&) = delete;
    CTransferEngine& operator=(const CTransferEngine&) = delete;

    // The list is only changed while no worker runs.
    void ClearFileList();
    void AddFile(const std::string& path);
    int GetFileCount() const;
    // The name part of entry i, empty when i is out of range.
    std::string GetFileName(int i) const;
    std::string GetFilePath(int i) const;

    // Fills status (when given) and returns true while a worker runs.
    bool GetStatus(TRANSFER_STATUS* status) const;
    void Cancel();

    // Starts the download worker (state 1). Returns the worker's thread,
    // which the engine owns, or null when busy or the thread cannot start.
    HANDLE Start(const std::string& targetFolder, int mode, HWND owner, int platformClass);
    // The same for an upload (state 3); uploads always copy in 16 KB chunks.
    HANDLE StartUpload(const std::string& targetFolder, int mode, HWND owner);

    std::string GetDownloadTarget() const;
    std::string GetUploadTarget() const;

    // The overwrite question; without one an existing target is kept (No).
    void SetOverwriteAsker(COverwriteAsker* asker);
    // Where "CopyTest.mp3" comes from; the program's own folder by default.
    void SetProgramFolder(const std::string& folder);

    // Total bytes of the drive holding path (0 when it does not answer after
    // ten attempts); free and total bytes go out when asked for. Values past
    // 4 GB stay at 0xFFFFFFFF: a memory of exactly 4 GB must not read as one
    // that does not answer.
    static std::uint32_t GetFreeSpace(const std::string& path, std::uint32_t* freeBytes, std::uint32_t* totalBytes);

    // Single items and folder trees; run on the worker thread.
    bool CopyFile(const std::string& source, const std::string& target, int answer, HWND owner);
    bool UploadFile(const std::string& source, const std::string& target, int answer, HWND owner);
    bool CopyFolder(const std::string& source, const std::string& target, int answer, HWND owner);
    bool UploadFolder(const std::string& source, const std::string& target, int answer, HWND owner);

protected:
    int RunDownload();
    int RunUpload();

private:
    enum FILE_RESULT { FILE_DONE, FILE_OPEN_FAILED, FILE_CREATE_FAILED, FILE_READ_FAILED, FILE_WRITE_FAILED,
                       FILE_REPLACE_FAILED, FILE_CANCELLED };
    struct TREE_STATE {
        bool cancelled = false;
        bool incomplete = false;  // a file or link below was left out
        std::string firstLeftOut;
    };
    class CFileStreams;

    static DWORD WINAPI DownloadThread(void* self);
    static DWORD WINAPI UploadThread(void* self);
    HANDLE StartWorker(LPTHREAD_START_ROUTINE routine, int busyState);

    // One file: chunked, counted, with the cancel question; an upload writes a
    // scratch copy that replaces the target only when complete.
    FILE_RESULT CopyOne(const std::string& source, const std::string& target, bool upload, bool setItemSize,
                        std::uint64_t* length);
    bool CopyTree(const std::string& source, const std::string& target, bool upload, TREE_STATE& tree);
    // A folder item: in a move, the source goes only when the whole tree came.
    bool CopyFolderItem(const std::string& source, const std::string& target, int answer, bool upload);
    void CopyTestFile();

    bool CancelSet() const;
    bool TakeCancel();
    void ClearCancel();
    void SetMessage(const std::string& text);
    std::string Message() const;
    void BeginItem(int number, const std::string& path);
    void SetItemSize(std::uint32_t size);
    void AddProgress(std::uint32_t bytes);
    std::uint32_t RunBytesDone() const;
    void SetRunBytesDone(std::uint32_t bytes);
    void SetState(int state);
    int Mode() const { return m_mode; }

    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) const;
    void Post(UINT msg, WPARAM wp, LPARAM lp) const;
    int Ask(const std::string& text, UINT icon) const;
    void Show(const std::string& text) const;
    int AskOverwrite(const std::string& name);
    void RefreshDirectory(const std::string& folder);

    std::string m_scratch;
    std::string m_message;
    volatile LONG m_cancel = 0;
    std::vector<std::string> m_files;
    CQuorvane_Voice* m_voice = nullptr;
    std::string m_uploadTarget;
    std::string m_downloadTarget;
    HWND m_owner = nullptr;
    int m_mode = 0;
    int m_platformClass = 0;
    TRANSFER_STATUS m_status;  // progress block, current item text, state

    mutable mb::CCriticalSection m_lock;
    HANDLE m_thread = nullptr;
    COverwriteAsker* m_asker = nullptr;
    std::string m_programFolder;
    CQV_SysCtrl m_sysCtrl;
    std::vector<unsigned char> m_buffer;
    unsigned int m_scratchSerial = 0;
};
