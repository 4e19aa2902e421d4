// The transfer run's one loop in both directions, natively: files in memory,
// a sink that records every event, question and message, and a cancel that
// the test presses from the copy's own progress (no second thread racing a
// large copy).
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "TransferRun.h"
#include "TransferStrings.h"

namespace {

struct NODE {
    bool Folder = false;
    std::vector<unsigned char> Bytes;
    bool Locked = false;  // open elsewhere: cannot be read
};

class CMemoryFiles;

class CMemoryCopy : public CFileCopy {
public:
    CMemoryCopy(CMemoryFiles& files, std::string sourcePath, std::vector<unsigned char> source, std::string target,
                bool upload)
        : m_files(files), m_sourcePath(std::move(sourcePath)), m_source(std::move(source)), m_target(std::move(target)),
          m_upload(upload)
    {
    }
    std::uint64_t Length() const override { return m_source.size(); }
    std::int64_t Read(void* buffer, std::uint32_t want) override;
    bool Write(const void* buffer, std::uint32_t size) override;
    bool Flush() override { return true; }
    FILE_RESULT Finish(bool complete) override;

private:
    CMemoryFiles& m_files;
    std::string m_sourcePath;
    std::vector<unsigned char> m_source;
    std::size_t m_read = 0;
    std::vector<unsigned char> m_written;
    std::string m_target;
    bool m_upload;
};

class CMemoryFiles : public CTransferFiles {
public:
    std::map<std::string, NODE> nodes;
    std::uint32_t freeBytes = 0x10000000;
    bool answering = true;
    std::size_t writeLimit = static_cast<std::size_t>(-1);  // the memory fills after this many bytes
    bool failReplace = false;
    bool failMakeFolder = false;
    bool pulled = false;  // the player (R:) is gone: nothing there answers
    std::size_t maxPath = 259;  // longer paths cannot be created
    std::uint32_t cluster = 1024;  // what a file takes is its size rounded up to this
    std::function<void(const std::string& path)> onDelete;
    std::function<void(std::size_t written)> onWrite;
    std::vector<std::string> refreshed;
    std::size_t writtenTotal = 0;

    void File(const std::string& path, std::size_t size, unsigned char fill = 1)
    {
        nodes[path] = NODE{false, std::vector<unsigned char>(size, fill), false};
    }
    void Folder(const std::string& path) { nodes[path] = NODE{true, {}, false}; }
    bool Gone(const std::string& path) const { return pulled && path.rfind("R:", 0) == 0; }

