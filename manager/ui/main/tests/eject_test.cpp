// The volume release of both Windows lines, through recorded calls: the order
// of the lock, dismount and eject requests, and what a refusal does.
#include <windows.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "PlayerCalls.h"

namespace {

HANDLE const kVolume = reinterpret_cast<HANDLE>(0x4321);

// The NT line: a volume whose lock fails a given number of times.
class CRecordedVolume : public CPlayerCalls {
public:
    UINT DriveType = DRIVE_REMOVABLE;
    int LockFailures = 0;
    bool DismountWorks = true;
    std::vector<std::string> Log;

    UINT GetDriveTypeA(const char* root) override
    {
        Log.push_back(std::string("type ") + root);
        return DriveType;
    }
    HANDLE CreateFileA(const char* name, DWORD access, DWORD, DWORD, DWORD) override
    {
        Log.push_back(std::string("open ") + name + ((access & GENERIC_WRITE) ? " rw" : " r"));
        return kVolume;
    }
    BOOL DeviceIoControl(HANDLE h, DWORD code, void* in, DWORD inSize, void*, DWORD, DWORD*) override
    {
        EXPECT_EQ(kVolume, h);
        switch (code) {
        case FSCTL_LOCK_VOLUME:
            Log.push_back("lock");
            return LockFailures-- > 0 ? FALSE : TRUE;
        case FSCTL_DISMOUNT_VOLUME:
            Log.push_back("dismount");
            return DismountWorks;
        case IOCTL_STORAGE_MEDIA_REMOVAL:
            EXPECT_EQ(1u, inSize);
            Log.push_back(std::string("allow removal ") + (static_cast<BYTE*>(in)[0] ? "no" : "yes"));
            return TRUE;
        case IOCTL_STORAGE_EJECT_MEDIA:
            Log.push_back("eject");
            return TRUE;
        }
        Log.push_back("code " + std::to_string(code));
        return FALSE;
    }
    BOOL CloseHandle(HANDLE) override
    {
        Log.push_back("close");
        return TRUE;
    }
    void Sleep(DWORD ms) override { Log.push_back("sleep " + std::to_string(ms)); }
};

// The 95/98/ME line: vwin32's DOS IOCTL, answering each call in turn.
struct DIOC_REGISTERS {
    DWORD Ebx, Edx, Ecx, Eax, Edi, Esi, Flags;
};

class CRecordedVwin32 : public CPlayerCalls {
public:
    // Per call in order: carry set and the error code in AX; past the end,
    // every call succeeds.
    std::vector<std::pair<bool, WORD>> Answers;
    std::vector<std::string> Log;

    HANDLE CreateFileA(const char* name, DWORD, DWORD, DWORD, DWORD flags) override
    {
        Log.push_back(std::string("open ") + name + (flags & FILE_FLAG_DELETE_ON_CLOSE ? " delete-on-close" : ""));
        return kVolume;
    }
    BOOL DeviceIoControl(HANDLE, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD*) override
    {
        EXPECT_EQ(1u, code);
        EXPECT_EQ(28u, inSize);
        EXPECT_EQ(28u, outSize);
        auto* regs = static_cast<DIOC_REGISTERS*>(in);
        char text[64];
        wsprintfA(text, "%04lX bx=%lX cx=%04lX", regs->Eax, regs->Ebx, regs->Ecx);
        Log.push_back(text);
        const size_t index = Log.size() - 2;
        auto* answer = static_cast<DIOC_REGISTERS*>(out);
        answer->Flags = 0;
        if (index < Answers.size() && Answers[index].first) {
            answer->Flags = 1;
            answer->Eax = Answers[index].second;
        }
        return TRUE;
    }
    BOOL CloseHandle(HANDLE) override
    {
        Log.push_back("close");
        return TRUE;
    }
};

typedef std::vector<std::string> Lines;

}  // namespace

TEST(EjectNt, LockAndDismountOnlyWithoutTheEjectFlag)
{
    CRecordedVolume v;
    EXPECT_TRUE(EjectVolumeNT(v, 'K', false));
    EXPECT_EQ((Lines{"type K:\\", "open \\\\.\\K: rw", "lock", "dismount", "close"}), v.Log);
}

