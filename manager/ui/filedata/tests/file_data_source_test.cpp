// The shell drag's data object read back as a drop target reads it: through
// IDataObject::GetData, the descriptor first, then each file's contents.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "FileDataSource.h"
#include "GuiTest.h"
#include "StringIds.h"
#include "Text.h"
#include "Wnd.h"

namespace {

std::string Folder()
{
    char cwd[MAX_PATH] = {};
    GetCurrentDirectoryA(MAX_PATH, cwd);
    std::string folder = std::string(cwd) + "\\filedata-source\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    CreateDirectoryA((folder + "Sub Folder").c_str(), nullptr);
    return folder;
}

// Three and a half 16 KB chunks of a pattern no shift of itself matches.
std::string Contents()
{
    std::string bytes(57000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char((i * 131 + i / 251) & 0xFF);
    return bytes;
}

struct Block {
    HRESULT hr = E_FAIL;
    std::string bytes;
};

Block Get(IDataObject* data, CLIPFORMAT format, LONG index)
{
    FORMATETC fe{format, nullptr, DVASPECT_CONTENT, index, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    Block b;
    b.hr = data->GetData(&fe, &medium);
    if (SUCCEEDED(b.hr)) {
        EXPECT_EQ(DWORD(TYMED_HGLOBAL), medium.tymed);
        const char* at = static_cast<const char*>(GlobalLock(medium.hGlobal));
        b.bytes.assign(at, GlobalSize(medium.hGlobal));
        GlobalUnlock(medium.hGlobal);
        ReleaseStgMedium(&medium);
    }
    return b;
}

uint32_t U32(const std::string& s, size_t at)
{
    return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 | uint32_t(uint8_t(s[at + 2])) << 16 |
           uint32_t(uint8_t(s[at + 3])) << 24;
}

// A window whose message sets the cancel flag, as the Cancel button does
// while a file is read.
class CCancelWindow : public CWnd {
public:
    volatile int* flag = nullptr;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override
    {
        if (msg == WM_APP) {
            *flag = 1;
            return 0;
        }
        return CWnd::WindowProc(msg, wp, lp);
    }
};

class FileDataSource : public mbtest::GuiTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        m_folder = Folder();
        m_bytes = Contents();
        std::ofstream(m_folder + "Song One.mp3", std::ios::binary | std::ios::trunc) << m_bytes;
        std::ofstream(m_folder + "empty.txt", std::ios::binary | std::ios::trunc);
    }
    void TearDown() override
    {
        OleUninitialize();
        mbtest::GuiTest::TearDown();
    }
    std::string m_folder;
    std::string m_bytes;
    volatile int m_cancel = 0;
};

}  // namespace

TEST_F(FileDataSource, PcFilesGiveNamesOnlyAndTheirExactBytes)
{
    mbtest::CRecordingPrompter prompter;
    auto* source = new CFileDataSource(CFileDataSource::KIND_PC, nullptr, nullptr, "ignored\\",
                                       {m_folder + "Song One.mp3", m_folder + "Sub Folder", m_folder + "empty.txt"},
                                       {m_bytes.size(), 0, 0}, &m_cancel, false);
    ASSERT_TRUE(source->OfferFiles());
    IDataObject* data = nullptr;
    ASSERT_EQ(S_OK, source->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(&data)));
    source->Release();

    // The formats on offer, each once.
    IEnumFORMATETC* formats = nullptr;
    ASSERT_EQ(S_OK, data->EnumFormatEtc(DATADIR_GET, &formats));
    FORMATETC fe[4];
    ULONG got = 0;
    formats->Next(4, fe, &got);
    formats->Release();
    ASSERT_EQ(2u, got);
    EXPECT_EQ(CFileDataSource::DescriptorFormat(), fe[0].cfFormat);
    EXPECT_EQ(CFileDataSource::ContentsFormat(), fe[1].cfFormat);

    Block descriptor = Get(data, CFileDataSource::DescriptorFormat(), -1);
    ASSERT_EQ(S_OK, descriptor.hr);
    ASSERT_EQ(4u + 3 * 332, descriptor.bytes.size());
    EXPECT_EQ(3u, U32(descriptor.bytes, 0));
    // The file name alone, not the path the drag started from.
    EXPECT_EQ("Song One.mp3", std::string(descriptor.bytes.c_str() + 4 + 72));
    EXPECT_EQ(0x40u, U32(descriptor.bytes, 4));
    EXPECT_EQ(uint32_t(m_bytes.size()), U32(descriptor.bytes, 4 + 68));
    EXPECT_EQ("Sub Folder", std::string(descriptor.bytes.c_str() + 4 + 332 + 72));

    Block contents = Get(data, CFileDataSource::ContentsFormat(), 0);
    ASSERT_EQ(S_OK, contents.hr);
    EXPECT_TRUE(contents.bytes == m_bytes);
    // An empty file still gives a block (of one byte).
    EXPECT_EQ(S_OK, Get(data, CFileDataSource::ContentsFormat(), 2).hr);
    EXPECT_EQ(0u, prompter.Count());

    // A folder: the message and no data; an index past the end: nothing.
    EXPECT_TRUE(FAILED(Get(data, CFileDataSource::ContentsFormat(), 1).hr));
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("Folders can not transfer another place out of our manager.", prompter.Text(0));
    EXPECT_TRUE(FAILED(Get(data, CFileDataSource::ContentsFormat(), 3).hr));
    EXPECT_EQ(DV_E_FORMATETC, Get(data, CF_TEXT, -1).hr);
    EXPECT_EQ(1u, prompter.Count());
    data->Release();
}

TEST_F(FileDataSource, PlayerFilesReadInChunksAndTheCancelAsks)
{
    mbtest::CRecordingPrompter prompter(IDNO);
    CCancelWindow canceller;
    canceller.flag = &m_cancel;
    ASSERT_TRUE(canceller.CreateEx(0, nullptr, L"", WS_POPUP, RECT{0, 0, 10, 10}, nullptr, 0));
    auto* source = new CFileDataSource(CFileDataSource::KIND_INTERNAL, nullptr, nullptr, m_folder,
                                       {"Song One.mp3", "missing.mp3"}, {m_bytes.size(), 10}, &m_cancel, false);
    ASSERT_TRUE(source->OfferFiles());

    // The Cancel button while the file is read, answered No: the copy goes on.
    canceller.Post(WM_APP);
    Block whole = Get(source, CFileDataSource::ContentsFormat(), 0);
    ASSERT_EQ(S_OK, whole.hr);
    EXPECT_TRUE(whole.bytes == m_bytes);
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ(mb::LoadText(IDS_UPLOAD_CANCEL_ASK), prompter.Text(0));
    EXPECT_EQ(0, m_cancel);

    // Answered Yes: nothing is rendered.
    prompter.QueueAnswer(IDYES);
    canceller.Post(WM_APP);
    EXPECT_TRUE(FAILED(Get(source, CFileDataSource::ContentsFormat(), 0).hr));
    EXPECT_EQ(2u, prompter.Count());

    // A file that is gone: string 106 with its path.
    EXPECT_TRUE(FAILED(Get(source, CFileDataSource::ContentsFormat(), 1).hr));
    ASSERT_EQ(3u, prompter.Count());
    EXPECT_EQ(mb::Format(mb::LoadText(IDS_OPEN_FAILED).c_str(), (m_folder + "missing.mp3").c_str()), prompter.Text(2));
    source->Release();
    canceller.DestroyWindow();
}
