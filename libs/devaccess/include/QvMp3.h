// QvMp3: the device access library. It speaks to the player's own kernel
// driver: open and close, the status record, identity queries, the command
// packets of the data channel, and the progress shared with display threads.
#pragma once

#include <windows.h>

#ifdef QVMP3_BUILD
#define QVMP3_API __declspec(dllexport)
#else
#define QVMP3_API __declspec(dllimport)
#endif

// The status record exchanged with the driver: four 32-bit words.
struct _USER_DATA {
    unsigned long HostOpen;
    unsigned long FormatStatus;
    unsigned long Ready;
    unsigned long Reserved;
};
static_assert(sizeof(_USER_DATA) == 16, "the driver's status record is 16 bytes");

enum DEVICE_STATUS {
    DEVICE_STATUS_FAILED = 0,
    DEVICE_STATUS_NORMAL = 1,
    DEVICE_STATUS_RECOVERY = 2,
    DEVICE_STATUS_NO_ANSWER = 3,
};

enum ACCESS_DEVICE_STATUS {
    ACCESS_DEVICE_SUCCESS = 0,
    ACCESS_DEVICE_FAILED = 1,
};

// Open and close.
QVMP3_API int QvMp3OpenDriver(DEVICE_STATUS kind);
QVMP3_API int QvMp3OpenDriverEx(char index, DEVICE_STATUS kind);
QVMP3_API int QvMp3OpenDriverNoBlock(char index, DEVICE_STATUS kind);
QVMP3_API int QvMp3OpenDriverNoBlockEx(DEVICE_STATUS kind);
QVMP3_API int QvMp3CloseDriver();
QVMP3_API int QvMp3FreeMemoryDevice(unsigned char media);

// Status and identity.
QVMP3_API int QvMp3GetStatus(_USER_DATA* record);
QVMP3_API int QvMp3SetStatus(_USER_DATA* record);
QVMP3_API DEVICE_STATUS QvMp3GetDeviceStatus();
QVMP3_API unsigned long QvMp3GetChipId(unsigned char mode);
QVMP3_API ACCESS_DEVICE_STATUS QvMp3GetPowerStatus(unsigned long* status);
QVMP3_API int QvMp3GetDeviceVersion(unsigned long* version);

// Progress, shared by a worker and a display thread.
QVMP3_API int QvMp3SetPhase(unsigned long phase, double percent, void* event);
QVMP3_API int QvMp3GetProgress(double* percent, unsigned long* phase);
QVMP3_API int QvMp3SetProgress(double delta);

// The direct driver layer (no library lock).
QVMP3_API int QvMp3DDOpenDriver(char index, unsigned char scan, DEVICE_STATUS kind);
QVMP3_API int QvMp3DDOpenDriverNoBlock(char index, unsigned char scan, DEVICE_STATUS kind);
QVMP3_API int QvMp3DDCloseDriver();
QVMP3_API int QvMp3DDGetStatus(_USER_DATA* record);
QVMP3_API int QvMp3DDSetStatus(_USER_DATA* record);
QVMP3_API int QvMp3DDReconfigure();
QVMP3_API unsigned char QvMp3DDGetDeviceVersion(unsigned long* version);
QVMP3_API unsigned long QvMp3DDGetDeviceStatus();
QVMP3_API unsigned long QvMp3DDGetChipId();
QVMP3_API int QvMp3DDSetFormatStatus(int status);
QVMP3_API int QvMp3DDWrite(unsigned char* data, unsigned long length);
QVMP3_API int QvMp3DDRead(unsigned char* data, unsigned long length);
