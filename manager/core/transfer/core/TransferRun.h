// CTransferRun: the transfer engine's Windows-free part. It keeps the list,
// the status block and the cancel flag, and runs the list in one direction,
// item after item, with the questions before each item and after each
// failure. Files come through a CTransferFiles, the person at the PC through
// a CTransferSink and a COverwriteAsker; the status block is guarded by a
// CTransferLock the owner supplies (a critical section on Windows).
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "TransferFiles.h"
#include "TransferSink.h"
#include "TransferTypes.h"

enum TRANSFER_DIRECTION : int {
    TRANSFER_TO_PLAYER = 0,  // a download: PC to player, or inside the player
    TRANSFER_TO_PC = 1,      // an upload: player to PC
};

class CTransferLock {
public:
    virtual ~CTransferLock() = default;
    virtual void Lock() = 0;
    virtual void Unlock() = 0;
};

class CTransferRun {
public:
    CTransferRun(CTransferFiles& files, CTransferLock& lock);
    CTransferRun(const CTransferRun&) = delete;
    CTransferRun& operator=(const CTransferRun&) = delete;

    // The list; changed only while no run is busy.
    void ClearFileList();
    void AddFile(const std::string& path);
    int GetFileCount() const;
    std::string GetFilePath(int i) const;  // empty when i is out of range

    // Fills status (when given); true while busy (state 1 or 3).
    bool GetStatus(TRANSFER_STATUS* status) const;
    void Cancel();
    std::string GetTarget(TRANSFER_DIRECTION direction) const;

    // Without a sink, events and messages go nowhere and questions are
    // answered No; without an asker an existing target is kept (No).
    void SetSink(CTransferSink* sink);
    void SetOverwriteAsker(COverwriteAsker* asker);
    // Where "CopyTest.mp3" comes from.
    void SetProgramFolder(const std::string& folder);

    // Claims the run for a worker and sets the busy state; false while busy.
    bool Begin(TRANSFER_DIRECTION direction, const std::string& targetFolder, int mode, int platformClass);
    // The worker's body: runs the whole list, stores and returns the end
    // state (2, 4, 5 or 7).
    int Run();
    // The state after a worker that could not start (0).
    void SetState(int state);

    // Single items and folder trees, as the worker copies them; they use the
    // mode and platform class of the last Begin.
    bool DownloadFile(const std::string& source, const std::string& target, int answer);
    bool UploadFile(const std::string& source, const std::string& target, int answer);
    bool CopyFolder(const std::string& source, const std::string& target);
    bool UploadFolder(const std::string& source, const std::string& target);

private:
    struct TREE_STATE {
        bool incomplete = false;  // a file or link below was left out
        std::string firstLeftOut;
        bool failedBelow = false;  // a subfolder or file could not be written (not a cancel)
        std::string failure;       // the message of the first such failure
    };
    class CHold;
    class CRunStreams;

    int RunList();
    // What deleting an existing target frees at the least.
    std::uint32_t RoomOf(const std::string& path, bool folder);
    // replace: an existing target is written over only once the copy is
    // complete (through a scratch file beside it).
    FILE_RESULT CopyOne(const std::string& source, const std::string& target, bool upload, bool setItemSize,
                        std::uint64_t* length, bool replace = false);
    bool CopyTree(const std::string& source, const std::string& target, bool upload, TREE_STATE& tree);
    // A folder item: in a move, the source goes only when the whole tree came.
    bool CopyFolderItem(const std::string& source, const std::string& target, bool upload);
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
    bool Busy() const;

    std::string Text(unsigned int id) const;
    std::string TextWith(unsigned int id, const std::string& arg) const;
    bool Ask(const std::string& text, TRANSFER_ICON icon) const;
    void Show(const std::string& text) const;
    void Event(TRANSFER_EVENT event, int index, const std::string& path, bool replaced = false) const;
    int AskOverwrite(const std::string& name) const;

    CTransferFiles& m_files;
    CTransferLock& m_lock;
    CTransferSink* m_sink = nullptr;
    COverwriteAsker* m_asker = nullptr;

    // Guarded by m_lock.
    std::vector<std::string> m_list;
    TRANSFER_STATUS m_status;
    std::string m_message;
    std::string m_uploadTarget;
    std::string m_downloadTarget;

    // Set by Begin, read by the worker.
    TRANSFER_DIRECTION m_direction = TRANSFER_TO_PLAYER;
    int m_mode = 0;
    int m_platformClass = 0;
    std::string m_programFolder;

    std::atomic<int> m_cancel{0};
    // The worker's own.
    std::string m_extension;  // the current item's extension
    std::vector<unsigned char> m_buffer;
};
