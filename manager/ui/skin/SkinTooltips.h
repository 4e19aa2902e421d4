// The tooltips of the skin buttons: one tool per button, its text from the
// string table.
#pragma once

#include <windows.h>

#include "Controls.h"

struct SkinTooltip {
    UINT button;
    UINT text;
};
extern const SkinTooltip kSkinTooltips[26];

// Creates the tooltip control (background 0xE6FFFF, black text, automatic
// delay 80 ms) and adds a tool for each skin button of the dialog; the
// maximise button tips "Restore Down" while the window is expanded.
bool CreateSkinTooltips(HWND dialog, CToolTipCtrl& tips, bool expanded);
