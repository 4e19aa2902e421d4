// The transfer engine on real drives under Wine: R: is the player's memory (a
// folder), S: a small memory that fills (tmpfs), T: a memory of exactly 4 GiB,
// the PC side a folder reached by its Z:\ path. A message-only window records
// every message the engine sends its owner; the platform's recording prompter
// answers the message boxes; a scripted asker (or, once, the real dialog)
// answers the overwrite question.
#include <windows.h>

#include <cstdlib>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "GuiTest.h"
#include "OverwriteDlg.h"
#include "Text.h"
#include "TransferEngine.h"
#include "TransferWindowSink.h"

namespace {

std::string WorkFolder()
{
    const char* work = std::getenv("MB_TRANSFER_WORK");
    std::string z = "Z:";
    for (const char* p = work ? work : ""; *p; ++p)
        z += *p == '/' ? '\\' : *p;
    return z;
}

std::string Pc(const std::string& name = std::string()) { return WorkFolder() + "\\pc" + (name.empty() ? "" : "\\" + name); }

std::vector<unsigned char> Pattern(std::size_t size, unsigned seed = 1)
{
    std::vector<unsigned char> v(size);
    unsigned x = seed * 2654435761u + 1;
    for (auto& b : v) {
        x = x * 1103515245u + 12345u;
        b = static_cast<unsigned char>(x >> 16);
    }
    return v;
}

bool WriteBytes(const std::string& path, const std::vector<unsigned char>& data)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD put = 0;
    const bool ok = data.empty() || (WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &put, nullptr) &&
                                     put == data.size());
    CloseHandle(h);
    return ok;
}

bool ReadBytes(const std::string& path, std::vector<unsigned char>& data)
{
    data.clear();
    HANDLE h = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    GetFileSizeEx(h, &size);
    data.resize(static_cast<std::size_t>(size.QuadPart));
    DWORD got = 0;
    const bool ok = data.empty() || (ReadFile(h, data.data(), static_cast<DWORD>(data.size()), &got, nullptr) &&
                                     got == data.size());
    CloseHandle(h);
    return ok;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void EmptyFolder(const std::string& folder, bool removeItself = false)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                EmptyFolder(path, true);
            else if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveDirectoryA(path.c_str());
            else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(h, &found));
        FindClose(h);
    }
    if (removeItself)
        RemoveDirectoryA(folder.c_str());
}

// Names below a folder, folders marked with a trailing "\", sorted.
void ListTree(const std::string& folder, const std::string& prefix, std::vector<std::string>& out)
{
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::string name = found.cFileName;
        if (name == "." || name == "..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            out.push_back(prefix + name + "\\");
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                ListTree(folder + "\\" + name, prefix + name + "\\", out);
        } else {
            out.push_back(prefix + name);
        }
    } while (FindNextFileA(h, &found));
    FindClose(h);
    std::sort(out.begin(), out.end());
}

struct CRecord {
    UINT msg;
    WPARAM wp;
    LPARAM lp;
    std::string path;  // for the messages that carry the item's path
};

// The owner: a message-only window that records every engine message.
class COwnerWindow {
public:
    COwnerWindow()
    {
        static ATOM atom = [] {
            WNDCLASSA wc = {};
            wc.lpfnWndProc = &COwnerWindow::Proc;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "TransferOwner";
            return RegisterClassA(&wc);
        }();
        (void)atom;
        hwnd = CreateWindowExA(0, "TransferOwner", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleA(nullptr),
                               nullptr);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~COwnerWindow() { DestroyWindow(hwnd); }

    std::vector<CRecord> Of(UINT msg) const
    {
        std::vector<CRecord> out;
        for (const auto& r : records)
            if (r.msg == msg)
                out.push_back(r);
        return out;
    }
    std::vector<std::string> Paths(UINT msg) const
    {
        std::vector<std::string> out;
        for (const auto& r : Of(msg))
            out.push_back(r.path);
        return out;
    }

    HWND hwnd = nullptr;
    std::vector<CRecord> records;
    std::function<void(const CRecord&)> onMessage;

private:
    static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
    {
        auto* self = reinterpret_cast<COwnerWindow*>(GetWindowLongPtrA(h, GWLP_USERDATA));
        const bool engine = (msg >= WM_XFER_SOURCE_DELETED && msg <= WM_UPLOAD_FILE_DONE) ||
                            (msg >= WM_XFER_ITEM_PROCESSING && msg <= WM_XFER_ITEM_SKIPPED);
        if (self && engine) {
            CRecord r{msg, wp, lp, std::string()};
            if (msg >= WM_XFER_ITEM_PROCESSING)
                r.path = reinterpret_cast<const char*>(wp);
            self->records.push_back(r);
            if (self->onMessage)
                self->onMessage(r);
            return 0;
        }
        return DefWindowProcA(h, msg, wp, lp);
    }
};

// The platform's recording prompter with a look at each question as it comes.
class CWatchingPrompter : public mbtest::CRecordingPrompter {
public:
    explicit CWatchingPrompter(int answer) : CRecordingPrompter(answer) {}
    int Prompt(HWND owner, const std::wstring& text, const std::wstring& caption, UINT type) override
    {
        if (onPrompt)
            onPrompt(mb::Narrow(text));
        return CRecordingPrompter::Prompt(owner, text, caption, type);
    }
    bool Asked(const std::string& part) const
    {
        for (size_t i = 0; i < Count(); ++i)
            if (Text(i).find(part) != std::string::npos)
                return true;
        return false;
    }
    std::function<void(const std::string&)> onPrompt;
};

class CScriptedAsker : public COverwriteAsker {
public:
    int AskOverwrite(const std::string& name) override
    {
        names.push_back(name);
        if (onAsk)
            onAsk();
        if (answers.empty())
            return OVERWRITE_NO;
        const int a = answers.front();
        answers.pop_front();
        return a;
    }
    std::deque<int> answers;
    std::vector<std::string> names;
    std::function<void()> onAsk;
};

const char* const kNotComplete = "Download is not complete. Do you want to cancel it?";
const char* const kNoSpace = "There is no memory space available.";
const char* const kNext = "Do you want to download next selected file(s)?";

// A guard against a stray box nobody answers (a real dialog left open): after
// five minutes it closes such a box, so the case fails on its own checks
// instead of hanging. How long a case takes is not measured.
class EngineTest : public ::testing::Test {
protected:
    mbtest::CGuiTimeLimit m_guard{300000};

