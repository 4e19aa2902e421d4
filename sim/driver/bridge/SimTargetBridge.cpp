#include "SimTargetBridge.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include "Sync.h"
#include <new>
#include <string>

#include "simscsi/SimPlayerTarget.h"

using namespace vilosim;

namespace {

// Requests reach the driver on several threads; the target is replaced at a
// reset, so every use of it goes through this one lock.
mb::CCriticalSection* g_lock;
CSimPlayerTarget* g_target;
CSimRecoveryDevice* g_recovery;
std::string* g_imagePath;

std::string NarrowPath(const wchar_t* path, uint32_t chars)
{
    if (!chars)
        return std::string();
    int bytes = WideCharToMultiByte(CP_ACP, 0, path, int(chars), nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return std::string();
    std::string narrow(size_t(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, path, int(chars), &narrow[0], bytes, nullptr, nullptr);
    return narrow;
}

} // namespace

extern "C" {

bool SimBridgeStart()
{
    try {
        g_lock = new mb::CCriticalSection;
        g_target = new CSimPlayerTarget;
        g_recovery = new CSimRecoveryDevice;
        g_imagePath = new std::string;
        return true;
    } catch (...) {
        return false;
    }
}

void SimBridgeStop()
{
    delete g_target;
    delete g_recovery;
    delete g_imagePath;
    delete g_lock;
    g_target = nullptr;
    g_recovery = nullptr;
    g_imagePath = nullptr;
    g_lock = nullptr;
}

bool SimBridgeReset()
{
    try {
        mb::CSingleLock lock(*g_lock);
        auto target = std::make_unique<CSimPlayerTarget>();
        if (!g_imagePath->empty())
            target->AttachDataImage(*g_imagePath);
        auto recovery = std::make_unique<CSimRecoveryDevice>();
        delete g_target;
        g_target = target.release();
        delete g_recovery;
        g_recovery = recovery.release();
        return true;
    } catch (...) {
        return false;
    }
}

bool SimBridgeAttachImage(const wchar_t* path, uint32_t chars)
{
    try {
        mb::CSingleLock lock(*g_lock);
        std::string narrow = NarrowPath(path, chars);
        // A player plugged in anew: a fresh target on the file as it is now
        // (a test may have made a new image at the same path); the faults
        // set for the player stay.
        auto target = std::make_unique<CSimPlayerTarget>();
        target->faults = g_target->faults;
        if (!narrow.empty() && !target->AttachDataImage(narrow))
            return false;
        delete g_target;
        g_target = target.release();
        *g_imagePath = narrow;
        return true;
    } catch (...) {
        return false;
    }
}

bool SimBridgeExecute(const uint8_t* cdb, uint32_t cdbLength, bool dataIn, uint8_t* data, uint32_t dataLength,
                      uint8_t* status, uint8_t* sense, uint32_t* transferred)
{
    try {
        mb::CSingleLock lock(*g_lock);
        size_t moved = 0;
        *status = g_target->Execute(cdb, cdbLength, dataIn, data, dataLength, sense, &moved);
        *transferred = uint32_t(moved);
        return true;
    } catch (...) {
        return false;
    }
}

bool SimBridgeLock()
{
    try {
        mb::CSingleLock lock(*g_lock);
        return g_target->Lock();
    } catch (...) {
        return false;
    }
}

bool SimBridgeUnlock()
{
    try {
        mb::CSingleLock lock(*g_lock);
        return g_target->Unlock();
    } catch (...) {
        return false;
    }
}

bool SimBridgeDismount()
{
    try {
        mb::CSingleLock lock(*g_lock);
        return g_target->Dismount();
    } catch (...) {
        return false;
    }
}

void SimBridgeMediaRemoval(bool prevent)
{
    try {
        mb::CSingleLock lock(*g_lock);
        g_target->MediaRemoval(prevent);
    } catch (...) {
    }
}

bool SimBridgeEject()
{
    try {
        mb::CSingleLock lock(*g_lock);
        return g_target->Eject();
    } catch (...) {
        return false;
    }
}

void SimBridgeSetDriveLayout(const uint8_t* bytes, uint32_t length)
{
    try {
        mb::CSingleLock lock(*g_lock);
        g_target->SetDriveLayout(bytes, length);
    } catch (...) {
    }
}

void SimBridgeSetFaults(const SimScsiFaults* in)
{
    mb::CSingleLock lock(*g_lock);
    SimFaults& f = g_target->faults;
    f.checkCondition = in->CheckCondition != 0;
    f.checkOpcode = uint8_t(in->CheckOpcode);
    f.checkSubcommand = uint8_t(in->CheckSubcommand);
    f.senseKey = uint8_t(in->SenseKey);
    f.statusCode = uint16_t(in->StatusCode);
    f.unreadableTable = in->UnreadableTable != 0;
    f.corruptReadBack = in->CorruptReadBack != 0;
    f.busyLocks = in->BusyLocks;
    f.undersizedAllocation = in->UndersizedAllocation != 0;
    f.zeroSectorSize = in->ZeroSectorSize != 0;
    f.zeroBlockLength = in->ZeroBlockLength != 0;
    f.tableCount = uint16_t(in->TableCount);
    f.notPlayer = in->NotPlayer != 0;
}

uint32_t SimBridgeLog(SimScsiRecord* out, uint32_t capacity)
{
    try {
        mb::CSingleLock lock(*g_lock);
        std::vector<SimRecord> log = g_target->Log();
        for (size_t i = 0; i < log.size() && i < capacity; ++i) {
            SimScsiRecord record = {};
            record.Kind = uint32_t(log[i].kind);
            record.Opcode = log[i].opcode;
            record.Subcommand = log[i].subcommand;
            record.Drive = log[i].drive;
            record.Count = log[i].count;
            record.Lba = log[i].lba;
            out[i] = record;
        }
        return uint32_t(log.size());
    } catch (...) {
        return 0;
    }
}

void SimBridgeClearLog()
{
    mb::CSingleLock lock(*g_lock);
    g_target->ClearLog();
}

uint32_t SimBridgeLayout(uint8_t* out, uint32_t capacity)
{
    try {
        mb::CSingleLock lock(*g_lock);
        std::vector<uint8_t> layout = g_target->LastLayout();
        size_t n = std::min<size_t>(layout.size(), capacity);
        if (n)
            std::memcpy(out, layout.data(), n);
        return uint32_t(layout.size());
    } catch (...) {
        return 0;
    }
}

void SimBridgeSetRecovery(const SimRecoveryConfig* config)
{
    try {
        mb::CSingleLock lock(*g_lock);
        auto device = std::make_unique<CSimRecoveryDevice>();
        device->expectedSize = config->ExpectedSize;
        device->delayMs = config->DelayMs;
        device->shortBy = config->ShortBy;
        device->neverComplete = config->NeverComplete != 0;
        delete g_recovery;
        g_recovery = device.release();
    } catch (...) {
    }
}

uint32_t SimBridgeRecoveryWrite(const uint8_t* data, uint32_t length, bool* playerBack)
{
    try {
        mb::CSingleLock lock(*g_lock);
        uint32_t bytes = g_recovery->Write(data, length);
        *playerBack = g_recovery->PlayerBack();
        return bytes;
    } catch (...) {
        *playerBack = false;
        return 0;
    }
}

uint32_t SimBridgeRecoveryState(SimRecoveryState* state, uint8_t* received, uint32_t capacity)
{
    try {
        mb::CSingleLock lock(*g_lock);
        std::vector<uint32_t> lengths = g_recovery->WriteLengths();
        std::vector<uint8_t> bytes = g_recovery->Received();
        state->Writes = uint32_t(lengths.size());
        state->Received = uint32_t(bytes.size());
        state->PlayerBack = g_recovery->PlayerBack() ? 1 : 0;
        for (size_t i = 0; i < lengths.size() && i < SIM_RECOVERY_MAX_WRITES; ++i)
            state->Lengths[i] = lengths[i];
        size_t n = std::min<size_t>(bytes.size(), capacity);
        if (n)
            std::memcpy(received, bytes.data(), n);
        return uint32_t(n);
    } catch (...) {
        return 0;
    }
}

} // extern "C"