    bool Exists(const std::string& path) override { return !Gone(path) && nodes.count(path) != 0; }
    bool IsFolder(const std::string& path) override { return Exists(path) && nodes[path].Folder; }
    std::uint32_t ItemSize(const std::string& path, bool folder) override
    {
        std::uint32_t size = 0;
        for (const auto& n : nodes)
            if (n.first == path || (folder && n.first.rfind(path + "\\", 0) == 0))
                size += static_cast<std::uint32_t>(n.second.Bytes.size());
        return size;
    }
    bool DeleteItem(const std::string& path, bool folder) override
    {
        if (!nodes.count(path) || nodes[path].Locked)
            return false;
        if (onDelete)
            onDelete(path);
        for (auto it = nodes.begin(); it != nodes.end();)
            it = (it->first == path || it->first.rfind(path + "\\", 0) == 0) ? nodes.erase(it) : std::next(it);
        return true;
    }
    bool RemoveFile(const std::string& path) override { return nodes.erase(path) != 0; }
    bool MakeFolder(const std::string& path) override
    {
        if (nodes.count(path) || failMakeFolder || Gone(path) || path.size() > maxPath)
            return false;
        Folder(path);
        return true;
    }
    bool ListFolder(const std::string& folder, std::vector<FOLDER_ENTRY>& entries) override
    {
        entries.clear();
        if (Gone(folder))
            return false;
        for (const auto& n : nodes) {
            if (n.first.rfind(folder + "\\", 0) != 0)
                continue;
            const std::string rest = n.first.substr(folder.size() + 1);
            if (rest.find('\\') == std::string::npos)
                entries.push_back(FOLDER_ENTRY{rest, n.second.Folder, false});
        }
        return true;
    }
    std::uint32_t DriveSpace(const std::string& path, std::uint32_t* freeOut, std::uint32_t* totalOut) override
    {
        if (Gone(path)) {
            if (freeOut)
                *freeOut = 0;
            if (totalOut)
                *totalOut = 0;
            return 0;
        }
        if (freeOut)
            *freeOut = answering ? freeBytes : 0;
        if (totalOut)
            *totalOut = answering ? 0x20000000 : 0;
        return answering ? 0x20000000 : 0;
    }
    std::uint32_t ClusterBytes(const std::string&) override { return cluster; }
    void RefreshDirectory(const std::string& folder) override { refreshed.push_back(folder); }
    FILE_RESULT OpenCopy(const std::string& source, const std::string& target, bool upload,
                         std::unique_ptr<CFileCopy>& copy) override
    {
        if (!Exists(source) || nodes[source].Folder || nodes[source].Locked)
            return FILE_OPEN_FAILED;
        if (Gone(target) || IsFolder(target) || (nodes.count(target) && nodes[target].Locked) ||
            target.size() > maxPath)
            return FILE_CREATE_FAILED;
        // A download creates (or truncates) its target at once; an upload
        // writes a scratch file that is not modelled here.
        if (!upload)
            nodes[target] = NODE{};
        copy.reset(new CMemoryCopy(*this, source, nodes[source].Bytes, target, upload));
        return FILE_DONE;
    }
};

std::int64_t CMemoryCopy::Read(void* buffer, std::uint32_t want)
{
    if (m_files.Gone(m_sourcePath))
        return -1;
    const std::size_t n = std::min<std::size_t>(want, m_source.size() - m_read);
    std::copy(m_source.begin() + m_read, m_source.begin() + m_read + n, static_cast<unsigned char*>(buffer));
    m_read += n;
    return static_cast<std::int64_t>(n);
}

bool CMemoryCopy::Write(const void* buffer, std::uint32_t size)
{
    if (m_files.writtenTotal + size > m_files.writeLimit || m_files.Gone(m_target))
        return false;
    const auto* p = static_cast<const unsigned char*>(buffer);
    m_written.insert(m_written.end(), p, p + size);
    m_files.writtenTotal += size;
    if (m_files.onWrite)
        m_files.onWrite(m_written.size());
    return true;
}

FILE_RESULT CMemoryCopy::Finish(bool complete)
{
    if (!complete || (m_upload && m_files.failReplace)) {
        if (!m_upload)
            m_files.nodes.erase(m_target);
        return complete ? FILE_REPLACE_FAILED : FILE_WRITE_FAILED;
    }
    m_files.nodes[m_target] = NODE{false, m_written, false};
    return FILE_DONE;
}

// The cases run the list on their own thread, so the lock only checks that
// the run never takes it twice (a critical section would let that pass, a
// plain mutex would hang) and always gives it back.
class CCheckingLock : public CTransferLock {
public:
    void Lock() override
    {
        EXPECT_FALSE(held) << "the status lock is taken while held";
        held = true;
    }
    void Unlock() override
    {
        EXPECT_TRUE(held);
        held = false;
    }
    bool held = false;
};

struct EVENT_RECORD {
    TRANSFER_EVENT Event;
    int Index;
    std::string Path;
    bool Replaced;
    bool operator==(const EVENT_RECORD& o) const
    {
        return Event == o.Event && Index == o.Index && Path == o.Path && Replaced == o.Replaced;
    }
};

std::ostream& operator<<(std::ostream& out, const EVENT_RECORD& r)
{
    return out << "{" << r.Event << "," << r.Index << "," << r.Path << "," << r.Replaced << "}";
}

class CRecordingSink : public CTransferSink, public COverwriteAsker {
public:
    std::vector<EVENT_RECORD> events;
    std::vector<std::string> questions;
    std::vector<TRANSFER_ICON> icons;
    std::vector<std::string> messages;
    std::deque<bool> answers;       // Yes/No answers in order; Yes when none left
    std::deque<int> overwrites;     // overwrite answers; No when none left
    std::vector<std::string> overwriteNames;
    std::map<unsigned int, std::string> table;
    std::function<void(const std::string&)> onQuestion;

    void OnItemEvent(TRANSFER_EVENT event, int index, const std::string& path, bool replaced) override
    {
        events.push_back(EVENT_RECORD{event, index, path, replaced});
    }
    bool AskYesNo(const std::string& text, TRANSFER_ICON icon) override
    {
        questions.push_back(text);
        icons.push_back(icon);
        if (onQuestion)
            onQuestion(text);
        if (answers.empty())
            return true;
        const bool a = answers.front();
        answers.pop_front();
        return a;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    std::string LoadText(unsigned int id) override { return table.count(id) ? table[id] : std::string(); }
    int AskOverwrite(const std::string& name) override
    {
        overwriteNames.push_back(name);
        if (overwrites.empty())
            return OVERWRITE_NO;
        const int a = overwrites.front();
        overwrites.pop_front();
        return a;
    }
    std::vector<TRANSFER_EVENT> Kinds() const
    {
        std::vector<TRANSFER_EVENT> out;
        for (const auto& e : events)
            out.push_back(e.Event);
        return out;
    }
};

std::string En(unsigned int id) { return TransferStringDefault(id); }

class TransferRunTest : public ::testing::Test {
protected:
    TransferRunTest() : run(files, lock)
    {
        run.SetSink(&sink);
        run.SetOverwriteAsker(&sink);
        run.SetProgramFolder("C:\\prog");
        files.Folder("C:\\prog");
        files.Folder("P:\\pc");
        files.Folder("R:\\player");
    }
    int Go(TRANSFER_DIRECTION direction, const std::vector<std::string>& items, const std::string& target,
           int mode, int platformClass = 0)
    {
        run.ClearFileList();
        for (const auto& item : items)
            run.AddFile(item);
        EXPECT_TRUE(run.Begin(direction, target, mode, platformClass));
        EXPECT_TRUE(run.GetStatus(nullptr));
        const int state = run.Run();
        EXPECT_FALSE(run.GetStatus(nullptr));
        EXPECT_FALSE(lock.held);
        return state;
    }