    void SetUp() override
    {
        ASSERT_TRUE(std::getenv("MB_TRANSFER_WORK")) << "run through CTest (drives and folders)";
        for (const char* drive : {"R:", "S:", "T:"})
            EmptyFolder(drive);
        EmptyFolder(Pc());
        CreateDirectoryA(Pc("prog").c_str(), nullptr);
        engine.SetSink(&sink);
        engine.SetOverwriteAsker(&asker);
        engine.SetProgramFolder(Pc("prog"));
    }
    void TearDown() override
    {
        const std::string gone = WorkFolder() + "\\player.gone";
        if (Exists(gone)) {
            RemoveDirectoryA((WorkFolder() + "\\player").c_str());
            MoveFileA(gone.c_str(), (WorkFolder() + "\\player").c_str());
        }
    }

    // Waits for the worker, handling its messages; returns the end state.
    int Finish(HANDLE thread, const std::function<void()>& eachTurn = nullptr)
    {
        EXPECT_NE(nullptr, thread);
        if (!thread)
            return -1;
        EXPECT_TRUE(mbtest::PumpUntil(
            [&] {
                if (eachTurn)
                    eachTurn();
                return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
            },
            90000));
        mbtest::PumpFor(50);  // the posted messages
        TRANSFER_STATUS status;
        EXPECT_FALSE(engine.GetStatus(&status));
        return status.State;
    }
    int Download(const std::vector<std::string>& items, const std::string& target, int mode = TRANSFER_DOWNLOAD,
                 int platformClass = 3)
    {
        engine.ClearFileList();
        for (const auto& item : items)
            engine.AddFile(item);
        return Finish(engine.Start(TRANSFER_TO_PLAYER, target, mode, platformClass));
    }
    int Upload(const std::vector<std::string>& items, const std::string& target, int mode = TRANSFER_UPLOAD)
    {
        engine.ClearFileList();
        for (const auto& item : items)
            engine.AddFile(item);
        return Finish(engine.Start(TRANSFER_TO_PC, target, mode, 0));
    }
    std::string MakePc(const std::string& name, std::size_t size, unsigned seed = 1)
    {
        const std::string path = Pc(name);
        EXPECT_TRUE(WriteBytes(path, Pattern(size, seed))) << path;
        return path;
    }
    void ExpectSameBytes(const std::string& a, const std::string& b)
    {
        std::vector<unsigned char> x, y;
        ASSERT_TRUE(ReadBytes(a, x)) << a;
        ASSERT_TRUE(ReadBytes(b, y)) << b;
        EXPECT_EQ(x.size(), y.size()) << a << " / " << b;
        EXPECT_TRUE(x == y) << a << " / " << b;
    }

    CWatchingPrompter prompter{IDYES};
    CScriptedAsker asker;
    COwnerWindow owner;
    CTransferWindowSink sink{owner.hwnd};
    // The process's one directory object, as the main window shares it.
    CQV_SysCtrl sysCtrl;
    CTransferEngine engine{&sysCtrl};
};

class EndStates : public EngineTest {};
class Items : public EngineTest {};
class Overwrite : public EngineTest {};
class CopyTestFile : public EngineTest {};
class FolderCopy : public EngineTest {};
class Cancel : public EngineTest {};
class Status : public EngineTest {};
class RealQuestion : public EngineTest {};

// ---- end states ---------------------------------------------------------

TEST_F(EndStates, AnEmptyListEndsADownloadWith2AndAnUploadWith4)
{
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({}, "R:\\"));
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Upload({}, Pc()));
    EXPECT_TRUE(owner.records.empty());
    EXPECT_EQ(0u, prompter.Count());
}

TEST_F(EndStates, ADownloadThatCopiedEverythingEndsWith2AndAnUploadWith4)
{
    const std::string a = MakePc("a.mp3", 1000);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "R:\\"));
    ExpectSameBytes(a, "R:\\a.mp3");
    CreateDirectoryA(Pc("up").c_str(), nullptr);
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Upload({"R:\\a.mp3"}, Pc("up")));
    ExpectSameBytes(a, Pc("up\\a.mp3"));
    ASSERT_EQ(1u, owner.Of(WM_UPLOAD_FILE_DONE).size());
    EXPECT_EQ(0, owner.Of(WM_UPLOAD_FILE_DONE)[0].lp);
}

TEST_F(EndStates, TooLittleFreeSpaceRefusesTheItemAndStopsWith5)
{
    const std::string big = MakePc("big.mp3", 4 * 1024 * 1024);
    EXPECT_EQ(TRANSFER_STOPPED, Download({big}, "S:\\"));
    EXPECT_FALSE(Exists("S:\\big.mp3"));
    EXPECT_EQ(std::vector<std::string>{big}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    EXPECT_TRUE(owner.Of(WM_XFER_ITEM_PROCESSING).empty());
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ(0u, prompter.Text(0).find(kNoSpace));
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompter.Records()[0].type);
}

TEST_F(EndStates, TooLittleSpaceBeforeTheLastItemAsksToGoOn)
{
    const std::string big = MakePc("big.mp3", 4 * 1024 * 1024);
    const std::string small = MakePc("small.mp3", 5000);
    prompter.QueueAnswer(IDYES);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({big, small}, "S:\\"));
    ASSERT_GE(prompter.Count(), 1u);
    EXPECT_NE(std::string::npos, prompter.Text(0).find(std::string(kNoSpace)));
    EXPECT_NE(std::string::npos, prompter.Text(0).find(std::string("\r\n") + kNext));
    ExpectSameBytes(small, "S:\\small.mp3");
}

TEST_F(EndStates, ADiskThatFillsDuringTheCopyStopsWith5AndLeavesNoTruncatedFile)
{
    const std::string item = MakePc("fills.mp3", 2 * 1024 * 1024);
    // Another writer takes the space once the free-space check has passed.
    owner.onMessage = [](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING)
            WriteBytes("S:\\other.bin", Pattern(1536 * 1024, 9));
    };
    EXPECT_EQ(TRANSFER_STOPPED, Download({item}, "S:\\", TRANSFER_DOWNLOAD, 0));
    EXPECT_FALSE(Exists("S:\\fills.mp3"));
    EXPECT_TRUE(prompter.Asked("Failed to write a file to the memory."));
    EXPECT_EQ(std::vector<std::string>{item}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    EXPECT_TRUE(owner.Of(WM_XFER_FILE_DONE).empty());
}

TEST_F(EndStates, APlayerThatStopsAnsweringEndsWith7)
{
    const std::string a = MakePc("a.mp3", 3000);
    const std::string b = MakePc("b.mp3", 3000);
    // The player's drive goes away after the first item.
    owner.onMessage = [](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_COMPLETE) {
            EXPECT_TRUE(MoveFileA((WorkFolder() + "\\player").c_str(), (WorkFolder() + "\\player.gone").c_str()));
        }
    };
    EXPECT_EQ(TRANSFER_NO_ANSWER, Download({a, b}, "R:\\"));
    EXPECT_EQ(std::vector<std::string>{a}, owner.Paths(WM_XFER_ITEM_PROCESSING));
    EXPECT_EQ(std::vector<std::string>{b}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("The Vilo Lark is not communicating with your computer.  Please retry.", prompter.Text(0));
}

