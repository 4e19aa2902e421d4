// Error numbers of the media steps and the data-area format that the device
// side's common list does not carry yet.
#pragma once

constexpr int QV_E_FILE_OPEN = -11;    // a firmware file cannot be opened
constexpr int QV_E_FILE_FORMAT = -12;  // a firmware file is not in the image layout
constexpr int QV_E_GEOMETRY = -33;     // no usable cylinder/head/sector layout
constexpr int QV_E_CHS_RANGE = -34;    // a sector lies beyond the chosen layout
constexpr int QV_E_FAT_TYPE = -39;     // the unit would need a FAT type we do not write
constexpr int QV_E_TABLE = -43;        // the player's logical media table is unusable
