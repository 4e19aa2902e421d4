// QV_SysCtrl.dll: reads the player's FAT directories by raw sectors and
// rewrites a directory in a given order of names (the player's play order).
#pragma once

#if defined(_WIN32) && !defined(QV_SYSCTRL_STATIC)
#ifdef QV_SYSCTRL_BUILD
#define QV_SYSCTRL_API __declspec(dllexport)
#else
#define QV_SYSCTRL_API __declspec(dllimport)
#endif
#else
#define QV_SYSCTRL_API
#endif

enum QV_RESULT {
    QV_SUCCESS = 0,
    QV_DISK_READ_FAIL = 1,
    QV_DISK_WRITE_FAIL = 2,
    QV_DISK_INFO_ERR = 3,
    QV_NEW_ENTRY_ENPTY = 4,
    QV_FAT_UNSTABLE = 5,
    QV_FILE_NOT_FOUND = 6,
};

class CDirExtent;

class QV_SYSCTRL_API CQV_SysCtrl {
public:
    CQV_SysCtrl();
    CQV_SysCtrl(const CQV_SysCtrl& other);
    ~CQV_SysCtrl();
    CQV_SysCtrl& operator=(const CQV_SysCtrl& other);

    void SetNewMedia();
    QV_RESULT InitDirectory(const char* path);
    void SetFileNum(int n);
    int AddFileName(const char* name);
    QV_RESULT SetFileOrder(const char* path);
    void GetErrorCode(QV_RESULT r, char* text);

protected:
    QV_RESULT GetRootDirInfo(int drive);
    QV_RESULT ReadFAT(unsigned char* buffer, int fatIndex);
    QV_RESULT GetDirSectorInfo(const char* path, CDirExtent* extent);
    QV_RESULT GetNextDirectory(const CDirExtent& current, const char* name, CDirExtent* next);
    int IsRootDirInfoRequired(int drive);
    void InitParameters();

private:
    void FreeNames();
    QV_RESULT ReadGeometryFor(const char* path, bool force);

    // The layout is the one callers allocate: fifteen 32-bit words on the
    // shipped 32-bit build.
    int NewMedia;
    int Drive;
    int BytesPerSector;
    int SectorsPerCluster;
    int ClusterCount;
    int SectorsPerFat;
    int RootEntries;
    int FirstRootSector;
    int RootSectors;
    int Cluster0Sector;
    int FatBits;
    unsigned short SectorsPerTrack;
    // Kept in the word SectorsPerTrack shares: the FATs start after it.
    unsigned short ReservedSectors;
    int Heads;
    char* Names;
    int NameCount;
};

QV_SYSCTRL_API int fnQV_SysCtrl();
extern QV_SYSCTRL_API int nQV_SysCtrl;
