// Resource and control identifiers of ListForge.
#pragma once

#define IDD_LISTFORGE 102

#define IDI_LISTFORGE 128
#define IDI_DRAG_ONE 132
#define IDI_DRAG_MANY 133

// Bitmap buttons: pressed and normal pictures.
#define IDB_ADD_DOWN 149
#define IDB_ADD_UP 150
#define IDB_DELETE_DOWN 151
#define IDB_DELETE_UP 152
#define IDB_MOVEDOWN_DOWN 153
#define IDB_MOVEDOWN_UP 154
#define IDB_EXIT_DOWN 155
#define IDB_EXIT_UP 156
#define IDB_SAVE_DOWN 157
#define IDB_SAVE_UP 158
#define IDB_OPEN_DOWN 159
#define IDB_OPEN_UP 160
#define IDB_MOVEUP_DOWN 161
#define IDB_MOVEUP_UP 162

#define IDS_NOT_PLAYER_DRIVE 102
#define IDS_CREATE_FAILED 103
#define IDS_NO_MEMORY 104
#define IDS_FILES_MISSING 105
#define IDS_LABEL_FOLDERS 106
#define IDS_LABEL_MUSIC 107
#define IDS_LABEL_PLAYLIST 108
#define IDS_OPEN_FAILED 109
#define IDS_ATTACH_QUESTION 110
#define IDS_TIP_ADD 111
#define IDS_TIP_UP 112
#define IDS_TIP_DOWN 113
#define IDS_TIP_DELETE 114
#define IDS_TIP_OPEN 115
#define IDS_TIP_SAVE 116
#define IDS_TIP_EXIT 117
#define IDS_NO_ENTRY 118
#define IDS_COLUMN_NAME 119
#define IDS_COLUMN_PATH 120
#define IDS_SAVE_QUESTION 121
#define IDS_EXIT_QUESTION 122

#define IDC_FOLDER_TREE 1000
#define IDC_MUSIC_LIST 1001
#define IDC_PLAYLIST 1002
#define IDC_LABEL_FOLDERS 1007
#define IDC_LABEL_MUSIC 1009
#define IDC_LABEL_PLAYLIST 1010
#define IDC_ADD 1012
#define IDC_MOVE_UP 1013
#define IDC_MOVE_DOWN 1014
#define IDC_DELETE 1015
#define IDC_OPEN 1016
#define IDC_SAVE 1017
#define IDC_EXIT 1018

// Private window messages.
#define WM_PLAYLIST_MOVE_UP (WM_USER + 512)
#define WM_PLAYLIST_MOVE_DOWN (WM_USER + 513)
#define WM_FILL_FILE_LIST (WM_USER + 514)
// The playlist list changed its rows by itself (the Del key).
#define WM_PLAYLIST_CHANGED (WM_USER + 515)
#define WM_IMAGE_BUTTON_CLICK (WM_USER + 560)
