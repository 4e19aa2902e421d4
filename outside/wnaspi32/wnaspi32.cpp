// WNASPI32.DLL stand-in: ASPI does not exist on the machines we build and test
// on, so this DLL answers the three requests the updater makes and carries
// the SCSI commands to whatever the host program configured behind it (the
// simulated player in the tests).
#include "wnaspi32/Aspi32.h"
#include <cstring>

namespace {
ASPI_STANDIN_CONFIG g_config = {};
CRITICAL_SECTION g_lock;

void Execute(ASPI_EXEC_SCSI* request)
{
    ASPI_STANDIN_CONFIG config;
    EnterCriticalSection(&g_lock);
    config = g_config;
    LeaveCriticalSection(&g_lock);
    int dataIn = (request->Flags & ASPI_FLAG_DATA_OUT) ? 0 : 1;
    BYTE senseLength = request->SenseLength > sizeof request->SenseArea ? BYTE(sizeof request->SenseArea)
                                                                         : request->SenseLength;
    int status = -1;
    if (request->AdapterId < config.adapterCount && config.exec && request->Target == 0 && request->Lun == 0 &&
        request->CdbLength <= sizeof request->Cdb)
        status = config.exec(config.context, request->AdapterId, request->Cdb, request->CdbLength, dataIn,
                             request->Buffer, request->BufferLength, request->SenseArea, senseLength);
    if (status < 0) {
        request->Status = ASPI_STATUS_NO_DEVICE;
    } else {
        request->TargetStatus = BYTE(status);
        request->Status = status == 0 ? ASPI_STATUS_COMPLETE : ASPI_STATUS_ERROR;
    }
    if ((request->Flags & ASPI_FLAG_EVENT_NOTIFY) && request->PostProc)
        SetEvent(request->PostProc);
}

DWORD WINAPI ExecuteLater(void* request)
{
    Sleep(20);
    Execute(static_cast<ASPI_EXEC_SCSI*>(request));
    return 0;
}
} // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH)
        InitializeCriticalSection(&g_lock);
    else if (reason == DLL_PROCESS_DETACH)
        DeleteCriticalSection(&g_lock);
    return TRUE;
}

__declspec(dllexport) void __cdecl AspiStandInConfigure(const ASPI_STANDIN_CONFIG* config)
{
    EnterCriticalSection(&g_lock);
    if (config)
        g_config = *config;
    else
        std::memset(&g_config, 0, sizeof g_config);
    LeaveCriticalSection(&g_lock);
}

__declspec(dllexport) DWORD __cdecl GetASPI32SupportInfo(void)
{
    EnterCriticalSection(&g_lock);
    BYTE count = g_config.adapterCount;
    LeaveCriticalSection(&g_lock);
    if (count == 0)
        return DWORD(ASPI_STATUS_NO_ADAPTERS) << 8;
    return DWORD(ASPI_STATUS_COMPLETE) << 8 | count;
}

__declspec(dllexport) DWORD __cdecl SendASPI32Command(void* block)
{
    BYTE* header = static_cast<BYTE*>(block);
    if (!header)
        return ASPI_STATUS_ERROR;
    switch (header[0]) {
    case ASPI_CMD_HA_INQUIRY: {
        auto* request = static_cast<ASPI_HA_INQUIRY*>(block);
        EnterCriticalSection(&g_lock);
        request->AdapterCount = g_config.adapterCount;
        LeaveCriticalSection(&g_lock);
        request->AdapterScsiId = 7;
        std::memcpy(request->ManagerId, "ASPI for WIN32  ", 16);
        std::memcpy(request->Identifier, "Vilo USB        ", 16);
        request->Status = ASPI_STATUS_COMPLETE;
        return ASPI_STATUS_COMPLETE;
    }
    case ASPI_CMD_GET_DISK_INFO: {
        auto* request = static_cast<ASPI_DISK_INFO*>(block);
        EnterCriticalSection(&g_lock);
        ASPI_STANDIN_CONFIG config = g_config;
        LeaveCriticalSection(&g_lock);
        if (request->AdapterId >= config.adapterCount || request->AdapterId >= sizeof config.biosDrive) {
            request->Status = ASPI_STATUS_INVALID_ADAPTER;
            return request->Status;
        }
        request->BiosDrive = config.biosDrive[request->AdapterId];
        request->Status = ASPI_STATUS_COMPLETE;
        return ASPI_STATUS_COMPLETE;
    }
    case ASPI_CMD_EXEC_SCSI: {
        auto* request = static_cast<ASPI_EXEC_SCSI*>(block);
        EnterCriticalSection(&g_lock);
        int atOnce = g_config.completeAtOnce;
        LeaveCriticalSection(&g_lock);
        if (atOnce) {
            Execute(request);
            return request->Status;
        }
        request->Status = ASPI_STATUS_PENDING;
        HANDLE thread = CreateThread(nullptr, 0, ExecuteLater, request, 0, nullptr);
        if (!thread) {
            Execute(request);
            return request->Status;
        }
        CloseHandle(thread);
        return ASPI_STATUS_PENDING;
    }
    default:
        header[1] = 0x80; // invalid command
        return header[1];
    }
}

} // extern "C"