TEST_F(EndStates, AnUploadFromAPlayerThatStopsAnsweringEndsWith7)
{
    ASSERT_TRUE(WriteBytes("R:\\a.mp3", Pattern(3000)));
    ASSERT_TRUE(WriteBytes("R:\\b.mp3", Pattern(3000)));
    CreateDirectoryA(Pc("up").c_str(), nullptr);
    owner.onMessage = [](const CRecord& r) {
        if (r.msg == WM_UPLOAD_FILE_DONE) {
            EXPECT_TRUE(MoveFileA((WorkFolder() + "\\player").c_str(), (WorkFolder() + "\\player.gone").c_str()));
        }
    };
    EXPECT_EQ(TRANSFER_NO_ANSWER, Upload({"R:\\a.mp3", "R:\\b.mp3"}, Pc("up")));
    EXPECT_TRUE(Exists(Pc("up\\a.mp3")));
    EXPECT_FALSE(Exists(Pc("up\\b.mp3")));
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ(0u, prompter.Text(0).find("Failed to open 'b.mp3'."));
}

TEST_F(EndStates, AMemoryOfExactly4GiBAnswersAndTakesTheFile)
{
    std::uint32_t freeBytes = 0, totalBytes = 0;
    EXPECT_EQ(0xFFFFFFFFu, CTransferEngine::GetDriveSpace("T:\\Music\\", &freeBytes, &totalBytes));
    EXPECT_EQ(0xFFFFFFFFu, totalBytes);
    EXPECT_EQ(0xFFFFFFFFu, freeBytes);
    const std::string a = MakePc("a.mp3", 70000);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "T:\\"));
    ExpectSameBytes(a, "T:\\a.mp3");
}

// ---- items: sizes, chunks, messages -------------------------------------

TEST_F(Items, FilesOfEverySizeArriveByteForByteOnBothPlatformClasses)
{
    const std::vector<std::size_t> sizes = {0, 16 * 1024 + 1, 320 * 1024 + 1};
    for (int platformClass : {3, 2, 0}) {
        EmptyFolder("R:");
        owner.records.clear();
        std::vector<std::string> items;
        std::uint32_t total = 0;
        for (std::size_t size : sizes) {
            items.push_back(MakePc("f" + std::to_string(size) + ".mp3", size, static_cast<unsigned>(size)));
            total += static_cast<std::uint32_t>(size);
        }
        EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download(items, "R:\\", TRANSFER_DOWNLOAD, platformClass));
        for (std::size_t size : sizes)
            ExpectSameBytes(Pc("f" + std::to_string(size) + ".mp3"), "R:\\f" + std::to_string(size) + ".mp3");
        TRANSFER_STATUS status;
        engine.GetStatus(&status);
        EXPECT_EQ(3, status.TotalItems);
        EXPECT_EQ(3, status.CurrentItem);
        EXPECT_EQ(total, status.RunBytesDone);
        EXPECT_EQ(320u * 1024 + 1, status.ItemSize);
        EXPECT_EQ(320u * 1024 + 1, status.ItemBytesDone);
        EXPECT_EQ(0, status.Reserved);
        EXPECT_EQ(items, owner.Paths(WM_XFER_ITEM_PROCESSING));
        EXPECT_EQ(items, owner.Paths(WM_XFER_ITEM_COMPLETE));
        const auto done = owner.Of(WM_XFER_FILE_DONE);
        ASSERT_EQ(3u, done.size());
        for (std::size_t i = 0; i < done.size(); ++i) {
            EXPECT_EQ(i, done[i].wp);
            EXPECT_EQ(0, done[i].lp);  // nothing was replaced
        }
    }
}

TEST_F(Items, UploadsArriveByteForByte)
{
    CreateDirectoryA(Pc("up").c_str(), nullptr);
    std::vector<std::string> items;
    for (std::size_t size : {std::size_t(0), std::size_t(16 * 1024 + 1), std::size_t(320 * 1024 + 1)}) {
        const std::string name = "u" + std::to_string(size) + ".mp3";
        ASSERT_TRUE(WriteBytes("R:\\" + name, Pattern(size, 7)));
        items.push_back("R:\\" + name);
    }
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Upload(items, Pc("up")));
    for (const auto& item : items)
        ExpectSameBytes(item, Pc("up\\" + item.substr(3)));
    std::vector<std::string> names;
    ListTree(Pc("up"), "", names);
    EXPECT_EQ(3u, names.size()) << "no scratch copy left behind";
    TRANSFER_STATUS status;
    engine.GetStatus(&status);
    EXPECT_EQ(16u * 1024 + 1 + 320 * 1024 + 1, status.RunBytesDone);
}

// The chunk is seen through a cancel asked before the copy: the question
// comes after the first chunk, when exactly one chunk has been written.
TEST_F(Items, ChunksAre320KBOnXPAnd16KBOtherwise)
{
    const std::string a = MakePc("a.mp3", 1024 * 1024);
    owner.onMessage = [this](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING)
            engine.Cancel();
    };
    for (int platformClass : {3, 2, 1, 0}) {
        std::uint32_t atQuestion = 0;
        prompter.onPrompt = [&](const std::string& text) {
            if (text == kNotComplete) {
                TRANSFER_STATUS s;
                engine.GetStatus(&s);
                atQuestion = s.ItemBytesDone;
            }
        };
        prompter.QueueAnswer(IDYES);  // cancel
        EXPECT_EQ(TRANSFER_STOPPED, Download({a}, "R:\\", TRANSFER_DOWNLOAD, platformClass));
        EXPECT_EQ(platformClass == 3 ? 0x50000u : 0x4000u, atQuestion) << "class " << platformClass;
        EXPECT_FALSE(Exists("R:\\a.mp3")) << "the partly written file is deleted";
    }
}