TEST(EjectNt, EjectAllowsRemovalFirstAfterABusyLock)
{
    CRecordedVolume v;
    v.LockFailures = 2;
    EXPECT_TRUE(EjectVolumeNT(v, 'O', true));
    EXPECT_EQ((Lines{"type O:\\", "open \\\\.\\O: rw", "lock", "sleep 100", "lock", "sleep 100", "lock", "dismount",
                     "allow removal yes", "eject", "close"}),
              v.Log);
}

TEST(EjectNt, RefusalsAndFailures)
{
    {
        CRecordedVolume fixed;
        fixed.DriveType = DRIVE_FIXED;
        EXPECT_FALSE(EjectVolumeNT(fixed, 'C', true));
        EXPECT_EQ((Lines{"type C:\\"}), fixed.Log);  // never opened
    }
    {
        CRecordedVolume cd;
        cd.DriveType = DRIVE_CDROM;
        EXPECT_TRUE(EjectVolumeNT(cd, 'D', false));
        EXPECT_EQ("open \\\\.\\D: r", cd.Log[1]);
    }
    {
        // Held by another program: ten attempts, then false, no dismount.
        CRecordedVolume busy;
        busy.LockFailures = 1000;
        EXPECT_FALSE(EjectVolumeNT(busy, 'K', true));
        int locks = 0, sleeps = 0;
        for (const std::string& line : busy.Log) {
            locks += line == "lock";
            sleeps += line == "sleep 100";
            EXPECT_NE("dismount", line);
            EXPECT_NE("eject", line);
        }
        EXPECT_EQ(10, locks);
        EXPECT_EQ(10, sleeps);
        EXPECT_EQ("close", busy.Log.back());
    }
    {
        // A failed dismount fails the release and ejects nothing.
        CRecordedVolume stuck;
        stuck.DismountWorks = false;
        EXPECT_FALSE(EjectVolumeNT(stuck, 'K', true));
        EXPECT_EQ((Lines{"type K:\\", "open \\\\.\\K: rw", "lock", "dismount", "close"}), stuck.Log);
    }
}

TEST(Eject9x, LockUnlockMediaUnlockVolumeInOrder)
{
    CRecordedVwin32 v;
    EXPECT_TRUE(EjectVolume9x(v, 'k', false));
    EXPECT_EQ((Lines{"open \\\\.\\vwin32 delete-on-close", "440D bx=B cx=484A", "440D bx=B cx=0848",
                     "440D bx=B cx=486A", "close"}),
              v.Log);
}

TEST(Eject9x, FallsBackToTheSecondCategoryAndEjects)
{
    CRecordedVwin32 v;
    // The 0x48 lock fails, 0x08 works; the lock status says "not locked"
    // (0xB0), which lets the medium go.
    v.Answers = {{true, 0x05}, {false, 0}, {true, 0xB0}};
    EXPECT_TRUE(EjectVolume9x(v, 'E', true));
    EXPECT_EQ((Lines{"open \\\\.\\vwin32 delete-on-close", "440D bx=5 cx=484A", "440D bx=5 cx=084A",
                     "440D bx=5 cx=0848", "440D bx=5 cx=0849", "440D bx=5 cx=486A", "close"}),
              v.Log);
}

TEST(Eject9x, FailuresStillUnlockTheVolume)
{
    {
        // Neither lock category: nothing else is asked.
        CRecordedVwin32 v;
        v.Answers = {{true, 0x05}, {true, 0x05}};
        EXPECT_FALSE(EjectVolume9x(v, 'E', true));
        EXPECT_EQ((Lines{"open \\\\.\\vwin32 delete-on-close", "440D bx=5 cx=484A", "440D bx=5 cx=084A", "close"}),
                  v.Log);
    }
    {
        // The lock status fails with another error: no eject, the volume is
        // unlocked all the same.
        CRecordedVwin32 v;
        v.Answers = {{false, 0}, {true, 0x1F}};
        EXPECT_FALSE(EjectVolume9x(v, 'E', true));
        EXPECT_EQ((Lines{"open \\\\.\\vwin32 delete-on-close", "440D bx=5 cx=484A", "440D bx=5 cx=0848",
                         "440D bx=5 cx=486A", "close"}),
                  v.Log);
    }
    {
        // A failed eject fails the call.
        CRecordedVwin32 v;
        v.Answers = {{false, 0}, {false, 0}, {true, 0x1F}};
        EXPECT_FALSE(EjectVolume9x(v, 'E', true));
        EXPECT_EQ("440D bx=5 cx=0849", v.Log[3]);
        EXPECT_EQ("440D bx=5 cx=486A", v.Log[4]);
    }
}
