// Resource identifiers of MusicBridge.exe (and of the Korean library, which
// carries the same resources in Korean).
#pragma once

#define IDD_MANAGER 102
#define IDR_MAINFRAME 128
#define IDR_MAIN_MENU 142
#define IDR_CONTEXT_MENUS 158
#define IDC_STATIC_NUMBER 1199
