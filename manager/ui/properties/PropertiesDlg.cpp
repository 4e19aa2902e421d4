#include "PropertiesDlg.h"

#include <vector>

#include "DetectRules.h"
#include "Mp3Info.h"
#include "WMAInfo.h"
#include "fileutil/FileUtil.h"

MB_BEGIN_MESSAGE_MAP(CPropertiesDlg, CDialog)
    mb::OnTimer(&CPropertiesDlg::OnTimer),
MB_END_MESSAGE_MAP()

BOOL CPropertiesDlg::OnInitDialog()
{
    const std::string name = detect::FileNameOf(m_path);
    SetItemText(IDC_PROP_NAME, name);
    switch (detect::PropertiesKind(name)) {
    case -1:
        ShowMessage("A mp3 file or a wma file is not set.");
        EndDialog(IDCANCEL);
        return TRUE;
    case 1:
        if (m_mp3) {
            SetTimer(3, 100);
            return TRUE;
        }
        break;
    case 2:
        if (m_wma) {
            SetTimer(5, 100);
            return TRUE;
        }
        break;
    }
    SetItemText(IDC_PROP_SIZE, SizeText(0));
    return TRUE;
}

void CPropertiesDlg::OnTimer(UINT_PTR id)
{
    KillTimer(id);
    if (id == 3)
        ShowMp3();
    else if (id == 5)
        ShowWma();
}

std::string CPropertiesDlg::SizeText(unsigned long long readerSize) const
{
    unsigned long long size = readerSize;
    // The readers keep a 32-bit size and hold a file of 4 GB or more at its
    // largest value: such a file's size is the file's own.
    if (size == 0 || size >= 0xFFFFFFFFull) {
        WIN32_FILE_ATTRIBUTE_DATA data = {};
        if (::GetFileAttributesExA(m_path.c_str(), GetFileExInfoStandard, &data))
            size = (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    }
    return CFileUtil::FormatSize(static_cast<std::int64_t>(size), 1);
}

void CPropertiesDlg::ShowMp3()
{
    std::vector<char> path(m_path.begin(), m_path.end());
    path.push_back(0);
    m_mp3->SetFilePath(path.data());
    auto text = [](const char* s) { return std::string(s ? s : ""); };
    SetItemText(IDC_PROP_TITLE, text(m_mp3->GetTitle()));
    SetItemText(IDC_PROP_ARTIST, text(m_mp3->GetArtistName()));
    SetItemText(IDC_PROP_ALBUM, text(m_mp3->GetAlbumName()));
    SetItemText(IDC_PROP_YEAR, text(m_mp3->GetYear()));
    SetItemText(IDC_PROP_COMMENT, text(m_mp3->GetComment()));
    char genre[256] = {};
    m_mp3->GetGenre(genre);
    genre[sizeof genre - 1] = 0;
    SetItemText(IDC_PROP_GENRE, genre);
    SetItemText(IDC_PROP_BITRATE, detect::BitrateText(m_mp3->GetBitrate()));
    SetItemText(IDC_PROP_SIZE, SizeText(m_mp3->GetSize()));
}

void CPropertiesDlg::ShowWma()
{
    m_wma->SetFilePath(m_path.c_str());
    auto field = [](const char* s, size_t size) { return std::string(s, strnlen(s, size)); };
    SetItemText(IDC_PROP_TITLE, field(m_wma->title, sizeof m_wma->title));
    SetItemText(IDC_PROP_ARTIST, field(m_wma->artist, sizeof m_wma->artist));
    SetItemText(IDC_PROP_ALBUM, field(m_wma->album, sizeof m_wma->album));
    SetItemText(IDC_PROP_YEAR, field(m_wma->year, sizeof m_wma->year));
    SetItemText(IDC_PROP_COMMENT, field(m_wma->comment, sizeof m_wma->comment));
    SetItemText(IDC_PROP_GENRE, field(m_wma->genre, sizeof m_wma->genre));
    SetItemText(IDC_PROP_BITRATE, m_wma->bitrate ? detect::BitrateText(int(m_wma->bitrate)) : "Unknown");
    SetItemText(IDC_PROP_SIZE, SizeText(m_wma->size));
}
