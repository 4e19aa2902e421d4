#include "SkinTooltips.h"

#include <commctrl.h>

#include "StringIds.h"
#include "Text.h"

const SkinTooltip kSkinTooltips[26] = {
    {1043, IDS_TIP_MINIMIZE}, {1492, IDS_TIP_MAXIMIZE}, {1045, IDS_TIP_CLOSE},     {1046, IDS_TIP_FRM_PC},
    {1047, IDS_TIP_FRM_DL},   {1048, IDS_TIP_FRM_PD},   {1077, IDS_TIP_MUSIC},     {1091, IDS_TIP_FM},
    {1079, IDS_TIP_ALL},      {1080, IDS_TIP_UP},       {1083, IDS_TIP_REFRESH},   {1081, IDS_TIP_DELETE},
    {1082, IDS_TIP_VIEWS},    {1084, IDS_TIP_TREE},     {1207, IDS_TIP_MOVE_UP},   {1208, IDS_TIP_MOVE_DOWN},
    {1209, IDS_TIP_OPEN_LIST}, {1210, IDS_TIP_SAVE_LIST}, {1211, IDS_TIP_CONFIG},  {1212, IDS_TIP_ABOUT},
    {1086, IDS_TIP_DOWNLOAD}, {1087, IDS_TIP_UPLOAD},   {1088, IDS_TIP_CANCEL},    {1089, IDS_TIP_MEM_INT},
    {1090, IDS_TIP_MEM_EXT},  {1092, IDS_TIP_LISTFORGE},
};

bool CreateSkinTooltips(HWND dialog, CToolTipCtrl& tips, bool expanded)
{
    if (!tips.Create(dialog))
        return false;
    tips.Send(TTM_SETTIPBKCOLOR, 0xE6FFFF);
    tips.Send(TTM_SETTIPTEXTCOLOR, 0);
    tips.Send(TTM_SETDELAYTIME, TTDT_AUTOMATIC, 80);
    for (const SkinTooltip& t : kSkinTooltips) {
        HWND button = ::GetDlgItem(dialog, int(t.button));
        if (!button)
            continue;
        UINT text = (t.button == 1492 && expanded) ? UINT(IDS_TIP_RESTORE) : t.text;
        tips.AddTool(button, mb::LoadText(text));
    }
    tips.Activate(true);
    return true;
}
