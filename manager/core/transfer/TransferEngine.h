// CTransferEngine: copies a list of files and folders between the PC and the
// player on a worker thread, one item after the other (core/TransferRun.h).
// This is the Windows shell: the worker thread, the status lock, the Win32
// files (WindowsFiles.h) and the process's directory object. The engine never
// touches a window: it reports through a CTransferSink and asks the overwrite
// question through a COverwriteAsker (core/TransferSink.h); the main window's
// adapter for both is CTransferWindowSink in manager/ui/transfer.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "QV_SysCtrl.h"
#include "Sync.h"
#include "TransferRun.h"
#include "TransferTypes.h"
#include "WindowsFiles.h"

class CTransferEngine {
public:
    // sysCtrl is the process's one directory object (owned by the caller,
    // shared with the main window; its operations are serialised inside
    // QV_SysCtrl.dll). Null: the engine tells no directory object.
    explicit CTransferEngine(CQV_SysCtrl* sysCtrl);
    // Cancels and waits for a running worker, handling the messages the
    // worker sends this thread meanwhile.
    virtual ~CTransferEngine();
    CTransferEngine(const CTransferEngine&) = delete;
    CTransferEngine& operator=(const CTransferEngine&) = delete;

    // Set before a start; both are called on the worker thread.
    void SetSink(CTransferSink* sink);
    // Without one an existing target is kept (No).
    void SetOverwriteAsker(COverwriteAsker* asker);
    // Where "CopyTest.mp3" comes from; the program's own folder by default.
    void SetProgramFolder(const std::string& folder);

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

    // Starts the worker in a direction: a download (state 1) tells the
    // directory object about targetFolder first; an upload (state 3) copies
    // in 16 KB chunks whatever the platform class. Returns the worker's
    // thread, which the engine owns, or null when busy or the thread cannot
    // start (the state is then 0).
    HANDLE Start(TRANSFER_DIRECTION direction, const std::string& targetFolder, int mode, int platformClass);

    std::string GetDownloadTarget() const;
    std::string GetUploadTarget() const;

    // Total bytes of the drive holding path (0 when it does not answer after
    // ten attempts); free and total bytes go out when asked for. Values past
    // 4 GB stay at 0xFFFFFFFF: a memory of exactly 4 GB must not read as one
    // that does not answer.
    static std::uint32_t GetDriveSpace(const std::string& path, std::uint32_t* freeBytes, std::uint32_t* totalBytes);

    // Single items and folder trees, as the worker copies them.
    bool DownloadFile(const std::string& source, const std::string& target, int answer);
    bool UploadFile(const std::string& source, const std::string& target, int answer);
    bool CopyFolder(const std::string& source, const std::string& target);
    bool UploadFolder(const std::string& source, const std::string& target);

private:
    class CLock : public CTransferLock {
    public:
        void Lock() override { m_cs.Lock(); }
        void Unlock() override { m_cs.Unlock(); }

    private:
        mb::CCriticalSection m_cs;
    };
    // Shortens the name for display and hands the question on.
    class CShortNames : public COverwriteAsker {
    public:
        int AskOverwrite(const std::string& fileName) override;
        COverwriteAsker* m_asker = nullptr;
    };

    CWindowsFiles m_files;
    CLock m_lock;
    CShortNames m_asker;
    CTransferRun m_run;
    mb::CWorkerThread m_worker;
};
