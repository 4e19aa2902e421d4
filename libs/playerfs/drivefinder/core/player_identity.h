// How the player's drive is recognised: the hardware id Windows 98/ME forms
// for its SCSI disk, the product id the NT storage stack reports, and the
// drive letter the 98/ME registry assigns.
#pragma once

#include <cstddef>
#include <cstdint>

extern const char PLAYER_HARDWARE_ID_PREFIX[];  // "Vilo____Lark"
extern const char PLAYER_PRODUCT_ID[];          // "Lark" blank-padded to 16

// The hardware id (at most `length` bytes, NUL-terminated or not) starts
// with the player's, in any case.
bool HardwareIdNamesPlayer(const char* id, size_t length);

// A STORAGE_DEVICE_DESCRIPTOR of which `returned` bytes arrived names the
// player's product; offsets outside those bytes name nothing.
bool DescriptorNamesPlayer(const uint8_t* descriptor, size_t returned);

// The bit of a CurrentDriveLetterAssignment value ('A' is bit 0); 0 for a
// value that does not start with a letter A to Z.
unsigned long DriveLetterBit(const char* assignment, size_t length);
