// CFileUtil on real folders under Wine: file facts, folder sizes,
// recycle-bin deletes, drives, shell item ids and display names.
// The folders come from data/make-folders.sh (MB_FILEUTIL_DATA); recycled
// items land in the trash under XDG_DATA_HOME; the time zone is Korean time
// (UTC+9, the POSIX rule KST-9, so no time zone database is needed).
#include "fileutil/FileUtil.h"
#include "fileutil/WindowsCodePage.h"
#include "HostPaths.h"

#include <shlwapi.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

namespace {

std::string Env(const char* name)
{
    const char* v = std::getenv(name);
    return v ? v : "";
}

std::string DataLinux() { return Env("MB_FILEUTIL_DATA"); }
std::string Data() { return mbtest::HostWinPath(DataLinux()); }

std::string ReadFileText(const std::string& windowsPath)
{
    std::ifstream in(windowsPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void MakeFile(const std::string& path, std::size_t bytes)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    std::string data(bytes, 'm');
    DWORD written = 0;
    if (bytes)
        ::WriteFile(h, data.data(), static_cast<DWORD>(bytes), &written, nullptr);
    CloseHandle(h);
    ASSERT_EQ(bytes, written);
}

// Recycling outside the build's own trash folder would fill the user's.
void ExpectOwnTrash()
{
    ASSERT_EQ(DataLinux() + "/xdg", Env("XDG_DATA_HOME")) << "the recycle tests need their own trash folder";
}

// A scratch folder of its own for each test, so parallel tests never meet.
std::string Scratch(const char* name)
{
    char unique[64];
    std::snprintf(unique, sizeof unique, "%s-%lu-%lu", name, GetCurrentProcessId(), GetTickCount());
    const std::string dir = Data() + "\\scratch\\" + unique;
    EXPECT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir;
    return dir;
}

// What the trash holds for a recycled item: its info file names the Linux
// path it came from.
std::string TrashInfo(const std::string& name)
{
    return ReadFileText(Data() + "\\xdg\\Trash\\info\\" + name + ".trashinfo");
}

TEST(FileFacts, SizeAndLocalWriteTime)
{
    DWORD size = 0;
    SYSTEMTIME t;
    ASSERT_TRUE(CFileUtil::GetFileSizeAndTime(Data() + "\\timed.txt", size, t));
    EXPECT_EQ(6u, size);
    // 07:08:09 UTC is 16:08:09 in Korea, a Thursday.
    EXPECT_EQ(2004, t.wYear);
    EXPECT_EQ(5, t.wMonth);
    EXPECT_EQ(6, t.wDay);
    EXPECT_EQ(4, t.wDayOfWeek);
    EXPECT_EQ(16, t.wHour);
    EXPECT_EQ(8, t.wMinute);
    EXPECT_EQ(9, t.wSecond);
}

TEST(FileFacts, MissingFileGivesFalseZeroSizeAndZeroTime)
{
    DWORD size = 77;
    SYSTEMTIME t;
    std::memset(&t, 0xAB, sizeof t);
    EXPECT_FALSE(CFileUtil::GetFileSizeAndTime(Data() + "\\no such file.txt", size, t));
    EXPECT_EQ(0u, size);
    SYSTEMTIME zero = {};
    EXPECT_EQ(0, std::memcmp(&zero, &t, sizeof t));
    EXPECT_FALSE(CFileUtil::FileExists(Data() + "\\no such file.txt"));
    EXPECT_TRUE(CFileUtil::FileExists(Data() + "\\timed.txt"));
}

TEST(FileFacts, SizesFromFourGigabytesOnSaturate)
{
    DWORD size = 0;
    SYSTEMTIME t;
    ASSERT_TRUE(CFileUtil::GetFileSizeAndTime(Data() + "\\big\\under4g.bin", size, t));
    EXPECT_EQ(0xFFFFFFFFu, size);
    ASSERT_TRUE(CFileUtil::GetFileSizeAndTime(Data() + "\\big\\exact4g.bin", size, t));
    EXPECT_EQ(0xFFFFFFFFu, size);
    ASSERT_TRUE(CFileUtil::GetFileSizeAndTime(Data() + "\\big\\five.bin", size, t));
    EXPECT_EQ(0xFFFFFFFFu, size);
}

TEST(FolderSize, SumsTheFilesBelowWithoutFollowingLinks)
{
    // tree/ holds a link back up to itself and a link to a folder outside.
    const DWORD expected = std::stoul(ReadFileText(Data() + "\\tree.size"));
    ASSERT_EQ(83346u, expected);
    EXPECT_EQ(expected, CFileUtil::GetFolderSize(Data() + "\\tree"));
    EXPECT_EQ(expected, CFileUtil::GetFolderSize(Data() + "\\tree\\"));
    EXPECT_EQ(70001u, CFileUtil::GetFolderSize(Data() + "\\tree\\sub"));
    EXPECT_EQ(0u, CFileUtil::GetFolderSize(Data() + "\\tree\\empty"));
    EXPECT_EQ(0u, CFileUtil::GetFolderSize(Data() + "\\no such folder"));
}

TEST(FolderSize, TotalsFromFourGigabytesOnSaturate)
{
    // 3 GB + 2 GB would wrap round to 1 GB in 32 bits.
    EXPECT_EQ(0xFFFFFFFFu, CFileUtil::GetFolderSize(Data() + "\\bigtree"));
    EXPECT_EQ(0xFFFFFFFFu, CFileUtil::GetFolderSize(Data() + "\\big"));
}

TEST(RecycleBin, FolderGoesToTheTrashWithItsFiles)
{
    ExpectOwnTrash();
    if (HasFatalFailure())
        return;
    const std::string dir = Scratch("recycle");
    ASSERT_TRUE(CreateDirectoryA((dir + "\\inner").c_str(), nullptr));
    MakeFile(dir + "\\inner\\song.mp3", 4321);
    MakeFile(dir + "\\top.txt", 5);
    const std::string name = CFileUtil::GetFileName(dir);

    ASSERT_TRUE(CFileUtil::DeleteToRecycleBin(dir));
    EXPECT_FALSE(Exists(dir));
    const std::string trashed = Data() + "\\xdg\\Trash\\files\\" + name;
    EXPECT_EQ(4326u, CFileUtil::GetFolderSize(trashed));
    EXPECT_NE(std::string::npos, TrashInfo(name).find("Path=" + DataLinux() + "/scratch/" + name + "\n"));
}

TEST(RecycleBin, SingleFileGoesToTheTrash)
{
    ExpectOwnTrash();
    if (HasFatalFailure())
        return;
    const std::string dir = Scratch("recyclefile");
    MakeFile(dir + "\\one.wma", 10);
    ASSERT_TRUE(CFileUtil::DeleteToRecycleBin(dir + "\\one.wma"));
    EXPECT_FALSE(Exists(dir + "\\one.wma"));
    EXPECT_TRUE(Exists(dir));
}

TEST(RecycleBin, MissingOrEmptyPathIsAFailure)
{
    ExpectOwnTrash();
    if (HasFatalFailure())
        return;
    const std::string dir = Scratch("recyclemissing");
    EXPECT_FALSE(CFileUtil::DeleteToRecycleBin(dir + "\\not there"));
    EXPECT_FALSE(CFileUtil::DeleteToRecycleBin(""));
    EXPECT_TRUE(Exists(dir));
}

TEST(RecycleBin, WildcardsAreRefusedAndNothingIsDeleted)
{
    ExpectOwnTrash();
    if (HasFatalFailure())
        return;
    const std::string dir = Scratch("recyclewild");
    MakeFile(dir + "\\a.mp3", 1);
    MakeFile(dir + "\\b.mp3", 1);
    EXPECT_FALSE(CFileUtil::DeleteToRecycleBin(dir + "\\*"));
    EXPECT_FALSE(CFileUtil::DeleteToRecycleBin(dir + "\\?.mp3"));
    EXPECT_TRUE(Exists(dir + "\\a.mp3"));
    EXPECT_TRUE(Exists(dir + "\\b.mp3"));
}

TEST(RecycleBin, PathOfTheLongestLengthIsDeletedAndALongerOneRefused)
{
    ExpectOwnTrash();
    if (HasFatalFailure())
        return;
    // A file whose path is exactly 259 characters, and a request for a path
    // one character longer that begins with it: cutting that request down to
    // the buffer would delete the other file.
    const std::string dir = Scratch("recyclelong");
    const std::string prefix = dir + "\\";
    ASSERT_LT(prefix.size(), 200u);
    const std::string longest = prefix + std::string(259 - prefix.size(), 'L');
    ASSERT_EQ(259u, longest.size());
    MakeFile(longest, 3);
    ASSERT_TRUE(Exists(longest));

    EXPECT_FALSE(CFileUtil::DeleteToRecycleBin(longest + "X"));
    EXPECT_TRUE(Exists(longest));
    EXPECT_TRUE(CFileUtil::DeleteToRecycleBin(longest));
    EXPECT_FALSE(Exists(longest));
}

TEST(Drives, ReadyDrivesReportSpace)
{
    EXPECT_TRUE(CFileUtil::IsDriveReady(Data()));
    EXPECT_TRUE(CFileUtil::IsDriveReady("Z:"));
    EXPECT_TRUE(CFileUtil::IsDriveReady("C:\\windows"));
    EXPECT_FALSE(CFileUtil::IsDriveReady("B:\\music"));
    EXPECT_FALSE(CFileUtil::IsDriveReady("Z"));
    EXPECT_FALSE(CFileUtil::IsDriveReady(""));
}

TEST(PathParts, ShortPathsSplitTheCurrentFolder)
{
    ASSERT_TRUE(SetCurrentDirectoryA((Data() + "\\tree\\sub").c_str()));
    std::vector<std::string> parts;
    const int count = CFileUtil::SplitPath("", parts);
    ASSERT_GE(count, 3);
    EXPECT_EQ("Z:", parts.front());
    EXPECT_EQ("tree", parts[count - 2]);
    EXPECT_EQ("sub", parts[count - 1]);
    std::vector<std::string> again;
    EXPECT_EQ(count, CFileUtil::SplitPath("x", again));
    EXPECT_EQ(parts, again);
}

// Item ids from the shell itself.
class ItemIds : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_EQ(S_OK, SHGetDesktopFolder(&m_desktop));
        m_dirPidl = Parse(m_desktop, Data() + "\\tree");
        ASSERT_NE(nullptr, m_dirPidl);
        ASSERT_EQ(S_OK, m_desktop->BindToObject(m_dirPidl, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&m_dir)));
        m_child = Parse(m_dir, "a.bin");
        ASSERT_NE(nullptr, m_child);
    }
    void TearDown() override
    {
        CoTaskMemFree(m_child);
        CoTaskMemFree(m_dirPidl);
        if (m_dir)
            m_dir->Release();
        if (m_desktop)
            m_desktop->Release();
        CoUninitialize();
    }
    static LPITEMIDLIST Parse(IShellFolder* folder, const std::string& path)
    {
        std::wstring wide(path.begin(), path.end());
        LPITEMIDLIST pidl = nullptr;
        if (FAILED(folder->ParseDisplayName(nullptr, nullptr, &wide[0], nullptr, &pidl, nullptr)))
            return nullptr;
        return pidl;
    }

    IShellFolder* m_desktop = nullptr;
    IShellFolder* m_dir = nullptr;
    LPITEMIDLIST m_dirPidl = nullptr;
    LPITEMIDLIST m_child = nullptr;
};