// The cancel is pressed while the overwrite question is up, so the copy asks
// after its first chunk: exactly 16 KB, although the class is XP's.
TEST_F(Items, UploadsCopyIn16KBChunksAndACancelledOneLeavesThePcFile)
{
    ASSERT_TRUE(WriteBytes("R:\\b.mp3", Pattern(2 * 1024 * 1024)));
    CreateDirectoryA(Pc("up").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Pc("up\\b.mp3"), Pattern(77, 4)));
    asker.answers = {OVERWRITE_YES};
    asker.onAsk = [this] { engine.Cancel(); };
    std::uint32_t atQuestion = 0;
    prompter.onPrompt = [&](const std::string& text) {
        if (text == "Upload is not complete. Do you want to cancel it?") {
            TRANSFER_STATUS s;
            engine.GetStatus(&s);
            atQuestion = s.ItemBytesDone;
        }
    };
    prompter.QueueAnswer(IDYES);
    engine.ClearFileList();
    engine.AddFile("R:\\b.mp3");
    EXPECT_EQ(TRANSFER_STOPPED, Finish(engine.Start(TRANSFER_TO_PC, Pc("up"), TRANSFER_UPLOAD, 3)));
    EXPECT_EQ(0x4000u, atQuestion);
    std::vector<std::string> names;
    ListTree(Pc("up"), "", names);
    EXPECT_EQ(std::vector<std::string>{"b.mp3"}, names) << "no scratch copy is left";
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes(Pc("up\\b.mp3"), data));
    EXPECT_TRUE(data == Pattern(77, 4)) << "the PC file is kept";
}

// 98 and ME have no MoveFileEx: a complete scratch copy replaces the PC file
// by delete and MoveFile there, and with one call on 2000 and XP.
TEST_F(Items, AScratchCopyReplacesItsTargetOnBothWindowsLines)
{
    for (bool nt : {false, true}) {
        ASSERT_TRUE(WriteBytes(Pc("scratch.tmp"), Pattern(300, 1)));
        ASSERT_TRUE(WriteBytes(Pc("target.mp3"), Pattern(20, 2)));
        EXPECT_TRUE(CWindowsFiles::MoveOver(Pc("scratch.tmp"), Pc("target.mp3"), nt)) << nt;
        EXPECT_FALSE(Exists(Pc("scratch.tmp")));
        std::vector<unsigned char> data;
        ASSERT_TRUE(ReadBytes(Pc("target.mp3"), data));
        EXPECT_TRUE(data == Pattern(300, 1)) << nt;
        // Without a target to replace, too.
        ASSERT_TRUE(WriteBytes(Pc("scratch.tmp"), Pattern(30, 3)));
        EXPECT_TRUE(CWindowsFiles::MoveOver(Pc("scratch.tmp"), Pc("new.mp3"), nt)) << nt;
        EXPECT_TRUE(Exists(Pc("new.mp3")));
        DeleteFileA(Pc("new.mp3").c_str());
    }
}

TEST_F(Items, APlaylistIsDownloadedOnlyWhenTheUserAgrees)
{
    const std::string list = MakePc("Mix 100%.M3U", 200);
    prompter.QueueAnswer(IDNO);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({list}, "R:\\"));
    EXPECT_FALSE(Exists("R:\\Mix 100%.M3U"));
    EXPECT_EQ(std::vector<std::string>{list}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ(0u, prompter.Text(0).find("The playlist of 'Mix 100%.M3U' file may not playback."));
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), prompter.Records()[0].type);
    prompter.QueueAnswer(IDYES);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({list}, "R:\\"));
    ExpectSameBytes(list, "R:\\Mix 100%.M3U");
}

TEST_F(Items, AMoveDeletesTheSourceAndSaysSo)
{
    const std::string a = MakePc("a.mp3", 5000);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "R:\\", TRANSFER_PC_CUT));
    EXPECT_FALSE(Exists(a));
    EXPECT_TRUE(Exists("R:\\a.mp3"));
    ASSERT_EQ(1u, owner.Of(WM_XFER_SOURCE_DELETED).size());
    EXPECT_EQ(0u, owner.Of(WM_XFER_SOURCE_DELETED)[0].wp);
    // Inside the player (mode 32) the other message is sent.
    CreateDirectoryA("R:\\Sub", nullptr);
    owner.records.clear();
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({"R:\\a.mp3"}, "R:\\Sub\\", TRANSFER_PLAYER_CUT));
    EXPECT_FALSE(Exists("R:\\a.mp3"));
    ExpectSameBytes(a.empty() ? "" : "R:\\Sub\\a.mp3", "R:\\Sub\\a.mp3");
    EXPECT_EQ(1u, owner.Of(WM_XFER_SOURCE_DELETED_EXT).size());
    EXPECT_TRUE(owner.Of(WM_XFER_SOURCE_DELETED).empty());
}

TEST_F(Items, AFileCopiedOntoItselfIsRefusedAndKept)
{
    ASSERT_TRUE(WriteBytes("R:\\same.mp3", Pattern(3000)));
    asker.answers = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Download({"R:\\same.mp3"}, "R:\\", TRANSFER_PLAYER_COPY));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes("R:\\same.mp3", data));
    EXPECT_TRUE(data == Pattern(3000));
    EXPECT_TRUE(asker.names.empty());
    EXPECT_TRUE(prompter.Asked("Failed to create 'same.mp3'."));
}

// A kernel status file reports 4096 bytes and holds a few: a source that ends
// before its size, as a file cut short under the copy does.
const char* const kShortSource = "Z:\\sys\\devices\\system\\cpu\\online";

TEST_F(Items, ASourceEndingBeforeItsSizeIsAReadFailureAndLeavesNoTruncatedCopy)
{
    ASSERT_TRUE(Exists(kShortSource));
    const std::string a = MakePc("a.mp3", 100);
    prompter.QueueAnswer(IDYES);  // go on after the failure
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({kShortSource, a}, "R:\\", TRANSFER_DOWNLOAD, 0));
    EXPECT_FALSE(Exists("R:\\online"));
    ASSERT_GE(prompter.Count(), 1u);
    EXPECT_EQ(std::string("Failed to read the file.\r\n") + kNext, prompter.Text(0));
    EXPECT_EQ(std::vector<std::string>{kShortSource}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    ASSERT_EQ(1u, owner.Of(WM_XFER_FILE_DONE).size());
    EXPECT_EQ(1u, owner.Of(WM_XFER_FILE_DONE)[0].wp);
    // At the last item the failure is shown and the run stops.
    owner.records.clear();
    EXPECT_EQ(TRANSFER_STOPPED, Download({kShortSource}, "R:\\", TRANSFER_DOWNLOAD, 3));
    EXPECT_EQ("Failed to read the file.", prompter.Text(prompter.Count() - 1));
    EXPECT_FALSE(Exists("R:\\online"));
}

// ---- overwrite question ---------------------------------------------------

