#pragma once
#define IDD_HOST 100
#define IDC_NOTE 1001
#define IDC_GO 1002
#define IDC_PROGRESS 1205
