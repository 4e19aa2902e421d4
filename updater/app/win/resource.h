// Resource ids of QvUpdaterApp.exe (its templates, icons, animation and its
// own string table 50 to 70).
#pragma once

#define IDD_QV_ABOUT 100
#define IDD_QV_MAIN 102
#define IDD_QV_PROGRESS 129
#define IDD_QV_DETAILS 130
#define IDD_QV_MESSAGE 139
#define IDI_QV_APP 128
#define IDI_QV_ABOUT 135
#define IDR_QV_SEARCHING 128