    CMemoryFiles files;
    CCheckingLock lock;
    CRecordingSink sink;
    CTransferRun run;
};

// ---- both directions through the one loop ------------------------------------

struct DIRECTION_CASE {
    TRANSFER_DIRECTION Direction;
    const char* Source;
    const char* TargetFolder;
    int Mode;
    int DoneState;
    TRANSFER_EVENT Done;
    const char* CancelText;
    TRANSFER_ICON CancelIcon;
};

const DIRECTION_CASE kDirections[] = {
    {TRANSFER_TO_PLAYER, "P:\\pc\\a.mp3", "R:\\player", TRANSFER_PC_CUT, TRANSFER_DOWNLOAD_DONE,
     TRANSFER_ITEM_DOWNLOADED, "Download is not complete. Do you want to cancel it?", TRANSFER_ICON_QUESTION},
    {TRANSFER_TO_PC, "R:\\player\\a.mp3", "P:\\pc", TRANSFER_PLAYER_CUT, TRANSFER_UPLOAD_DONE,
     TRANSFER_ITEM_UPLOADED, "Upload is not complete. Do you want to cancel it?", TRANSFER_ICON_EXCLAMATION},
};

void PrintTo(const DIRECTION_CASE& c, std::ostream* out) { *out << (c.Direction == TRANSFER_TO_PLAYER ? "download" : "upload"); }

class BothDirections : public TransferRunTest, public ::testing::WithParamInterface<DIRECTION_CASE> {
protected:
    std::string Target() const { return std::string(GetParam().TargetFolder) + "\\a.mp3"; }
};

TEST_P(BothDirections, AnEmptyListEndsAtOnceWithTheDoneState)
{
    EXPECT_EQ(GetParam().DoneState, Go(GetParam().Direction, {}, GetParam().TargetFolder, GetParam().Mode));
    EXPECT_TRUE(sink.events.empty());
    EXPECT_TRUE(sink.questions.empty());
}

TEST_P(BothDirections, AMoveCopiesEveryByteAndThenDeletesTheSource)
{
    const auto& c = GetParam();
    files.File(c.Source, 50000, 7);
    EXPECT_EQ(c.DoneState, Go(c.Direction, {c.Source}, c.TargetFolder, c.Mode));
    ASSERT_TRUE(files.Exists(Target()));
    EXPECT_EQ(std::vector<unsigned char>(50000, 7), files.nodes[Target()].Bytes);
    EXPECT_FALSE(files.Exists(c.Source));
    TRANSFER_STATUS status;
    run.GetStatus(&status);
    EXPECT_EQ(50000u, status.RunBytesDone);
    EXPECT_EQ(50000u, status.ItemSize);
    EXPECT_EQ(c.DoneState, status.State);
    // The PC cut's source is a PC file; the player cut's a player file.
    const TRANSFER_EVENT gone = c.Mode == TRANSFER_PC_CUT ? TRANSFER_PC_FILE_GONE : TRANSFER_PLAYER_FILE_GONE;
    std::vector<TRANSFER_EVENT> expected;
    if (c.Direction == TRANSFER_TO_PLAYER)
        expected = {TRANSFER_ITEM_PROCESSING, gone, c.Done, TRANSFER_ITEM_COMPLETE};
    else
        expected = {gone, c.Done};
    EXPECT_EQ(expected, sink.Kinds());
}

// The cancel is pressed from the copy's own progress, after its first chunk:
// Yes stops with the source of the move kept and no partial target left. The
// chunk is 320 KB for a download on XP (platform class 3), and 16 KB for an
// upload whatever the class.
TEST_P(BothDirections, ACancelConfirmedDuringTheCopyStopsAndKeepsTheMovedSource)
{
    const auto& c = GetParam();
    files.File(c.Source, 1000000, 3);
    files.onWrite = [this](std::size_t) { run.Cancel(); };
    sink.answers = {true};
    EXPECT_EQ(TRANSFER_STOPPED, Go(c.Direction, {c.Source}, c.TargetFolder, c.Mode, 3));
    ASSERT_EQ(1u, sink.questions.size());
    EXPECT_EQ(c.CancelText, sink.questions[0]);
    EXPECT_EQ(c.CancelIcon, sink.icons[0]);
    EXPECT_TRUE(files.Exists(c.Source));
    EXPECT_FALSE(files.Exists(Target()));
    TRANSFER_STATUS status;
    run.GetStatus(&status);
    EXPECT_EQ(c.Direction == TRANSFER_TO_PLAYER ? 0x50000u : 0x4000u, status.ItemBytesDone)
        << "the question came after exactly one chunk";
}

TEST_P(BothDirections, ACancelAnsweredNoGoesOnWithTheSameFile)
{
    const auto& c = GetParam();
    files.File(c.Source, 100000, 3);
    files.onWrite = [this](std::size_t written) {
        if (written == 0x4000)
            run.Cancel();
    };
    sink.answers = {false};
    EXPECT_EQ(c.DoneState, Go(c.Direction, {c.Source}, c.TargetFolder, TRANSFER_PC_COPY));
    EXPECT_EQ(1u, sink.questions.size());
    EXPECT_EQ(std::vector<unsigned char>(100000, 3), files.nodes[Target()].Bytes);
}

struct OVERWRITE_CASE {
    int Answer;
    bool Replaced;  // the target holds the new bytes afterwards
    int DownloadState;
    int UploadState;
};

TEST_P(BothDirections, TheOverwriteAnswersDecideTheItemAndTheRun)
{
    const auto& c = GetParam();
    const OVERWRITE_CASE cases[] = {
        {OVERWRITE_YES, true, TRANSFER_DOWNLOAD_DONE, TRANSFER_UPLOAD_DONE},
        {OVERWRITE_YES_TO_ALL, true, TRANSFER_DOWNLOAD_DONE, TRANSFER_UPLOAD_DONE},
        {OVERWRITE_NO, false, TRANSFER_DOWNLOAD_DONE, TRANSFER_UPLOAD_DONE},
        // Cancel ends the run as done, not as stopped.
        {OVERWRITE_CANCEL, false, TRANSFER_DOWNLOAD_DONE, TRANSFER_UPLOAD_DONE},
    };
    for (const auto& o : cases) {
        files.File(c.Source, 300, 1);
        files.File(Target(), 10, 9);
        sink = CRecordingSink();
        sink.overwrites = {o.Answer};
        const int state = Go(c.Direction, {c.Source}, c.TargetFolder, TRANSFER_PC_COPY);
        EXPECT_EQ(c.Direction == TRANSFER_TO_PLAYER ? o.DownloadState : o.UploadState, state) << o.Answer;
        EXPECT_EQ(o.Replaced ? std::vector<unsigned char>(300, 1) : std::vector<unsigned char>(10, 9),
                  files.nodes[Target()].Bytes)
            << o.Answer;
        EXPECT_EQ(std::vector<std::string>{"a.mp3"}, sink.overwriteNames);
        if (o.Replaced) {
            ASSERT_FALSE(sink.events.empty());
            const auto done = std::find_if(sink.events.begin(), sink.events.end(),
                                           [&](const EVENT_RECORD& e) { return e.Event == c.Done; });
            ASSERT_NE(sink.events.end(), done);
            EXPECT_TRUE(done->Replaced);
        }
    }
}

TEST_P(BothDirections, YesToAllReplacesEveryLaterTargetWithoutAsking)
{
    const auto& c = GetParam();
    const std::string folder = std::string(c.Source).substr(0, std::string(c.Source).rfind('\\'));
    std::vector<std::string> items;
    for (const char* name : {"x.mp3", "y.mp3", "z.mp3"}) {
        items.push_back(folder + "\\" + name);
        files.File(items.back(), 100, 2);
        files.File(std::string(c.TargetFolder) + "\\" + name, 5, 8);
    }
    sink.overwrites = {OVERWRITE_YES_TO_ALL};
    EXPECT_EQ(c.DoneState, Go(c.Direction, items, c.TargetFolder, TRANSFER_PC_COPY));
    EXPECT_EQ(1u, sink.overwriteNames.size());
    for (const char* name : {"x.mp3", "y.mp3", "z.mp3"})
        EXPECT_EQ(100u, files.nodes[std::string(c.TargetFolder) + "\\" + name].Bytes.size());
}

// A failed copy over an existing target: the old file is gone (download,
// deleted first) or kept (upload, which replaces only once complete).
TEST_P(BothDirections, AFailedCopyAfterYesReportsOnlyAFileThatIsReallyGone)
{
    const auto& c = GetParam();
    files.File(c.Source, 300, 1);
    files.File(Target(), 10, 9);
    files.writeLimit = 100;
    // Too little room for the old file and the new one together: a download
    // deletes the old one first.
    files.freeBytes = 200;
    files.onDelete = [this](const std::string&) { files.freeBytes = 1000; };
    sink.overwrites = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Go(c.Direction, {c.Source}, c.TargetFolder, TRANSFER_PC_COPY));
    if (c.Direction == TRANSFER_TO_PLAYER) {
        EXPECT_FALSE(files.Exists(Target()));
        EXPECT_EQ(1, std::count_if(sink.events.begin(), sink.events.end(), [](const EVENT_RECORD& e) {
                      return e.Event == TRANSFER_PLAYER_FILE_GONE;
                  }));
        EXPECT_EQ(std::vector<std::string>{En(IDS_WRITE_FAILED)}, sink.messages);
    } else {
        EXPECT_EQ(std::vector<unsigned char>(10, 9), files.nodes[Target()].Bytes);
        EXPECT_TRUE(sink.events.empty());
        ASSERT_EQ(1u, sink.messages.size());
        EXPECT_EQ(0u, sink.messages[0].find("Failed to open 'a.mp3'."));
    }
}

// The player pulled out while a folder of two albums is copied: every file
// and folder after that is left out one by one, which is no copy of the
// folder. Its item fails, and an upload, whose source went, ends with 7.
TEST_P(BothDirections, APlayerPulledDuringAFolderFailsTheFolder)
{
    const auto& c = GetParam();
    const std::string from = std::string(c.Source).substr(0, std::string(c.Source).rfind('\\')) + "\\Artist";
    files.Folder(from);
    files.Folder(from + "\\Album1");
    files.Folder(from + "\\Album2");
    files.File(from + "\\Album1\\a.mp3", 100000, 1);
    files.File(from + "\\Album2\\b.mp3", 100, 2);
    files.onWrite = [this](std::size_t) { files.pulled = true; };
    const int state = Go(c.Direction, {from}, c.TargetFolder, TRANSFER_PC_COPY);
    EXPECT_EQ(c.Direction == TRANSFER_TO_PLAYER ? TRANSFER_STOPPED : TRANSFER_NO_ANSWER, state);
    EXPECT_EQ(std::vector<std::string>{En(IDS_NOT_ANSWERING)}, sink.messages);
    const std::vector<TRANSFER_EVENT> events =
        c.Direction == TRANSFER_TO_PLAYER ? std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_PROCESSING, TRANSFER_ITEM_SKIPPED}
                                          : std::vector<TRANSFER_EVENT>{};
    EXPECT_EQ(events, sink.Kinds()) << "never reported as copied";
}