TEST_F(ItemIds, SizesAgreeWithTheShell)
{
    EXPECT_EQ(ILGetSize(m_dirPidl), CFileUtil::GetItemIdListSize(m_dirPidl));
    EXPECT_EQ(ILGetSize(m_child), CFileUtil::GetItemIdListSize(m_child));
    EXPECT_EQ(0u, CFileUtil::GetItemIdListSize(nullptr));
    EXPECT_EQ(ILGetNext(m_dirPidl), CFileUtil::NextItemId(m_dirPidl));
}

TEST_F(ItemIds, JoinedListNamesTheChildInItsFolder)
{
    LPITEMIDLIST joined = CFileUtil::ConcatItemIdLists(m_dirPidl, m_child);
    ASSERT_NE(nullptr, joined);
    char path[MAX_PATH] = {};
    ASSERT_TRUE(SHGetPathFromIDListA(joined, path));
    EXPECT_STREQ((Data() + "\\tree\\a.bin").c_str(), path);
    EXPECT_EQ(ILGetSize(m_dirPidl) + ILGetSize(m_child) - 2, CFileUtil::GetItemIdListSize(joined));
    CoTaskMemFree(joined);

    LPITEMIDLIST alone = CFileUtil::ConcatItemIdLists(nullptr, m_child);
    ASSERT_NE(nullptr, alone);
    EXPECT_TRUE(ILIsEqual(alone, m_child) || std::memcmp(alone, m_child, ILGetSize(m_child)) == 0);
    CoTaskMemFree(alone);

    LPITEMIDLIST headOnly = CFileUtil::ConcatItemIdLists(m_dirPidl, nullptr);
    ASSERT_NE(nullptr, headOnly);
    EXPECT_EQ(ILGetSize(m_dirPidl), CFileUtil::GetItemIdListSize(headOnly));
    ASSERT_TRUE(SHGetPathFromIDListA(headOnly, path));
    EXPECT_STREQ((Data() + "\\tree").c_str(), path);
    CoTaskMemFree(headOnly);
}

