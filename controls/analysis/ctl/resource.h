#pragma once

// Type names of the controls (1, 3, 5) and of their pages (2, 4, 6).
#define IDS_MP3_TYPENAME 1
#define IDS_MP3_PAGE_TYPENAME 2
#define IDS_WMA_TYPENAME 3
#define IDS_WMA_PAGE_TYPENAME 4
#define IDS_AAC_TYPENAME 5
#define IDS_AAC_PAGE_TYPENAME 6
// Toolbox bitmaps.
#define IDB_MP3ANALYZER 1
#define IDB_WMAANALYZER 2
#define IDB_AACANALYZER 3
// About boxes.
#define IDD_ABOUTBOX_WMA 2
#define IDD_ABOUTBOX_AAC 3
#define IDI_TRACKSCOPE 1
// Property pages: dialog and caption string share the number.
#define IDD_PROPPAGE_MP3 200
#define IDD_PROPPAGE_WMA 201
#define IDD_PROPPAGE_AAC 202
#define IDS_PROPPAGE_MP3_CAPTION 200
#define IDS_PROPPAGE_WMA_CAPTION 201
#define IDS_PROPPAGE_AAC_CAPTION 202
#define IDC_CREDITS 1000
#define IDC_VERSION 1001