TEST_F(Overwrite, YesToAllReplacesEveryLaterTargetWithoutAsking)
{
    std::vector<std::string> items;
    for (int i = 0; i < 3; ++i) {
        const std::string name = "t" + std::to_string(i) + ".mp3";
        items.push_back(MakePc(name, 4000 + i, 20 + i));
        ASSERT_TRUE(WriteBytes("R:\\" + name, Pattern(100, 99)));
    }
    asker.answers = {OVERWRITE_YES_TO_ALL};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download(items, "R:\\"));
    EXPECT_EQ(std::vector<std::string>{"t0.mp3"}, asker.names);
    for (const auto& item : items)
        ExpectSameBytes(item, "R:\\" + item.substr(item.rfind('\\') + 1));
    const auto done = owner.Of(WM_XFER_FILE_DONE);
    ASSERT_EQ(3u, done.size());
    for (const auto& d : done)
        EXPECT_EQ(1, d.lp);
}

TEST_F(Overwrite, NoSkipsTheItemAndKeepsTheTarget)
{
    const std::string a = MakePc("a.mp3", 4000);
    const std::string b = MakePc("b.mp3", 4000, 3);
    ASSERT_TRUE(WriteBytes("R:\\a.mp3", Pattern(10, 5)));
    asker.answers = {OVERWRITE_NO};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a, b}, "R:\\"));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes("R:\\a.mp3", data));
    EXPECT_TRUE(data == Pattern(10, 5));
    EXPECT_EQ(std::vector<std::string>{a}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    ExpectSameBytes(b, "R:\\b.mp3");
}

TEST_F(Overwrite, CancelEndsADownloadWith2)
{
    const std::string a = MakePc("a.mp3", 4000);
    const std::string b = MakePc("b.mp3", 4000);
    ASSERT_TRUE(WriteBytes("R:\\a.mp3", Pattern(10, 5)));
    asker.answers = {OVERWRITE_CANCEL};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a, b}, "R:\\"));
    EXPECT_FALSE(Exists("R:\\b.mp3"));
    EXPECT_EQ(std::vector<std::string>{a}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    EXPECT_TRUE(owner.Of(WM_XFER_ITEM_PROCESSING).empty());
}

TEST_F(Overwrite, CancelEndsAnUploadWith4)
{
    ASSERT_TRUE(WriteBytes("R:\\a.mp3", Pattern(4000)));
    ASSERT_TRUE(WriteBytes("R:\\b.mp3", Pattern(4000)));
    CreateDirectoryA(Pc("up").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Pc("up\\a.mp3"), Pattern(10, 5)));
    asker.answers = {OVERWRITE_CANCEL};
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Upload({"R:\\a.mp3", "R:\\b.mp3"}, Pc("up")));
    EXPECT_FALSE(Exists(Pc("up\\b.mp3")));
    EXPECT_TRUE(owner.Of(WM_UPLOAD_FILE_DONE).empty());
}

TEST_F(Overwrite, AnUploadAnsweredYesKeepsThePcFileWhenTheCopyFails)
{
    ASSERT_TRUE(WriteBytes("R:\\online", Pattern(200000)));
    CreateDirectoryA(Pc("up").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Pc("up\\online"), Pattern(777, 5)));
    asker.answers = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Upload({kShortSource}, Pc("up")));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes(Pc("up\\online"), data));
    EXPECT_TRUE(data == Pattern(777, 5));
    EXPECT_TRUE(owner.Of(WM_XFER_SOURCE_DELETED).empty()) << "the PC file is still there";
    std::vector<std::string> names;
    ListTree(Pc("up"), "", names);
    EXPECT_EQ(std::vector<std::string>{"online"}, names) << "no scratch copy left behind";
    EXPECT_TRUE(prompter.Asked("Failed to open 'online'."));
    // Answered Yes with a sound source, the copy replaces it.
    asker.answers = {OVERWRITE_YES};
    owner.records.clear();
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Upload({"R:\\online"}, Pc("up")));
    ExpectSameBytes("R:\\online", Pc("up\\online"));
    ASSERT_EQ(1u, owner.Of(WM_UPLOAD_FILE_DONE).size());
    EXPECT_EQ(1, owner.Of(WM_UPLOAD_FILE_DONE)[0].lp);
}

// The memory holds the old file and the new one: the old one is replaced only
// by a complete copy (the native run tests cover a memory too full for both).
TEST_F(Overwrite, AReplacedTargetWhoseCopyFailedIsKeptWhenTheMemoryHoldsBoth)
{
    ASSERT_TRUE(WriteBytes("R:\\online", Pattern(300, 4)));
    asker.answers = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Download({kShortSource}, "R:\\"));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes("R:\\online", data));
    EXPECT_TRUE(data == Pattern(300, 4));
    EXPECT_TRUE(owner.Of(WM_XFER_SOURCE_DELETED_EXT).empty());
    EXPECT_TRUE(owner.Of(WM_XFER_FILE_DONE).empty());
    std::vector<std::string> names;
    ListTree("R:", "", names);
    EXPECT_EQ(std::vector<std::string>{"online"}, names) << "no scratch copy left behind";
    // A sound source replaces it.
    const std::string a = MakePc("online", 5000);
    asker.answers = {OVERWRITE_YES};
    owner.records.clear();
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "R:\\"));
    ExpectSameBytes(a, "R:\\online");
    ASSERT_EQ(1u, owner.Of(WM_XFER_FILE_DONE).size());
    EXPECT_EQ(1, owner.Of(WM_XFER_FILE_DONE)[0].lp);
}

// Yes on a memory that cannot take the new file even without the old one:
// the old one is not deleted for nothing.
TEST_F(Overwrite, AReplaceThatCannotFitEvenWithoutTheOldFileKeepsIt)
{
    ASSERT_TRUE(WriteBytes("S:\\song.mp3", Pattern(100 * 1024, 5)));
    ULARGE_INTEGER available = {}, total = {}, all = {};
    ASSERT_TRUE(GetDiskFreeSpaceExA("S:\\", &available, &total, &all));
    ASSERT_GT(available.QuadPart, 600u * 1024);
    ASSERT_TRUE(WriteBytes("S:\\other.bin", Pattern(std::size_t(available.QuadPart - 500 * 1024), 6)));
    const std::string big = MakePc("song.mp3", 2 * 1024 * 1024);
    asker.answers = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Download({big}, "S:\\"));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes("S:\\song.mp3", data)) << "the old file is still there";
    EXPECT_TRUE(data == Pattern(100 * 1024, 5));
    EXPECT_TRUE(prompter.Asked(kNoSpace));
    EXPECT_EQ(std::vector<std::string>{big}, owner.Paths(WM_XFER_ITEM_SKIPPED));
}

TEST_F(Overwrite, TheQuestionGetsALongNameShortened)
{
    const std::string name(90, 'n');
    const std::string item = MakePc(name + ".mp3", 10);
    ASSERT_TRUE(WriteBytes("R:\\" + name + ".mp3", Pattern(5)));
    asker.answers = {OVERWRITE_NO};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({item}, "R:\\"));
    ASSERT_EQ(1u, asker.names.size());
    EXPECT_LE(asker.names[0].size(), 53u + 2);
    EXPECT_EQ(0u, asker.names[0].find("nnnn"));
}

