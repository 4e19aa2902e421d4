// The transfer run's files on Windows: the Win32 file calls of every system
// the suite supports (no GetFileSizeEx or MoveFileEx on 98/ME), the shell's
// recycle bin for folders, and the player's directory object, which the run
// tells about every folder it changes.
#pragma once

#include <windows.h>

#include "QV_SysCtrl.h"
#include "TransferFiles.h"

class CWindowsFiles : public CTransferFiles {
public:
    // sysCtrl is the process's one directory object, shared with the main
    // window and owned by the caller; null leaves it uninformed.
    explicit CWindowsFiles(CQV_SysCtrl* sysCtrl) : m_sysCtrl(sysCtrl) {}

    bool Exists(const std::string& path) override;
    bool IsFolder(const std::string& path) override;
    std::uint32_t ItemSize(const std::string& path, bool folder) override;
    bool DeleteItem(const std::string& path, bool folder) override;
    bool RemoveFile(const std::string& path) override;
    bool MakeFolder(const std::string& path) override;
    bool ListFolder(const std::string& folder, std::vector<FOLDER_ENTRY>& entries) override;
    std::uint32_t DriveSpace(const std::string& path, std::uint32_t* freeBytes, std::uint32_t* totalBytes) override;
    std::uint32_t ClusterBytes(const std::string& path) override;
    void RefreshDirectory(const std::string& folder) override;
    FILE_RESULT OpenCopy(const std::string& source, const std::string& target, bool viaScratch,
                         std::unique_ptr<CFileCopy>& copy) override;

    // Moves a complete scratch file over target. Windows 2000 and XP replace
    // in one call; 95, 98 and ME lack MoveFileEx, so the old target is
    // deleted first there.
    static bool MoveOver(const std::string& from, const std::string& target, bool nt);
    static bool IsNt();

private:
    CQV_SysCtrl* m_sysCtrl;
    unsigned int m_scratchSerial = 0;
};