// A paste from one memory to the other whose source memory is pulled out
// between two albums: the second is never read, and the folder does not
// count as copied.
TEST_F(TransferRunTest, ASourceMemoryPulledBetweenTwoSubfoldersFailsTheFolder)
{
    files.Folder("R:\\player\\Artist");
    files.Folder("R:\\player\\Artist\\Album1");
    files.Folder("R:\\player\\Artist\\Album2");
    files.File("R:\\player\\Artist\\Album1\\a.mp3", 100, 1);
    files.File("R:\\player\\Artist\\Album2\\b.mp3", 100, 2);
    files.onWrite = [this](std::size_t written) {
        if (written == 100)
            files.pulled = true;
    };
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"R:\\player\\Artist"}, "P:\\pc", TRANSFER_PLAYER_COPY));
    EXPECT_TRUE(files.Exists("P:\\pc\\Artist\\Album1\\a.mp3"));
    EXPECT_EQ((std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_PROCESSING, TRANSFER_ITEM_SKIPPED}), sink.Kinds());
    EXPECT_EQ(std::vector<std::string>{En(IDS_NOT_ANSWERING)}, sink.messages);
}

INSTANTIATE_TEST_SUITE_P(Directions, BothDirections, ::testing::ValuesIn(kDirections),
                         [](const ::testing::TestParamInfo<DIRECTION_CASE>& info) {
                             return info.param.Direction == TRANSFER_TO_PLAYER ? std::string("Download")
                                                                               : std::string("Upload");
                         });

