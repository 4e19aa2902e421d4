// CPropertiesDlg: the Properties box of one audio file (template 351): its
// tags, bitrate and size from the main window's MP3 or WMA reader.
#pragma once

#include <string>

#include "Dialog.h"

class CMP3Info;
class CWMAInfo;

enum : UINT {
    IDD_PROPERTIES = 351,
    IDC_PROP_NAME = 1258,
    IDC_PROP_ARTIST = 1259,
    IDC_PROP_SIZE = 1260,
    IDC_PROP_BITRATE = 1261,
    IDC_PROP_COMMENT = 1262,
    IDC_PROP_GENRE = 1263,
    IDC_PROP_YEAR = 1264,
    IDC_PROP_ALBUM = 1265,
    IDC_PROP_TITLE = 1266,
};

class CPropertiesDlg : public CDialog {
public:
    CPropertiesDlg(const std::string& path, CMP3Info* mp3Reader, CWMAInfo* wmaReader, HWND parent = nullptr)
        : CDialog(IDD_PROPERTIES, parent), m_path(path), m_mp3(mp3Reader), m_wma(wmaReader)
    {
    }

    BOOL OnInitDialog() override;

    MB_DECLARE_MESSAGE_MAP()
public:
    void OnTimer(UINT_PTR id);

    // Any length: the path is no fixed buffer.
    std::string m_path;

private:
    void ShowMp3();
    void ShowWma();
    std::string SizeText(unsigned long long readerSize) const;

    CMP3Info* m_mp3;
    CWMAInfo* m_wma;
};
