// The test panel's runs over an in-memory file system with a capacity, so a
// full memory, failing opens and reads, and open handles can be checked.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "TestRuns.h"

using namespace testpanel;

namespace {

class CMemoryFiles : public ITestFiles {
public:
    std::map<std::string, std::string> Files;
    std::size_t Capacity = 1 << 30;  // bytes over every file whose name starts with the memory's folder
    std::string MemoryFolder = "J:\\";
    std::set<std::string> FailOpen, FailCreate, ShortRead;
    std::vector<std::string> Deleted;
    int Creates = 0;

    int OpenRead(const std::string& path) override
    {
        if (!Files.count(path) || FailOpen.count(path))
            return 0;
        return Add(path, false);
    }
    int Create(const std::string& path) override
    {
        if (FailCreate.count(path))
            return 0;
        ++Creates;
        Files[path].clear();
        return Add(path, true);
    }
    std::int64_t Length(int f) override { return static_cast<std::int64_t>(Files[m_open.at(f).Path].size()); }
    int Read(int f, char* buffer, int size) override
    {
        Handle& h = m_open.at(f);
        const std::string& data = Files[h.Path];
        int n = static_cast<int>(std::min<std::size_t>(size, data.size() - h.Position));
        if (ShortRead.count(h.Path) && n > 1)
            n /= 2;
        data.copy(buffer, n, h.Position);
        h.Position += n;
        return n;
    }
    bool Write(int f, const char* buffer, int size) override
    {
        Handle& h = m_open.at(f);
        if (h.Path.compare(0, MemoryFolder.size(), MemoryFolder) == 0 && Used() + size > Capacity)
            return false;
        Files[h.Path].append(buffer, size);
        return true;
    }
    void Flush(int) override { ++Flushes; }
    bool Rewind(int f) override
    {
        m_open.at(f).Position = 0;
        return true;
    }
    void Close(int f) override { EXPECT_EQ(1u, m_open.erase(f)) << "closed twice or never opened"; }
    bool Delete(const std::string& path) override
    {
        Deleted.push_back(path);
        return Files.erase(path) == 1;
    }
    std::size_t OpenCount() const { return m_open.size(); }
    std::size_t Used() const
    {
        std::size_t used = 0;
        for (const auto& f : Files)
            if (f.first.compare(0, MemoryFolder.size(), MemoryFolder) == 0)
                used += f.second.size();
        return used;
    }
    int Flushes = 0;

private:
    struct Handle {
        std::string Path;
        std::size_t Position = 0;
    };
    int Add(const std::string& path, bool)
    {
        m_open[++m_next] = Handle{path, 0};
        return m_next;
    }
    std::map<int, Handle> m_open;
    int m_next = 0;
};

// Says stop once the condition holds; records what the window was shown.
class CHost : public ITestRunHost {
public:
    std::function<bool()> StopWhen = [] { return false; };
    std::vector<std::string> Cycles, Logs, MakeTexts;
    int Pumps = 0;
    bool PumpAndCheckStop() override
    {
        ++Pumps;
        return StopWhen();
    }
    void SetProgress(std::int64_t, std::int64_t) override {}
    void ShowCycle(const std::string& text) override { Cycles.push_back(text); }
    void ShowErrorLog(const std::string& log) override { Logs.push_back(log); }
    void ShowMakeStatus(const std::string& text) override { MakeTexts.push_back(text); }
};

std::string Bytes(std::size_t n, char seed)
{
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(seed + i * 7);
    return s;
}

}  // namespace

TEST(TestPanelRules, SummaryAndFreeSpace)
{
    EXPECT_EQ("0 Files : 0 kB", SummaryText({}));
    EXPECT_EQ("2 Files : 40 kB", SummaryText({"15 KB", "25 KB"}));
    EXPECT_EQ("1 Files : 0 kB", SummaryText({"KB"}));
    EXPECT_EQ(40, SummaryKilobytes("2 Files : 40 kB"));
    EXPECT_EQ(0, SummaryKilobytes("no summary"));
    // Exactly the free space in KB (rounded up) passes; one more fails.
    EXPECT_TRUE(FitsFreeSpace(40 * 1024, 40));
    EXPECT_TRUE(FitsFreeSpace(39 * 1024 + 1, 40));
    EXPECT_FALSE(FitsFreeSpace(39 * 1024, 40));
    EXPECT_TRUE(FitsFreeSpace(0, 0));
}

// A few cycles over two files: each cycle copies both and deletes them; the
// counter advances; nothing stays open.
TEST(TestPanelCycle, CopiesAndDeletesEachCycle)
{
    CMemoryFiles files;
    files.Files["C:\\src\\a.mp3"] = Bytes(40000, 1);
    files.Files["C:\\src\\b.mp3"] = Bytes(100, 2);
    CHost host;
    int seenBoth = 0;
    host.StopWhen = [&] {
        if (files.Files.count("J:\\a.mp3") && files.Files.count("J:\\b.mp3") &&
            files.Files["J:\\b.mp3"].size() == 100)
            ++seenBoth;
        return files.Creates >= 7;
    };
    const CycleResult r = RunCycle(files, host, "C:\\src\\", "J:\\", {"a.mp3", "b.mp3"});
    EXPECT_EQ(4, r.Cycles);
    EXPECT_EQ("Error:", r.Log);
    EXPECT_FALSE(r.StoppedOnWriteFailure);
    // Both copies whole at the last two pumps of each finished cycle.
    EXPECT_EQ(6, seenBoth);
    EXPECT_EQ(0u, files.OpenCount());
    EXPECT_EQ("1 Files / 1 Cycles", host.Cycles.at(0));
    EXPECT_EQ("2 Files / 1 Cycles", host.Cycles.at(1));
    EXPECT_EQ("1 Files / 4 Cycles", host.Cycles.back());
    EXPECT_EQ(6u, files.Deleted.size());
    // Stopped after the first chunk of the fourth cycle's first file.
    EXPECT_EQ(Bytes(40000, 1).substr(0, 16384), files.Files["J:\\a.mp3"]);
}