TEST_F(ItemIds, CopyOfTheFirstItemIsAListOfOne)
{
    IMalloc* allocator = nullptr;
    ASSERT_EQ(S_OK, SHGetMalloc(&allocator));
    // The folder's list has several items; the copy must end after the first.
    ASSERT_NE(0, ILGetNext(m_dirPidl)->mkid.cb);
    LPITEMIDLIST copy = CFileUtil::CopyItemId(allocator, m_dirPidl);
    ASSERT_NE(nullptr, copy);
    EXPECT_EQ(m_dirPidl->mkid.cb + 2u, CFileUtil::GetItemIdListSize(copy));
    EXPECT_EQ(0, std::memcmp(copy, m_dirPidl, m_dirPidl->mkid.cb));
    allocator->Free(copy);
    allocator->Release();
}

TEST_F(ItemIds, ShellMemoryIsZeroFilled)
{
    unsigned char* memory = static_cast<unsigned char*>(CFileUtil::AllocShellMemory(300));
    ASSERT_NE(nullptr, memory);
    for (int i = 0; i < 300; ++i)
        ASSERT_EQ(0, memory[i]) << i;
    CoTaskMemFree(memory);
}

TEST_F(ItemIds, DisplayNamesOfARealItem)
{
    std::string name;
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(m_dir, m_child, SHGDN_INFOLDER | SHGDN_FORPARSING, name));
    EXPECT_EQ("a.bin", name);
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(m_dir, m_child, SHGDN_FORPARSING, name));
    EXPECT_EQ(Data() + "\\tree\\a.bin", name);
    EXPECT_FALSE(CFileUtil::GetItemDisplayName(nullptr, m_child, SHGDN_NORMAL, name));
}