// ---- the test copy after a download ----------------------------------------

TEST_F(CopyTestFile, IsCopiedAfterASuccessfulLastItemAndDeletedAtOnce)
{
    ASSERT_TRUE(WriteBytes(Pc("prog\\CopyTest.mp3"), Pattern(64 * 1024)));
    const std::string a = MakePc("a.mp3", 100);
    // A cancel pending when the last item completes is seen by the test copy.
    owner.onMessage = [this](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_COMPLETE)
            engine.Cancel();
    };
    prompter.QueueAnswer(IDNO);  // go on with the test copy
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "R:\\", TRANSFER_DOWNLOAD, 0));
    EXPECT_TRUE(prompter.Asked(kNotComplete)) << "the test copy ran";
    EXPECT_FALSE(Exists("R:\\CopyTest.mp3"));
    TRANSFER_STATUS status;
    engine.GetStatus(&status);
    EXPECT_EQ(100u, status.RunBytesDone) << "the test copy is not counted";
}

TEST_F(CopyTestFile, IsNotCopiedWhenTheLastItemFailed)
{
    ASSERT_TRUE(WriteBytes(Pc("prog\\CopyTest.mp3"), Pattern(64 * 1024)));
    const std::string a = MakePc("a.mp3", 100);
    owner.onMessage = [this](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING) {
            DeleteFileA(Pc("a.mp3").c_str());  // the source is gone
            engine.Cancel();                  // would be asked by a test copy
        }
    };
    EXPECT_EQ(TRANSFER_STOPPED, Download({a}, "R:\\", TRANSFER_DOWNLOAD, 0));
    EXPECT_FALSE(prompter.Asked(kNotComplete));
}

TEST_F(CopyTestFile, AUsersFileOfThatNameIsNeverTouched)
{
    ASSERT_TRUE(WriteBytes(Pc("prog\\CopyTest.mp3"), Pattern(1000, 1)));
    ASSERT_TRUE(WriteBytes("R:\\CopyTest.mp3", Pattern(555, 2)));
    const std::string a = MakePc("a.mp3", 100);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "R:\\"));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes("R:\\CopyTest.mp3", data));
    EXPECT_TRUE(data == Pattern(555, 2));
    // Nor the item just downloaded under that name.
    CreateDirectoryA(Pc("mine").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Pc("mine\\CopyTest.mp3"), Pattern(4321, 3)));
    CreateDirectoryA("R:\\Sub", nullptr);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({Pc("mine\\CopyTest.mp3")}, "R:\\Sub\\"));
    ExpectSameBytes(Pc("mine\\CopyTest.mp3"), "R:\\Sub\\CopyTest.mp3");
}

// ---- folder items -------------------------------------------------------------

void MakeTree(const std::string& root)
{
    CreateDirectoryA(root.c_str(), nullptr);
    CreateDirectoryA((root + "\\empty").c_str(), nullptr);
    CreateDirectoryA((root + "\\Album").c_str(), nullptr);
    CreateDirectoryA((root + "\\Album\\Disc 2").c_str(), nullptr);
    WriteBytes(root + "\\top.mp3", Pattern(16 * 1024 + 1, 1));
    WriteBytes(root + "\\zero.mp3", Pattern(0));
    WriteBytes(root + "\\Album\\01.mp3", Pattern(320 * 1024 + 1, 2));
    WriteBytes(root + "\\Album\\Disc 2\\02.mp3", Pattern(50000, 3));
}

TEST_F(FolderCopy, TheWholeTreeArrivesAndCountsAsOneItem)
{
    MakeTree(Pc("Tree"));
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({Pc("Tree")}, "R:\\"));
    std::vector<std::string> from, to;
    ListTree(Pc("Tree"), "", from);
    ListTree("R:\\Tree", "", to);
    EXPECT_EQ(from, to);
    for (const auto& name : from)
        if (name.back() != '\\')
            ExpectSameBytes(Pc("Tree\\" + name), "R:\\Tree\\" + name);
    TRANSFER_STATUS status;
    engine.GetStatus(&status);
    const std::uint32_t size = 16 * 1024 + 1 + 320 * 1024 + 1 + 50000;
    EXPECT_EQ(size, status.ItemSize);
    EXPECT_EQ(size, status.RunBytesDone);
    EXPECT_EQ(size, status.ItemBytesDone);
    ASSERT_EQ(1u, owner.Of(WM_XFER_FILE_DONE).size());
    // And back to the PC into a folder that exists.
    CreateDirectoryA(Pc("back").c_str(), nullptr);
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Upload({"R:\\Tree"}, Pc("back")));
    std::vector<std::string> back;
    ListTree(Pc("back\\Tree"), "", back);
    EXPECT_EQ(from, back);
}

TEST_F(FolderCopy, ALockedFileIsSkippedAndTheCopyStillSucceeds)
{
    MakeTree(Pc("Tree"));
    HANDLE other = CreateFileA(Pc("Tree\\Album\\01.mp3").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({Pc("Tree")}, "R:\\"));
    CloseHandle(other);
    EXPECT_FALSE(Exists("R:\\Tree\\Album\\01.mp3"));
    ExpectSameBytes(Pc("Tree\\Album\\Disc 2\\02.mp3"), "R:\\Tree\\Album\\Disc 2\\02.mp3");
    EXPECT_EQ(1u, owner.Of(WM_XFER_FILE_DONE).size());
    EXPECT_EQ(0u, prompter.Count());
}

TEST_F(FolderCopy, AMoveWithALockedFileKeepsItsSource)
{
    MakeTree(Pc("Tree"));
    HANDLE other = CreateFileA(Pc("Tree\\Album\\01.mp3").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, other);
    EXPECT_EQ(TRANSFER_STOPPED, Download({Pc("Tree")}, "R:\\", TRANSFER_PC_CUT));
    CloseHandle(other);
    std::vector<std::string> source;
    ListTree(Pc("Tree"), "", source);
    EXPECT_EQ(7u, source.size()) << "every file of the source is still there";
    EXPECT_TRUE(owner.Of(WM_XFER_SOURCE_DELETED).empty());
    EXPECT_EQ(std::vector<std::string>{Pc("Tree")}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    EXPECT_TRUE(prompter.Asked("Failed to open '01.mp3'."));
}

TEST_F(FolderCopy, ADiskThatFillsInsideANestedFolderFailsTheItem)
{
    CreateDirectoryA(Pc("Tree").c_str(), nullptr);
    CreateDirectoryA(Pc("Tree\\Inner").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Pc("Tree\\Inner\\big.mp3"), Pattern(2 * 1024 * 1024)));
    owner.onMessage = [](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING)
            WriteBytes("S:\\other.bin", Pattern(1536 * 1024, 9));
    };
    EXPECT_EQ(TRANSFER_STOPPED, Download({Pc("Tree")}, "S:\\", TRANSFER_PC_CUT, 0));
    EXPECT_FALSE(Exists("S:\\Tree\\Inner\\big.mp3")) << "no truncated file is left";
    EXPECT_TRUE(Exists(Pc("Tree\\Inner\\big.mp3"))) << "the moved source stays";
    EXPECT_TRUE(owner.Of(WM_XFER_FILE_DONE).empty());
    EXPECT_TRUE(prompter.Asked("Failed to write a file to the memory."));
}