// A failing file is logged with its letter and closed; the others go on.
TEST(TestPanelCycle, FailuresAreLoggedAndClosed)
{
    CMemoryFiles files;
    files.Files["C:\\src\\a.mp3"] = Bytes(50000, 1);
    files.Files["C:\\src\\b.mp3"] = Bytes(50000, 2);
    files.Files["C:\\src\\c.mp3"] = Bytes(50000, 3);
    files.FailOpen.insert("C:\\src\\a.mp3");
    files.FailCreate.insert("J:\\b.mp3");
    files.ShortRead.insert("C:\\src\\c.mp3");
    CHost host;
    int cycles = 0;
    host.StopWhen = [&] { return host.Cycles.size() >= 6 && ++cycles > 0; };
    const CycleResult r = RunCycle(files, host, "C:\\src\\", "J:\\", {"a.mp3", "b.mp3", "c.mp3"});
    EXPECT_EQ(2, r.Cycles);
    EXPECT_EQ("Error: 1/1(A) 2/1(B) 3/1(C) 1/2(A) 2/2(B) 3/2(C)", r.Log);
    EXPECT_EQ(0u, files.OpenCount());
}

// A memory that fills up stops the cycle with D and takes the copies away.
TEST(TestPanelCycle, FullMemoryStopsWithD)
{
    CMemoryFiles files;
    files.Capacity = 70000;
    files.Files["C:\\src\\a.mp3"] = Bytes(40000, 1);
    files.Files["C:\\src\\b.mp3"] = Bytes(40000, 2);
    CHost host;
    const CycleResult r = RunCycle(files, host, "C:\\src\\", "J:\\", {"a.mp3", "b.mp3"});
    EXPECT_TRUE(r.StoppedOnWriteFailure);
    EXPECT_EQ(1, r.Cycles);
    EXPECT_EQ("Error: 2/1(D)", r.Log);
    EXPECT_EQ(std::vector<std::string>{"Error: 2/1(D)"}, host.Logs);
    EXPECT_EQ(0u, files.OpenCount());
    EXPECT_EQ(0u, files.Used());
}

TEST(TestPanelMakeFile, GrowsByWholeSourcesUntilEnd)
{
    CMemoryFiles files;
    files.Files["C:\\src\\s.mp3"] = Bytes(20000, 5);
    CHost host;
    host.StopWhen = [&] { return files.Files["C:\\src\\~s.mp3"].size() >= 5 * 20000; };
    const MakeFileResult r = RunMakeFile(files, host, "C:\\src\\", "s.mp3");
    EXPECT_EQ("", r.Failure);
    const std::string made = files.Files["C:\\src\\~s.mp3"];
    EXPECT_EQ(r.BytesWritten, made.size());
    // Stopped at a pump (every 8th chunk of 8 KB) once five sources were in.
    EXPECT_GE(made.size(), 5u * 20000);
    EXPECT_LT(made.size(), 5u * 20000 + 8 * 8192);
    for (std::size_t at = 0; at + 20000 <= made.size(); at += 20000)
        ASSERT_EQ(Bytes(20000, 5), made.substr(at, 20000)) << at;
    EXPECT_EQ(static_cast<int>(made.size() / 20000 + (made.size() % 20000 ? 1 : 0)) - 1, r.Cycles);
    ASSERT_FALSE(host.MakeTexts.empty());
    EXPECT_EQ(0u, host.MakeTexts.back().find("~s.mp3: "));
    EXPECT_EQ(0u, files.OpenCount());
}

TEST(TestPanelMakeFile, FailuresEndTheRunWithTheirMessage)
{
    CMemoryFiles files;
    CHost host;
    EXPECT_EQ("Failed to open the selected source file", RunMakeFile(files, host, "C:\\src\\", "none.mp3").Failure);
    files.Files["C:\\src\\s.mp3"] = Bytes(1000, 5);
    files.FailCreate.insert("C:\\src\\~s.mp3");
    EXPECT_EQ("Failed to create the target file.", RunMakeFile(files, host, "C:\\src\\", "s.mp3").Failure);
    EXPECT_EQ(0u, files.OpenCount());
    // A full disk: the failed append ends the run.
    CMemoryFiles full;
    full.MemoryFolder = "C:\\";
    full.Capacity = 30000;
    full.Files["C:\\src\\s.mp3"] = Bytes(10000, 5);
    CHost forever;
    const MakeFileResult r = RunMakeFile(full, forever, "C:\\src\\", "s.mp3");
    EXPECT_EQ("Failed to write the target file.", r.Failure);
    EXPECT_EQ(0u, full.OpenCount());
    // An empty source never grows the target.
    full.Files["C:\\src\\e.mp3"] = "";
    EXPECT_EQ("Failed to read the source file.", RunMakeFile(full, forever, "C:\\src\\", "e.mp3").Failure);
    EXPECT_EQ(0u, full.OpenCount());
}
