// Error numbers of the updater (kept as each object's last error).
#pragma once

enum QvError : int {
    QV_OK = 0,
    QV_E_NOMEM = -1,
    QV_E_INDEX = -2,
    QV_E_SHORT = -3,
    QV_E_NO_COMPONENT = -4,
    QV_E_NO_FRIENDLY_NAME = -5,
    QV_E_INFO_TYPE = -8,
    QV_E_RANGE = -9,
    QV_E_PAYLOAD = -10,
    QV_E_FILE_OPEN = -11,    // a firmware file cannot be opened
    QV_E_FILE_FORMAT = -12,  // a firmware file is not in the image layout
    QV_E_RECOVERY_WRITE = -13,
    QV_E_NO_RECOVERY_DEVICE = -14,
    QV_E_EVENT = -15,
    QV_E_RECOVERY_TIMEOUT = -16,
    QV_E_NO_SCSI_KEY = -17,
    QV_E_NO_CANDIDATE = -18,
    QV_E_ASPI_LOAD = -19,
    QV_E_ASPI_ENTRY = -20,
    QV_E_ASPI_SUPPORT = -21,
    QV_E_NO_DEVICE = -22,
    QV_E_SCSI_STATUS = -23,
    QV_E_OPEN = -24,
    QV_E_IOCTL = -25,
    QV_E_NO_MSC_DEVICE = -26,
    QV_E_NO_TRANSPORT = -27,
    QV_E_NO_RESOURCE = -28,
    QV_E_LOCK = -31,
    QV_E_UNLOCK = -32,
    QV_E_GEOMETRY = -33,     // no usable cylinder/head/sector layout
    QV_E_CHS_RANGE = -34,    // a sector lies beyond the chosen layout
    QV_E_FAT_TYPE = -39,     // the unit would need a FAT type we do not write
    QV_E_DISMOUNT = -40,
    QV_E_TABLE = -43,        // the player's logical media table is unusable
    QV_E_DRIVE_MAP = -55,
    QV_E_NO_BIOS_DRIVE = -56,
    QV_E_VERIFY = -57,
    QV_E_NO_STATUS_TEXT = -63,
};