// A folder that answers GetDisplayNameOf with a set STRRET; nothing else.
class CFixedNameFolder : public IShellFolder {
public:
    STRRET answer = {};
    HRESULT result = S_OK;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE ParseDisplayName(HWND, IBindCtx*, LPWSTR, ULONG*, LPITEMIDLIST*, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EnumObjects(HWND, SHCONTF, IEnumIDList**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToObject(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE BindToStorage(LPCITEMIDLIST, IBindCtx*, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CompareIDs(LPARAM, LPCITEMIDLIST, LPCITEMIDLIST) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CreateViewObject(HWND, REFIID, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetAttributesOf(UINT, LPCITEMIDLIST*, SFGAOF*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetUIObjectOf(HWND, UINT, LPCITEMIDLIST*, REFIID, UINT*, void**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetDisplayNameOf(LPCITEMIDLIST, SHGDNF, STRRET* out) override
    {
        if (FAILED(result))
            return result;
        *out = answer;
        if (answer.uType == STRRET_WSTR) {
            const std::size_t bytes = (std::wcslen(answer.pOleStr) + 1) * sizeof(WCHAR);
            out->pOleStr = static_cast<LPWSTR>(CoTaskMemAlloc(bytes));
            std::memcpy(out->pOleStr, answer.pOleStr, bytes);
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetNameOf(HWND, LPCITEMIDLIST, LPCOLESTR, SHGDNF, LPITEMIDLIST*) override { return E_NOTIMPL; }
};

TEST(DisplayName, EveryAnswerFormIsBoundedToTheNameSlot)
{
    CFixedNameFolder folder;
    // An item of 12 bytes whose text starts at offset 4 and runs to its end
    // without a terminator: the copy stops at the item's end.
    unsigned char item[16] = {12, 0, 0, 0, 'T', 'r', 'a', 'c', 'k', '0', '1', 'Z', 'j', 'u', 'n', 'k'};
    const LPCITEMIDLIST pidl = reinterpret_cast<LPCITEMIDLIST>(item);
    std::string name;

    folder.answer.uType = STRRET_OFFSET;
    folder.answer.uOffset = 4;
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ("Track01Z", name);
    folder.answer.uOffset = 40;
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ("", name);

    folder.answer.uType = STRRET_CSTR;
    std::memset(folder.answer.cStr, 'c', sizeof folder.answer.cStr);
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ(std::string(255, 'c'), name);
    std::strcpy(folder.answer.cStr, "Album");
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ("Album", name);

    std::wstring wide(300, L'w');
    folder.answer.uType = STRRET_WSTR;
    folder.answer.pOleStr = &wide[0];
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ(std::string(255, 'w'), name);
    wide = L"Voice";
    folder.answer.pOleStr = &wide[0];
    ASSERT_TRUE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ("Voice", name);

    folder.result = E_FAIL;
    name = "unchanged";
    EXPECT_FALSE(CFileUtil::GetItemDisplayName(&folder, pidl, SHGDN_NORMAL, name));
    EXPECT_EQ("unchanged", name);
}

TEST(Icons, FoldersAndFilesHaveSystemImageIndexes)
{
    const UINT flags = SHGFI_SYSICONINDEX | SHGFI_SMALLICON;
    const int folder = CFileUtil::GetIconIndex(Data() + "\\tree", flags);
    const int file = CFileUtil::GetIconIndex(Data() + "\\timed.txt", flags);
    EXPECT_GE(folder, 0);
    EXPECT_GE(file, 0);
    EXPECT_NE(folder, file);
    EXPECT_EQ(folder, CFileUtil::GetIconIndex(Data() + "\\tree", flags | SHGFI_ICON));
}

TEST(CodePage, KoreanTableOfTheSystemIsTheRuleTheNativeTestsUse)
{
    // The native tests take every byte 0x81-0xFE as a Korean lead byte.
    const CWindowsCodePage korean(949);
    for (int b = 0; b < 256; ++b)
        EXPECT_EQ(b >= 0x81 && b <= 0xFE, korean.IsLeadByte(static_cast<unsigned char>(b))) << b;
    const CWindowsCodePage western(1252);
    for (int b = 0; b < 256; ++b)
        EXPECT_FALSE(western.IsLeadByte(static_cast<unsigned char>(b))) << b;
}

}  // namespace