// ---- what only one direction does ---------------------------------------------

using DownloadRun = TransferRunTest;
using UploadRun = TransferRunTest;

TEST_F(DownloadRun, TooLittleSpaceSkipsTheItemAndAsksToGoOnBeforeTheLast)
{
    files.File("P:\\pc\\big.mp3", 5000);
    files.File("P:\\pc\\small.mp3", 500);
    files.freeBytes = 1000;
    sink.answers = {true};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE,
              Go(TRANSFER_TO_PLAYER, {"P:\\pc\\big.mp3", "P:\\pc\\small.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    ASSERT_EQ(1u, sink.questions.size());
    EXPECT_EQ(En(IDS_NO_SPACE) + "\r\n" + En(IDS_DOWNLOAD_NEXT), sink.questions[0]);
    EXPECT_FALSE(files.Exists("R:\\player\\big.mp3"));
    EXPECT_TRUE(files.Exists("R:\\player\\small.mp3"));
    ASSERT_FALSE(sink.events.empty());
    EXPECT_EQ((EVENT_RECORD{TRANSFER_ITEM_SKIPPED, 0, "P:\\pc\\big.mp3", false}), sink.events[0]);
}

TEST_F(DownloadRun, AReplaceWithRoomForBothKeepsTheOldFileUntilTheCopyIsWhole)
{
    files.File("P:\\pc\\a.mp3", 300, 1);
    files.File("R:\\player\\a.mp3", 10, 9);
    files.freeBytes = 300;
    files.writeLimit = 100;
    sink.overwrites = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_EQ(std::vector<unsigned char>(10, 9), files.nodes["R:\\player\\a.mp3"].Bytes) << "the old file stays";
    EXPECT_EQ((std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_PROCESSING, TRANSFER_ITEM_SKIPPED}), sink.Kinds());
    EXPECT_EQ(std::vector<std::string>{En(IDS_WRITE_FAILED)}, sink.messages);
    // With room the copy replaces it, and the order writer hears of it.
    files.writeLimit = static_cast<std::size_t>(-1);
    files.refreshed.clear();
    sink = CRecordingSink();
    sink.overwrites = {OVERWRITE_YES_TO_ALL};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_EQ(std::vector<unsigned char>(300, 1), files.nodes["R:\\player\\a.mp3"].Bytes);
    ASSERT_GE(sink.events.size(), 2u);
    EXPECT_EQ((EVENT_RECORD{TRANSFER_ITEM_DOWNLOADED, 0, "P:\\pc\\a.mp3", true}), sink.events[1]);
    EXPECT_NE(files.refreshed.end(), std::find(files.refreshed.begin(), files.refreshed.end(), "R:\\player"));
}

// Yes to a replace on a memory that cannot take the new file even once the
// old one is gone: the old one stays, the item is skipped for want of space.
// What the old one frees is counted in whole clusters.
TEST_F(DownloadRun, AReplaceThatCannotFitEvenWithoutTheOldFileKeepsIt)
{
    files.File("P:\\pc\\a.mp3", 5000, 1);
    files.File("R:\\player\\a.mp3", 10, 9);
    files.freeBytes = 1000;  // 1000 + 1024 freed < 5000
    sink.overwrites = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_EQ(std::vector<unsigned char>(10, 9), files.nodes["R:\\player\\a.mp3"].Bytes) << "the old file stays";
    EXPECT_EQ(std::vector<std::string>{En(IDS_NO_SPACE)}, sink.messages);
    EXPECT_EQ(std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_SKIPPED}, sink.Kinds());
    // 1000 + 3000 bytes < 4050, but the old file's 3072 bytes of clusters
    // make room: it goes first and the new one arrives.
    files.File("P:\\pc\\a.mp3", 4050, 1);
    files.File("R:\\player\\a.mp3", 3000, 9);
    files.onDelete = [this](const std::string&) { files.freeBytes = 1000 + 3072; };
    sink = CRecordingSink();
    sink.overwrites = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_EQ(std::vector<unsigned char>(4050, 1), files.nodes["R:\\player\\a.mp3"].Bytes);
}

