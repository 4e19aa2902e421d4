// Windows version classes that choose the transport: 0 Windows 95/98 (and NT
// 4.0), 1 ME, 2 2000, 3 XP and later 5.x, 6 anything without a transport.
#pragma once
#include <cstdint>

inline int QvWindowsVersionClass(uint32_t major, uint32_t minor)
{
    if (major == 4 && minor <= 10)
        return 0;
    if (major == 4 && minor >= 90)
        return 1;
    if (major == 5 && minor == 0)
        return 2;
    if (major == 5)
        return 3;
    return 6;
}
