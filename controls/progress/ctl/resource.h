#pragma once

#define IDB_PROGRESSCTL 102
#define IDB_BACKGROUND 209
// Colour c has its left cap, middle piece and right cap at these plus 3c.
#define IDB_LEFT_CAP 216
#define IDB_MIDDLE 217
#define IDB_RIGHT_CAP 218

#define IDD_PROGRESSPROP 109
#define IDC_SEGMENT_COUNT 200
// The colour lists of segments 0 to 3.
#define IDC_COLOUR_FIRST 211