TEST_F(DownloadRun, APlayerThatDoesNotAnswerEndsWith7)
{
    files.File("P:\\pc\\a.mp3", 500);
    files.answering = false;
    EXPECT_EQ(TRANSFER_NO_ANSWER, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_EQ(std::vector<std::string>{En(IDS_NOT_ANSWERING)}, sink.messages);
}

TEST_F(DownloadRun, APlaylistAsksFirstAndTheProgramsOwnTextIsUsed)
{
    files.File("P:\\pc\\Mix.M3U", 50);
    sink.table[IDS_PLAYLIST_WARNING] = "Liste '%s' %s?";
    sink.answers = {false};
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Mix.M3U"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_EQ(std::vector<std::string>{"Liste 'Mix.M3U' %s?"}, sink.questions);
    EXPECT_EQ(std::vector<TRANSFER_ICON>{TRANSFER_ICON_EXCLAMATION}, sink.icons);
    EXPECT_FALSE(files.Exists("R:\\player\\Mix.M3U"));
}

TEST_F(DownloadRun, TheTestCopyRunsAfterASuccessfulLastItemAndLeavesNothing)
{
    files.File("C:\\prog\\CopyTest.mp3", 20000);
    files.File("P:\\pc\\a.mp3", 100);
    std::vector<std::string> written;
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_FALSE(files.Exists("R:\\player\\CopyTest.mp3"));
    EXPECT_EQ(20100u, files.writtenTotal) << "the test copy was written";
    TRANSFER_STATUS status;
    run.GetStatus(&status);
    EXPECT_EQ(100u, status.RunBytesDone) << "and not counted";
}

TEST_F(DownloadRun, TheTestCopyFollowsASuccessfulLastItemEvenAfterEarlierFailures)
{
    files.File("C:\\prog\\CopyTest.mp3", 20000);
    files.File("P:\\pc\\a.mp3", 100);
    files.File("P:\\pc\\b.mp3", 100);
    files.nodes["P:\\pc\\a.mp3"].Locked = true;
    sink.answers = {true};  // go on after the first failure
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE,
              Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3", "P:\\pc\\b.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_FALSE(files.Exists("R:\\player\\a.mp3"));
    EXPECT_TRUE(files.Exists("R:\\player\\b.mp3"));
    EXPECT_FALSE(files.Exists("R:\\player\\CopyTest.mp3"));
    EXPECT_EQ(20100u, files.writtenTotal) << "the test copy was written";
}

TEST_F(DownloadRun, AFolderThatCannotBeCreatedFailsWithItsPath)
{
    files.Folder("P:\\pc\\Tree");
    files.File("P:\\pc\\Tree\\a.mp3", 100);
    files.failMakeFolder = true;
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_COPY));
    EXPECT_EQ(std::vector<std::string>{"Failed to create 'R:\\player\\Tree'."}, sink.messages);
    sink = CRecordingSink();
    sink.table[IDS_FOLDER_CREATE_FAILED] = "Ordner '%s' fehlt.";
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_COPY));
    EXPECT_EQ(std::vector<std::string>{"Ordner 'R:\\player\\Tree' fehlt."}, sink.messages);
}