// A copy, not a move: the rest of the tree still arrives, but the folder is
// not reported as downloaded.
TEST_F(FolderCopy, ADiskThatFillsInsideANestedFolderFailsACopyToo)
{
    CreateDirectoryA(Pc("Tree").c_str(), nullptr);
    CreateDirectoryA(Pc("Tree\\Inner").c_str(), nullptr);
    CreateDirectoryA(Pc("Tree\\Later").c_str(), nullptr);
    ASSERT_TRUE(WriteBytes(Pc("Tree\\Inner\\big.mp3"), Pattern(2 * 1024 * 1024)));
    ASSERT_TRUE(WriteBytes(Pc("Tree\\Later\\small.mp3"), Pattern(1000, 4)));
    owner.onMessage = [](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING)
            WriteBytes("S:\\other.bin", Pattern(1536 * 1024, 9));
    };
    EXPECT_EQ(TRANSFER_STOPPED, Download({Pc("Tree")}, "S:\\", TRANSFER_PC_COPY, 0));
    EXPECT_FALSE(Exists("S:\\Tree\\Inner\\big.mp3")) << "no truncated file is left";
    ExpectSameBytes(Pc("Tree\\Later\\small.mp3"), "S:\\Tree\\Later\\small.mp3");
    EXPECT_TRUE(owner.Of(WM_XFER_FILE_DONE).empty());
    EXPECT_EQ(std::vector<std::string>{Pc("Tree")}, owner.Paths(WM_XFER_ITEM_SKIPPED));
    EXPECT_TRUE(prompter.Asked("Failed to write a file to the memory."));
}

// A name that fits on the PC but not below a deep folder of the player: the
// rest arrives, the user hears which file did not.
TEST_F(FolderCopy, AFileWhoseNameDoesNotFitBelowTheTargetFailsTheItem)
{
    const std::string deep = "R:\\" + std::string(120, 'd');
    ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
    CreateDirectoryA(Pc("Tree").c_str(), nullptr);
    const std::string longName = std::string(140, 'n') + ".mp3";
    ASSERT_LT(Pc("Tree\\" + longName).size(), std::size_t(MAX_PATH)) << "the source must be readable";
    ASSERT_GT((deep + "\\Tree\\" + longName).size(), std::size_t(MAX_PATH));
    ASSERT_TRUE(WriteBytes(Pc("Tree\\" + longName), Pattern(1000)));
    ASSERT_TRUE(WriteBytes(Pc("Tree\\short.mp3"), Pattern(1000, 2)));
    EXPECT_EQ(TRANSFER_STOPPED, Download({Pc("Tree")}, deep, TRANSFER_PC_COPY));
    ExpectSameBytes(Pc("Tree\\short.mp3"), deep + "\\Tree\\short.mp3");
    EXPECT_TRUE(owner.Of(WM_XFER_FILE_DONE).empty());
    EXPECT_TRUE(prompter.Asked("Failed to create '" + longName + "'."));
}

TEST_F(FolderCopy, ACompleteMoveDeletesTheSourceFolder)
{
    MakeTree(Pc("Tree"));
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({Pc("Tree")}, "R:\\", TRANSFER_PC_CUT));
    EXPECT_FALSE(Exists(Pc("Tree")));
    EXPECT_EQ(1u, owner.Of(WM_XFER_SOURCE_DELETED).size());
    ExpectSameBytes("R:\\Tree\\Album\\01.mp3", "R:\\Tree\\Album\\01.mp3");
}

TEST_F(FolderCopy, AFolderIsNotCopiedIntoItsOwnSubfolder)
{
    MakeTree("R:\\Music");
    EXPECT_EQ(TRANSFER_STOPPED, Download({"R:\\Music"}, "R:\\Music\\Album\\", TRANSFER_PLAYER_COPY));
    EXPECT_FALSE(Exists("R:\\Music\\Album\\Music"));
    EXPECT_TRUE(prompter.Asked("Failed to create 'R:\\Music\\Album\\Music'."));
    // Nor onto itself, which the overwrite would have deleted first.
    asker.answers = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Download({"R:\\Music"}, "R:\\", TRANSFER_PLAYER_COPY));
    EXPECT_TRUE(Exists("R:\\Music\\Album\\01.mp3"));
    EXPECT_TRUE(asker.names.empty());
}

TEST_F(FolderCopy, LinksInsideTheTreeAreNotFollowed)
{
    MakeTree(Pc("Tree"));
    // A link back up the tree: followed, the copy would never end.
    const std::string link = Pc("Tree\\Album\\up");
    using CreateLink = BOOLEAN(WINAPI*)(const char*, const char*, DWORD);
    auto createLink = reinterpret_cast<CreateLink>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "CreateSymbolicLinkA")));
    ASSERT_NE(nullptr, createLink);
    ASSERT_TRUE(createLink(link.c_str(), "..", 1 /* a folder */)) << GetLastError();
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({Pc("Tree")}, "R:\\"));
    EXPECT_FALSE(Exists("R:\\Tree\\Album\\up"));
    EXPECT_TRUE(Exists("R:\\Tree\\Album\\01.mp3"));
}

TEST_F(FolderCopy, AnExistingTargetFolderFailsTheTreeCopy)
{
    MakeTree(Pc("Tree"));
    CreateDirectoryA("R:\\Tree", nullptr);
    EXPECT_FALSE(engine.CopyFolder(Pc("Tree"), "R:\\Tree"));
    std::vector<std::string> names;
    ListTree("R:\\Tree", "", names);
    EXPECT_TRUE(names.empty());
    // An empty folder is copied as an empty folder.
    CreateDirectoryA(Pc("Empty").c_str(), nullptr);
    EXPECT_TRUE(engine.CopyFolder(Pc("Empty"), "R:\\Empty"));
    EXPECT_TRUE(Exists("R:\\Empty"));
}

// ---- cancel -----------------------------------------------------------------


