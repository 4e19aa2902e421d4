/* DevSweep.dll: installer support for the Vilo Lark.
 *
 * For installer authors. Every function has C linkage, the calling convention
 * of the Windows API (__stdcall) and an undecorated export name, so it can be
 * called through LoadLibrary("DevSweep.dll") and GetProcAddress by the names
 * below (the typedefs of this header give the pointer types). All texts are
 * ANSI.
 * No function shows a window; each writes its steps with OutputDebugString.
 *
 * Runs on Windows 98 SE, ME, 2000 and XP. The functions that need the service
 * control manager do their work on 2000/XP only.
 */
#ifndef DEVSWEEP_H
#define DEVSWEEP_H

#ifdef __cplusplus
extern "C" {
#endif

#ifndef DEVSWEEP_API
#define DEVSWEEP_API __declspec(dllimport)
#endif

/* Size, in bytes, that the display-name buffer of FindLegacyPlayers must have
 * at least. The function never writes more than this. */
#define DEVSWEEP_DISPLAY_NAME_SIZE 260

/* Device types of RemoveDeviceForDeviceType. */
#define DEVICETYPE_USB 0
#define DEVICETYPE_SCSI 1
#define DEVICETYPE_DISK 2
#define DEVICETYPE_USBSTOR 3
#define DEVICETYPE_VOLUME 5

/* Copies folder+fileName (joined as given: end folder with a backslash) into
 * the system's INF folder. RegisterInf never replaces a copy that is there,
 * UpdateInf only replaces one that is there. 0 copied, -1 otherwise (also
 * when the joined path does not fit in 260 characters). */
DEVSWEEP_API int __stdcall RegisterInf(const char* folder, const char* fileName);
DEVSWEEP_API int __stdcall UpdateInf(const char* folder, const char* fileName);

/* Appends the device lines of the INF's [Microsoft] section and the player's
 * own USB id to a text file of hardware ids. 1 done, 0 when the text file
 * cannot be opened or written (a full disk). */
DEVSWEEP_API int __stdcall CopyQvumsInfVIDPIDs(const char* infPath, const char* textFilePath);

/* Stops and deletes a service (2000/XP), or removes the earlier recording
 * driver's class keys (98/ME, name "qvrx3rec" only). 1 when the service exists
 * but could not be opened or deleted, else 0. */
DEVSWEEP_API int __stdcall CheckServiceName(const char* serviceName);

/* Looks for an installed earlier player. 1 found: *rowIndex gets its table
 * row (0..37) and displayName (DEVSWEEP_DISPLAY_NAME_SIZE bytes at least) the
 * name to pass to RemoveInstalledLegacyPlayer. 0 none: both left unchanged. */
DEVSWEEP_API int __stdcall FindLegacyPlayers(unsigned short* rowIndex, char* displayName);

/* Removal of an earlier player found by FindLegacyPlayers, of its shell hook,
 * its drivers, its device entries, and of this player's older entries. The
 * results are fixed (see each); a refused or missing step is passed over. */
DEVSWEEP_API int __stdcall RemoveInstalledLegacyPlayer(int rowIndex, const char* displayName); /* 1 */
DEVSWEEP_API int __stdcall RemoveLegacyPlayerHook(void);                                       /* 1 */
DEVSWEEP_API int __stdcall RemoveLegacyPlayerDrivers(void);                                    /* 1 */
DEVSWEEP_API int __stdcall RemoveLegacyPlayerRemnants(int rowIndex);                           /* 0 */
DEVSWEEP_API int __stdcall RemoveDeviceRegEntries(void);                                       /* 0 */
DEVSWEEP_API int __stdcall RemoveVolumeRegEntries(void);                                       /* 0 */
DEVSWEEP_API int __stdcall RemovePlayerRemnants(const char* startMenuFolder);                  /* 1 */

/* Removes the devices of a type whose hardware id begins with prefix (not
 * empty), with their driver keys. 1 when the last error code is nonzero. */
DEVSWEEP_API int __stdcall RemoveDeviceForDeviceType(const char* hardwareIdPrefix, int deviceType);

/* Installs and starts a file-system filter driver service (2000/XP); removes
 * it. 0, or the system error code of the failed step. */
DEVSWEEP_API int __stdcall InstallFilter(const char* serviceName, const char* driverPath);
DEVSWEEP_API int __stdcall RemoveFilter(const char* serviceName, const char* driverPath);

/* Pointer types for GetProcAddress, one per signature. */
typedef int(__stdcall* DEVSWEEP_TEXT_TEXT)(const char*, const char*); /* RegisterInf, UpdateInf,
                                                                         CopyQvumsInfVIDPIDs,
                                                                         InstallFilter, RemoveFilter */
typedef int(__stdcall* DEVSWEEP_TEXT)(const char*);                 /* CheckServiceName, RemovePlayerRemnants */
typedef int(__stdcall* DEVSWEEP_FIND)(unsigned short*, char*);      /* FindLegacyPlayers */
typedef int(__stdcall* DEVSWEEP_INT_TEXT)(int, const char*);        /* RemoveInstalledLegacyPlayer */
typedef int(__stdcall* DEVSWEEP_INT)(int);                          /* RemoveLegacyPlayerRemnants */
typedef int(__stdcall* DEVSWEEP_TEXT_INT)(const char*, int);        /* RemoveDeviceForDeviceType */
typedef int(__stdcall* DEVSWEEP_NONE)(void);                        /* the other removal functions */

#ifdef __cplusplus
}
#endif

#endif /* DEVSWEEP_H */