TEST_F(DownloadRun, AFailureInANestedFolderCopiesTheRestButFailsTheItem)
{
    files.Folder("P:\\pc\\Tree");
    files.Folder("P:\\pc\\Tree\\A");
    files.Folder("P:\\pc\\Tree\\Z");
    files.File("P:\\pc\\Tree\\A\\big.mp3", 300);
    files.File("P:\\pc\\Tree\\A\\next.mp3", 10);
    files.File("P:\\pc\\Tree\\Z\\later.mp3", 10);
    files.File("P:\\pc\\Tree\\top.mp3", 10);
    // The memory fills inside A (entries come in name order here).
    files.writeLimit = 100;
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_COPY));
    EXPECT_FALSE(files.Exists("R:\\player\\Tree\\A\\big.mp3"));
    EXPECT_FALSE(files.Exists("R:\\player\\Tree\\A\\next.mp3")) << "the failed level stops";
    EXPECT_TRUE(files.Exists("R:\\player\\Tree\\Z\\later.mp3")) << "the rest of the tree is copied";
    EXPECT_TRUE(files.Exists("R:\\player\\Tree\\top.mp3"));
    // ... but the folder is not: never reported as downloaded.
    EXPECT_EQ((std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_PROCESSING, TRANSFER_ITEM_SKIPPED}), sink.Kinds());
    EXPECT_EQ(std::vector<std::string>{En(IDS_WRITE_FAILED)}, sink.messages);
    // A move of the same tree fails the item with the write failure and
    // keeps its source.
    files.DeleteItem("R:\\player\\Tree", true);
    files.writtenTotal = 0;
    sink = CRecordingSink();
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_CUT));
    EXPECT_TRUE(files.Exists("P:\\pc\\Tree\\A\\big.mp3"));
    EXPECT_EQ(std::vector<std::string>{En(IDS_WRITE_FAILED)}, sink.messages);
}

// A name that fits on the PC but not below the player's folder: the rest of
// the tree arrives, the folder is not reported as downloaded, and the user
// hears which file could not be created.
TEST_F(DownloadRun, AFileThatCannotBeCreatedInsideAFolderFailsTheItem)
{
    files.maxPath = 40;
    const std::string longName = "a name too long for the player.mp3";
    files.Folder("P:\\pc\\Tree");
    files.File("P:\\pc\\Tree\\" + longName, 100);
    files.File("P:\\pc\\Tree\\short.mp3", 100);
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_COPY));
    EXPECT_TRUE(files.Exists("R:\\player\\Tree\\short.mp3"));
    EXPECT_EQ((std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_PROCESSING, TRANSFER_ITEM_SKIPPED}), sink.Kinds());
    EXPECT_EQ(std::vector<std::string>{"Failed to create '" + longName + "'.\r\n" + En(IDS_TOO_MANY_FILES)},
              sink.messages);
}

TEST_F(DownloadRun, AFolderMoveWithALockedFileKeepsItsSource)
{
    files.Folder("P:\\pc\\Tree");
    files.Folder("P:\\pc\\Tree\\In");
    files.File("P:\\pc\\Tree\\a.mp3", 100);
    files.File("P:\\pc\\Tree\\In\\b.mp3", 200);
    files.nodes["P:\\pc\\Tree\\In\\b.mp3"].Locked = true;
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_CUT));
    EXPECT_TRUE(files.Exists("P:\\pc\\Tree\\In\\b.mp3"));
    EXPECT_TRUE(files.Exists("P:\\pc\\Tree\\a.mp3"));
    EXPECT_EQ(std::vector<std::string>{"Failed to open 'b.mp3'. Check if the file is in use, or USB port is ejected."},
              sink.messages);
    // A plain copy of the same tree succeeds without the locked file.
    sink = CRecordingSink();
    files.DeleteItem("R:\\player\\Tree", true);
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Tree"}, "R:\\player", TRANSFER_PC_COPY));
    EXPECT_TRUE(files.Exists("R:\\player\\Tree\\a.mp3"));
    EXPECT_FALSE(files.Exists("R:\\player\\Tree\\In\\b.mp3"));
}

TEST_F(DownloadRun, ACancelConfirmedInANestedFolderFailsTheItemAndKeepsTheMovedSource)
{
    files.Folder("P:\\pc\\Outer");
    files.Folder("P:\\pc\\Outer\\Inner");
    files.File("P:\\pc\\Outer\\Inner\\deep.mp3", 100000);
    files.File("P:\\pc\\Outer\\Inner\\later.mp3", 100);
    files.onWrite = [this](std::size_t) { run.Cancel(); };
    sink.answers = {true};
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"P:\\pc\\Outer"}, "R:\\player", TRANSFER_PC_CUT));
    EXPECT_EQ(std::vector<std::string>{En(IDS_DOWNLOAD_CANCEL)}, sink.questions);
    EXPECT_TRUE(files.Exists("P:\\pc\\Outer\\Inner\\deep.mp3"));
    EXPECT_FALSE(files.Exists("R:\\player\\Outer\\Inner\\deep.mp3")) << "the partly written file is deleted";
    EXPECT_FALSE(files.Exists("R:\\player\\Outer\\Inner\\later.mp3")) << "the copy stopped";
    EXPECT_EQ((std::vector<TRANSFER_EVENT>{TRANSFER_ITEM_PROCESSING, TRANSFER_ITEM_SKIPPED}), sink.Kinds());
    EXPECT_NE(files.refreshed.end(),
              std::find(files.refreshed.begin(), files.refreshed.end(), "R:\\player\\Outer\\Inner"));
}