// Pressed as the item starts: the question comes after the first chunk.
TEST_F(Cancel, AnsweringNoGoesOnWithTheSameFile)
{
    const std::string a = MakePc("a.mp3", 1024 * 1024);
    owner.onMessage = [this](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING)
            engine.Cancel();
    };
    prompter.QueueAnswer(IDNO);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a}, "R:\\", TRANSFER_PC_CUT, 0));
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ(kNotComplete, prompter.Text(0));
    EXPECT_FALSE(Exists(a));
    std::vector<unsigned char> data;
    ASSERT_TRUE(ReadBytes("R:\\a.mp3", data));
    EXPECT_TRUE(data == Pattern(1024 * 1024));
}

TEST_F(Cancel, BeforeAnItemAsksAndCanGoOnWithTheNext)
{
    const std::string a = MakePc("a.mp3", 100);
    const std::string b = MakePc("b.mp3", 100);
    const std::string c = MakePc("c.mp3", 100);
    owner.onMessage = [this](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_COMPLETE && r.path.find("a.mp3") != std::string::npos)
            engine.Cancel();
    };
    prompter.QueueAnswer(IDYES);  // cancel b
    prompter.QueueAnswer(IDYES);  // go on with the next
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Download({a, b, c}, "R:\\"));
    EXPECT_EQ(kNotComplete, prompter.Text(0));
    EXPECT_EQ(kNext, prompter.Text(1));
    EXPECT_FALSE(Exists("R:\\b.mp3"));
    EXPECT_TRUE(Exists("R:\\c.mp3"));
    EXPECT_EQ(std::vector<std::string>{b}, owner.Paths(WM_XFER_ITEM_SKIPPED));
}

TEST_F(Cancel, DuringTheLastChunkLetsTheFileFinish)
{
    const std::string a = MakePc("a.mp3", 16 * 1024 + 1);
    // Pressed while the free space is read: the question would come after
    // the first chunk, but that chunk is the whole file.
    const std::string small = MakePc("small.mp3", 1000);
    owner.onMessage = [this](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING && r.path.find("small") != std::string::npos)
            engine.Cancel();
    };
    EXPECT_EQ(TRANSFER_STOPPED, Download({small, a}, "R:\\", TRANSFER_DOWNLOAD, 3));
    ExpectSameBytes(small, "R:\\small.mp3");
    // The question comes before the next item, the last (answered Yes: the
    // run stops without it).
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ(kNotComplete, prompter.Text(0));
    EXPECT_FALSE(Exists("R:\\a.mp3"));
}

// ---- status and lifecycle ---------------------------------------------------

TEST_F(Status, NamesAndPathsByIndexAreBounded)
{
    engine.AddFile("C:\\Music\\a.mp3");
    engine.AddFile("R:\\b");
    EXPECT_EQ("a.mp3", engine.GetFileName(0));
    EXPECT_EQ("R:\\b", engine.GetFilePath(1));
    EXPECT_EQ("", engine.GetFileName(2));
    EXPECT_EQ("", engine.GetFileName(-1));
    EXPECT_EQ("", engine.GetFilePath(1000000));
    EXPECT_FALSE(engine.GetStatus(nullptr));
}

TEST_F(Status, AStartIsRefusedWhileBusyAndTheStatusStaysWhole)
{
    std::vector<std::string> items;
    for (int i = 0; i < 60; ++i)
        items.push_back(MakePc("s" + std::to_string(i) + ".mp3", 3000 + i));
    engine.ClearFileList();
    for (const auto& item : items)
        engine.AddFile(item);
    bool refused = false;
    owner.onMessage = [&](const CRecord& r) {
        if (r.msg == WM_XFER_ITEM_PROCESSING && r.path == items[5]) {
            refused = engine.Start(TRANSFER_TO_PLAYER, "R:\\", TRANSFER_DOWNLOAD, 3) == nullptr &&
                      engine.Start(TRANSFER_TO_PC, Pc(), TRANSFER_UPLOAD, 0) == nullptr;
            engine.AddFile("ignored while busy");
        }
    };
    HANDLE thread = engine.Start(TRANSFER_TO_PLAYER, "R:\\", TRANSFER_DOWNLOAD, 3);
    int last = 0;
    bool consistent = true;
    const int state = Finish(thread, [&] {
        TRANSFER_STATUS s;
        if (engine.GetStatus(&s)) {
            consistent = consistent && s.State == TRANSFER_DOWNLOADING && s.CurrentItem >= last &&
                         (s.CurrentItem == 0 || s.ItemPath == items[s.CurrentItem - 1]);
            last = s.CurrentItem;
        }
    });
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, state);
    EXPECT_TRUE(refused);
    EXPECT_TRUE(consistent);
    EXPECT_EQ(60, engine.GetFileCount());
    EXPECT_EQ(60u, owner.Of(WM_XFER_FILE_DONE).size());
}

// ---- the real overwrite dialog ------------------------------------------------

TEST_F(RealQuestion, TheOverwriteDialogAnswersTheEngine)
{
    COverwriteQuestion question(owner.hwnd);
    engine.SetOverwriteAsker(&question);
    const std::string a = MakePc("first.mp3", 3000, 1);
    const std::string b = MakePc("second.mp3", 3000, 2);
    ASSERT_TRUE(WriteBytes("R:\\first.mp3", Pattern(10)));
    ASSERT_TRUE(WriteBytes("R:\\second.mp3", Pattern(10)));
    engine.AddFile(a);
    engine.AddFile(b);
    int shown = 0;
    std::wstring text;
    HANDLE thread = engine.Start(TRANSFER_TO_PLAYER, "R:\\", TRANSFER_DOWNLOAD, 3);
    const int state = Finish(thread, [&] {
        HWND h = mbtest::FindProcessWindow(L"Overwrite");
        if (h && IsWindowVisible(h)) {
            ++shown;
            text = mbtest::ItemText(h, IDC_OVERWRITE_QUESTION);
            mbtest::SaveScreenshot(h, "engine_overwrite");
            mbtest::Click(h, IDC_OVERWRITE_YES_ALL);
            mbtest::PumpUntil([h] { return !IsWindow(h); }, 3000);
        }
    });
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, state);
    EXPECT_EQ(1, shown);
    EXPECT_EQ(L"'first.mp3' already exists. Do you want to overwrite it?", text);
    ExpectSameBytes(a, "R:\\first.mp3");
    ExpectSameBytes(b, "R:\\second.mp3");
    ASSERT_EQ(2u, owner.Of(WM_XFER_FILE_DONE).size());
    EXPECT_EQ(1, owner.Of(WM_XFER_FILE_DONE)[1].lp);
}

}  // namespace
