// QV_Drive_Vilo8.dll: the drive letter of an attached player.
#pragma once

#if defined(_WIN32) && !defined(QV_DRIVE_STATIC)
#ifdef QV_DRIVE_BUILD
#define QV_DRIVE_API __declspec(dllexport)
#else
#define QV_DRIVE_API __declspec(dllimport)
#endif
#else
#define QV_DRIVE_API
#endif

class QV_DRIVE_API CQuorvane {
public:
    CQuorvane();
    CQuorvane& operator=(const CQuorvane& other);
    // Bit n stands for drive 'A' + n; at most one bit, that of the first
    // player drive found; 0 when there is none or on another Windows version.
    unsigned long GetQuorvaneDrives();
};

QV_DRIVE_API int fnQuorvane();
extern QV_DRIVE_API int nQuorvane;