TEST_F(DownloadRun, AFolderIsNeverCopiedIntoItself)
{
    files.Folder("R:\\player\\M");
    files.Folder("R:\\player\\M\\Sub");
    files.File("R:\\player\\M\\a.mp3", 10);
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"R:\\player\\M"}, "R:\\player\\M\\Sub", TRANSFER_PLAYER_COPY));
    EXPECT_FALSE(files.Exists("R:\\player\\M\\Sub\\M"));
    EXPECT_EQ(std::vector<std::string>{"Failed to create 'R:\\player\\M\\Sub\\M'."}, sink.messages);
}

// "Music\Music" pasted into the folder above "Music": the existing target is
// the source's own parent, and replacing it would delete the source with it.
TEST_F(DownloadRun, ATargetThatHoldsTheSourceIsNeverReplaced)
{
    files.Folder("R:\\player\\Music");
    files.Folder("R:\\player\\Music\\Music");
    files.File("R:\\player\\Music\\Music\\a.mp3", 100, 5);
    files.File("R:\\player\\Music\\keep.mp3", 10, 6);
    for (int mode : {TRANSFER_PLAYER_COPY, TRANSFER_PLAYER_CUT}) {
        sink = CRecordingSink();
        sink.overwrites = {OVERWRITE_YES};
        EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PLAYER, {"R:\\player\\Music\\Music"}, "R:\\player", mode));
        EXPECT_EQ(std::vector<unsigned char>(100, 5), files.nodes["R:\\player\\Music\\Music\\a.mp3"].Bytes) << mode;
        EXPECT_TRUE(files.Exists("R:\\player\\Music\\keep.mp3")) << mode;
        EXPECT_TRUE(sink.overwriteNames.empty()) << "nothing to ask: the item cannot be done";
        EXPECT_EQ(std::vector<std::string>{"Failed to create 'R:\\player\\Music'."}, sink.messages);
    }
}

TEST_F(UploadRun, ASourceDriveThatStopsAnsweringEndsWith7)
{
    files.File("R:\\player\\a.mp3", 100);
    files.File("R:\\player\\b.mp3", 100);
    files.writeLimit = 50;
    files.answering = false;
    EXPECT_EQ(TRANSFER_NO_ANSWER,
              Go(TRANSFER_TO_PC, {"R:\\player\\a.mp3", "R:\\player\\b.mp3"}, "P:\\pc", TRANSFER_UPLOAD));
    EXPECT_TRUE(sink.questions.empty());
    ASSERT_EQ(1u, sink.messages.size());
}

TEST_F(UploadRun, AReplaceThatFailsKeepsThePcFile)
{
    files.File("R:\\player\\a.mp3", 100, 1);
    files.File("P:\\pc\\a.mp3", 10, 9);
    files.failReplace = true;
    sink.overwrites = {OVERWRITE_YES};
    EXPECT_EQ(TRANSFER_STOPPED, Go(TRANSFER_TO_PC, {"R:\\player\\a.mp3"}, "P:\\pc", TRANSFER_UPLOAD));
    EXPECT_EQ(std::vector<unsigned char>(10, 9), files.nodes["P:\\pc\\a.mp3"].Bytes);
    EXPECT_EQ(std::vector<std::string>{"Failed to create 'a.mp3'.\r\n" + En(IDS_SAME_NAME)},
              sink.messages);
}

TEST_F(UploadRun, ACutInsideThePlayerRefreshesTheSourceFolder)
{
    files.File("R:\\player\\a.mp3", 100);
    EXPECT_EQ(TRANSFER_UPLOAD_DONE, Go(TRANSFER_TO_PC, {"R:\\player\\a.mp3"}, "P:\\pc", TRANSFER_PLAYER_CUT));
    EXPECT_EQ(std::vector<std::string>{"R:\\player"}, files.refreshed);
}

TEST_F(TransferRunTest, AStartIsRefusedWhileBusyAndTheListStaysFixed)
{
    files.File("P:\\pc\\a.mp3", 100);
    run.AddFile("P:\\pc\\a.mp3");
    ASSERT_TRUE(run.Begin(TRANSFER_TO_PLAYER, "R:\\player", TRANSFER_DOWNLOAD, 3));
    EXPECT_FALSE(run.Begin(TRANSFER_TO_PC, "P:\\pc", TRANSFER_UPLOAD, 0));
    run.AddFile("ignored");
    run.ClearFileList();
    EXPECT_EQ(1, run.GetFileCount());
    EXPECT_EQ("R:\\player", run.GetTarget(TRANSFER_TO_PLAYER));
    EXPECT_EQ(TRANSFER_DOWNLOAD_DONE, run.Run());
    EXPECT_TRUE(run.Begin(TRANSFER_TO_PC, "P:\\pc", TRANSFER_UPLOAD, 0));
}

TEST_F(TransferRunTest, WithoutASinkQuestionsAreAnsweredNoAndNothingBreaks)
{
    run.SetSink(nullptr);
    files.File("P:\\pc\\a.mp3", 100);
    files.File("P:\\pc\\b.mp3", 100);
    files.writeLimit = 10;
    EXPECT_EQ(TRANSFER_STOPPED,
              Go(TRANSFER_TO_PLAYER, {"P:\\pc\\a.mp3", "P:\\pc\\b.mp3"}, "R:\\player", TRANSFER_DOWNLOAD));
    EXPECT_FALSE(files.Exists("R:\\player\\b.mp3"));
}

}  // namespace
