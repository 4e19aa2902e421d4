// The code page rule of CFileText bound to the system's own table.
#pragma once

#include <windows.h>

#include "fileutil/CodePage.h"

class CWindowsCodePage : public CCodePage {
public:
    explicit CWindowsCodePage(UINT codePage = CP_ACP) : m_codePage(codePage) {}
    bool IsLeadByte(unsigned char byte) const override { return IsDBCSLeadByteEx(m_codePage, byte) != FALSE; }

private:
    UINT m_codePage;
};
