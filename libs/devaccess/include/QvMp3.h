// QvMp3: the device access library. It speaks to the player's own kernel
// driver: open and close, the status record, identity queries, the command
// packets of the data channel, the MMC card commands, the flash media engine,
// and the progress shared with display threads.
//
// Every function is a plain C function exported under its own name (QvMp3.def)
// with the calling convention QVMP3_CALL, so that a tool can also find it
// with GetProcAddress.
#pragma once

#include <windows.h>

#include "QvMp3Types.h"

#ifdef QVMP3_BUILD
#define QVMP3_API
#else
#define QVMP3_API __declspec(dllimport)
#endif
#define QVMP3_CALL __cdecl

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

// Media numbers of the media functions: the flash memory and the card slot.
enum { QVMP3_MEDIA_FLASH = 0, QVMP3_MEDIA_CARD = 1, QVMP3_MEDIA_COUNT = 2 };
// A media index (into the geometry table) that means no media.
enum { QVMP3_NO_MEDIA = 36 };

extern "C" {

// Open and close.
QVMP3_API int QVMP3_CALL QvMp3OpenDriver(DEVICE_STATUS kind);
QVMP3_API int QVMP3_CALL QvMp3OpenDriverEx(char index, DEVICE_STATUS kind);
QVMP3_API int QVMP3_CALL QvMp3OpenDriverNoBlock(char index, DEVICE_STATUS kind);
QVMP3_API int QVMP3_CALL QvMp3OpenDriverNoBlockEx(DEVICE_STATUS kind);
QVMP3_API int QVMP3_CALL QvMp3CloseDriver();
QVMP3_API int QVMP3_CALL QvMp3FreeMemoryDevice(unsigned char media);

// Status and identity.
QVMP3_API int QVMP3_CALL QvMp3GetStatus(_USER_DATA* record);
QVMP3_API int QVMP3_CALL QvMp3SetStatus(_USER_DATA* record);
QVMP3_API DEVICE_STATUS QVMP3_CALL QvMp3GetDeviceStatus();
QVMP3_API unsigned long QVMP3_CALL QvMp3GetChipId(unsigned char mode);
QVMP3_API ACCESS_DEVICE_STATUS QVMP3_CALL QvMp3GetPowerStatus(unsigned long* status);
QVMP3_API int QVMP3_CALL QvMp3GetDeviceVersion(unsigned long* version);
// mediaIndex: two entries, by media number (flash, card).
QVMP3_API ACCESS_DEVICE_STATUS QVMP3_CALL QvMp3GetFlashSizes(unsigned long* mediaIndex, unsigned long* failed);

// Media functions. mediaIndices is indexed by media number.
QVMP3_API unsigned char QVMP3_CALL QvMp3FatPrepareSupported(unsigned char media);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3FatEraseDataArea(unsigned long* mediaIndices, unsigned char media,
                                                                void* event);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3BuildBlockStatus(unsigned long* mediaIndices, unsigned char media,
                                                                int mode, _BinaryFilesInformation* info,
                                                                void* event);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3FatFormatEx(unsigned long* mediaIndices, unsigned char media,
                                                           int withFiles, unsigned char* images[],
                                                           unsigned long imageSizes[], unsigned char* headers[],
                                                           unsigned long headerSizes[],
                                                           _BinaryFilesInformation* info, void* event);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3QuickFormatQvrx(unsigned long* mediaIndices, unsigned char media,
                                                               int mode, _BinaryFilesInformation* info,
                                                               void* event);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3ProgramQvrxMedia(unsigned long* mediaIndices, unsigned char media,
                                                                unsigned char* images[], unsigned long imageSizes[],
                                                                unsigned char* headers[],
                                                                unsigned long headerSizes[],
                                                                _BinaryFilesInformation* info, void* event);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3GetFirmwareVersion(unsigned long* mediaIndices, unsigned char media,
                                                                  _BinaryFilesInformation* info);
QVMP3_API PROGRAM_MEDIA_STATUS QVMP3_CALL QvMp3GetFileVersion(unsigned char* images[], unsigned long sizes[],
                                                              _BinaryFilesInformation* info);

// MMC card commands (no library lock).
QVMP3_API int QVMP3_CALL QvMp3MMCDetectMedia(unsigned char card, unsigned long* size, unsigned char* status,
                                             unsigned char* cardByte, unsigned char* eraseGroup);
QVMP3_API int QVMP3_CALL QvMp3MMCReadStatus(unsigned char card, unsigned short* status);
QVMP3_API int QVMP3_CALL QvMp3MMCReadCID(unsigned char card, _MMC_CID* cid, unsigned char* status);
QVMP3_API int QVMP3_CALL QvMp3MMCReadOCR(unsigned char card, unsigned long* ocr, unsigned char* status);
QVMP3_API int QVMP3_CALL QvMp3MMCReadCSD(unsigned char card, _MMC_CSD* csd, unsigned char* status);
QVMP3_API int QVMP3_CALL QvMp3MMCProgramCSD(unsigned char card, _MMC_CSD* csd, unsigned char* status);
QVMP3_API int QVMP3_CALL QvMp3MMCReadBlock(unsigned char card, unsigned long block, unsigned char* data);
QVMP3_API int QVMP3_CALL QvMp3MMCReadMultipleBlock(unsigned char card, unsigned long block, unsigned short count,
                                                   unsigned char* data);
QVMP3_API int QVMP3_CALL QvMp3MMCWriteBlock(unsigned char card, unsigned long block, unsigned char* data);
QVMP3_API int QVMP3_CALL QvMp3MMCWriteMultipleBlock(unsigned char card, unsigned long block, unsigned short count,
                                                    unsigned char* data);
QVMP3_API int QVMP3_CALL QvMp3MMCErase(unsigned char card, unsigned long firstBlock, unsigned long count,
                                       unsigned char* status);
QVMP3_API int QVMP3_CALL QvMp3MMCEraseFileSystemSectors(unsigned char card, unsigned long cardBlocks,
                                                        double* percent);
QVMP3_API int QVMP3_CALL QvMp3MMCEraseAllBlocks(unsigned char card, unsigned long cardBlocks, double* percent);
QVMP3_API int QVMP3_CALL QvMp3MMCFormat(unsigned char card, unsigned long cardBlocks, double* percent);

// Progress, shared by a worker and a display thread.
QVMP3_API int QVMP3_CALL QvMp3SetPhase(unsigned long phase, double percent, void* event);
QVMP3_API int QVMP3_CALL QvMp3GetProgress(double* percent, unsigned long* phase);
QVMP3_API int QVMP3_CALL QvMp3SetProgress(double delta);

// The direct driver layer (no library lock).
QVMP3_API int QVMP3_CALL QvMp3DDOpenDriver(char index, unsigned char scan, DEVICE_STATUS kind);
QVMP3_API int QVMP3_CALL QvMp3DDOpenDriverNoBlock(char index, unsigned char scan, DEVICE_STATUS kind);
QVMP3_API int QVMP3_CALL QvMp3DDCloseDriver();
QVMP3_API int QVMP3_CALL QvMp3DDGetStatus(_USER_DATA* record);
QVMP3_API int QVMP3_CALL QvMp3DDSetStatus(_USER_DATA* record);
QVMP3_API int QVMP3_CALL QvMp3DDReconfigure();
QVMP3_API unsigned char QVMP3_CALL QvMp3DDGetDeviceVersion(unsigned long* version);
QVMP3_API unsigned long QVMP3_CALL QvMp3DDGetDeviceStatus();
QVMP3_API unsigned long QVMP3_CALL QvMp3DDGetChipId();
QVMP3_API int QVMP3_CALL QvMp3DDSetFormatStatus(int status);
QVMP3_API int QVMP3_CALL QvMp3DDWrite(unsigned char* data, unsigned long length);
QVMP3_API int QVMP3_CALL QvMp3DDRead(unsigned char* data, unsigned long length);

} // extern "C"
