// The Properties box on files of the MP3 reader's corpus (their tags are
// listed in its expected.txt, written by make-corpus.py) and on files that no
// reader takes.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "GuiTest.h"
#include "Mp3Info.h"
#include "PropertiesDlg.h"
#include "WMAInfo.h"

namespace {

std::string CorpusFile(const std::string& name)
{
    std::string path = std::string("Z:") + MB_MP3_CORPUS + "/" + name;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

std::string Field(HWND window, UINT id)
{
    char text[256] = {};
    ::GetDlgItemTextA(window, static_cast<int>(id), text, sizeof text);
    return text;
}

class Properties : public mbtest::GuiTest {
protected:
    // Runs the box modally, waits for its timers, reads it and closes it.
    void Show(const std::string& path, bool closesItself = false)
    {
        m_window = nullptr;
        CPropertiesDlg dlg(path, &m_mp3, &m_wma);
        mbtest::CBackgroundRun run([&] { dlg.DoModal(); });
        if (closesItself) {
            EXPECT_TRUE(run.Finish());
            return;
        }
        m_window = mbtest::WaitForWindow(L"Properties");
        ASSERT_NE(nullptr, m_window);
        mbtest::PumpFor(400);  // timers 3 and 5 fill the fields after 100 ms
        for (UINT id : {IDC_PROP_NAME, IDC_PROP_TITLE, IDC_PROP_ARTIST, IDC_PROP_ALBUM, IDC_PROP_YEAR,
                        IDC_PROP_COMMENT, IDC_PROP_GENRE, IDC_PROP_BITRATE, IDC_PROP_SIZE})
            m_fields[id - IDC_PROP_NAME] = Field(m_window, id);
        if (path.find("id3v1") != std::string::npos)
            mbtest::SaveScreenshot(m_window, "properties");
        mbtest::Click(m_window, IDOK);
        EXPECT_TRUE(run.Finish());
    }
    const std::string& F(UINT id) const { return m_fields[id - IDC_PROP_NAME]; }

    CMP3Info m_mp3;
    CWMAInfo m_wma;
    HWND m_window = nullptr;
    std::string m_fields[9];
    mbtest::CRecordingPrompter m_prompter;
};

}  // namespace

TEST_F(Properties, Mp3TagsBitrateAndSize)
{
    Show(CorpusFile("id3v1-lame.mp3"));
    EXPECT_EQ("id3v1-lame.mp3", F(IDC_PROP_NAME));
    EXPECT_EQ("Song", F(IDC_PROP_TITLE));
    EXPECT_EQ("Band", F(IDC_PROP_ARTIST));
    EXPECT_EQ("Record", F(IDC_PROP_ALBUM));
    EXPECT_EQ("2001", F(IDC_PROP_YEAR));
    EXPECT_EQ("Fine", F(IDC_PROP_COMMENT));
    EXPECT_EQ("Rock", F(IDC_PROP_GENRE));
    EXPECT_EQ("8 K bits/second", F(IDC_PROP_BITRATE));
    EXPECT_NE("-", F(IDC_PROP_SIZE));
}

TEST_F(Properties, VbrMp3ShowsVbrWhateverTheExtensionsCase)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string upper = std::string(temp) + "VBR SONG.MP3";
    ASSERT_TRUE(::CopyFileA(CorpusFile("vbr-mpeg1-stereo.mp3").c_str(), upper.c_str(), FALSE));
    Show(upper);
    EXPECT_EQ("VBR SONG.MP3", F(IDC_PROP_NAME));
    EXPECT_EQ("VBR", F(IDC_PROP_BITRATE));
    ::DeleteFileA(upper.c_str());
}

TEST_F(Properties, Mp3OfMoreThanFourGigabytesShowsItsWholeSize)
{
    // A song followed by a hole: six and a half gigabytes that take no room.
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string big = std::string(temp) + "long set.mp3";
    ASSERT_TRUE(::CopyFileA(CorpusFile("id3v1-lame.mp3").c_str(), big.c_str(), FALSE));
    HANDLE file = ::CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    LARGE_INTEGER end;
    end.QuadPart = 6656LL * 1024 * 1024;
    const bool grown = ::SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && ::SetEndOfFile(file);
    ::CloseHandle(file);
    ASSERT_TRUE(grown);
    Show(big);
    EXPECT_EQ("long set.mp3", F(IDC_PROP_NAME));
    EXPECT_EQ(0u, F(IDC_PROP_SIZE).find("6.5")) << F(IDC_PROP_SIZE);
    ::DeleteFileA(big.c_str());
}

TEST_F(Properties, OtherFilesShowNameAndSizeOnly)
{
    char temp[MAX_PATH];
    ::GetTempPathA(MAX_PATH, temp);
    const std::string aac = std::string(temp) + "song.aac";
    std::ofstream(aac, std::ios::binary) << std::string(3072, 'x');
    Show(aac);
    EXPECT_EQ("song.aac", F(IDC_PROP_NAME));
    EXPECT_EQ("-", F(IDC_PROP_TITLE));
    EXPECT_EQ("-", F(IDC_PROP_BITRATE));
    EXPECT_NE("-", F(IDC_PROP_SIZE));
    EXPECT_EQ(0u, F(IDC_PROP_SIZE).find('3')) << F(IDC_PROP_SIZE);  // 3 KB
    ::DeleteFileA(aac.c_str());

    // No extension at all: said, and the box closes. A long path is no
    // fixed buffer's business.
    Show(std::string(temp) + std::string(300, 'n'), true);
    ASSERT_EQ(1u, m_prompter.Count());
    EXPECT_EQ("A mp3 file or a wma file is not set.", m_prompter.Text(0));
}
