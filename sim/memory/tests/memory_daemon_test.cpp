// The memory daemon seen from Linux: the file view (mount A) and the raw view
// (mount B) of one image, checked with mtools and fsck.fat, against a plain
// folder, and against each other.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <random>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fat_volume.h"
#include "test_images.h"

extern char** environ;

namespace {

class CDaemon {
public:
    ~CDaemon() { Stop(); }

    bool Start(const std::string& image, const std::string& root, const std::string& external = "")
    {
        Files = root + "/files";
        Raw = root + "/raw";
        Control = root + "/control";
        Log = root + "/daemon.log";
        mkdir(Files.c_str(), 0755);
        mkdir(Raw.c_str(), 0755);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, Log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        std::vector<std::string> args = {MB_MEMORYD, "serve", "--control", Control, "--memory", "internal", image,
                                         Files, Raw};
        if (!external.empty()) {
            ExternalFiles = root + "/xfiles";
            ExternalRaw = root + "/xraw";
            mkdir(ExternalFiles.c_str(), 0755);
            mkdir(ExternalRaw.c_str(), 0755);
            args.insert(args.end(), {"--memory", "external", external, ExternalFiles, ExternalRaw});
        }
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        int r = posix_spawn(&Pid, MB_MEMORYD, &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        if (r != 0)
            return false;
        for (int i = 0; i < 200; ++i) {
            if (Command("status") == 0)
                return true;
            int status;
            if (waitpid(Pid, &status, WNOHANG) == Pid) {
                Pid = 0;
                ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                return false;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    int Command(const std::string& verb)
    {
        return RunCommand(Quote(MB_MEMORYD) + " " + verb.substr(0, verb.find(' ')) + " --control " + Quote(Control) +
                          (verb.find(' ') == std::string::npos ? "" : " " + verb.substr(verb.find(' ') + 1)));
    }

    void Stop()
    {
        if (Pid <= 0)
            return;
        Command("quit");
        for (int i = 0; i < 200; ++i) {
            int status;
            if (waitpid(Pid, &status, WNOHANG) == Pid) {
                Pid = 0;
                ExitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                Unmount();  // in case it died instead of quitting
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        Kill();
    }

    void Unmount()
    {
        for (const auto& m : {Files, Raw, ExternalFiles, ExternalRaw})
            if (!m.empty() && RunCommand("grep -q ' " + m + " fuse' /proc/mounts") == 0)
                RunCommand("umount -l " + Quote(m));
    }

    // As a crash would: no clean-up by the daemon.
    void Kill()
    {
        if (Pid <= 0)
            return;
        kill(Pid, SIGKILL);
        waitpid(Pid, nullptr, 0);
        Pid = 0;
        Unmount();
    }

    std::string Files, Raw, ExternalFiles, ExternalRaw, Control, Log;
    pid_t Pid = 0;
    int ExitStatus = -1;
};

class MemoryDaemonTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = MakeScratchDir("daemon");
        ASSERT_FALSE(Dir.empty());
        Image = Dir + "/mem.img";
    }
    void TearDown() override
    {
        Daemon.Stop();
        RemoveTree(Dir);
    }
    void StartOn(unsigned kib, int bits, const std::string& label = "")
    {
        ASSERT_TRUE(MakeImage(Image, kib, bits, label));
        ASSERT_TRUE(Daemon.Start(Image, Dir)) << ReadLog();
    }
    std::string ReadLog()
    {
        auto bytes = ReadWholeFile(Daemon.Log);
        return std::string(bytes.begin(), bytes.end());
    }
    std::string A(const std::string& rel) { return Daemon.Files + rel; }
    std::string RawImage() { return Daemon.Raw + "/image"; }

    std::string Dir;
    std::string Image;
    CDaemon Daemon;
};

std::vector<std::string> ListDir(const std::string& path)
{
    std::vector<std::string> names;
    DIR* d = opendir(path.c_str());
    if (!d)
        return names;
    while (dirent* e = readdir(d))
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.push_back(e->d_name);
    closedir(d);
    return names;
}

int WriteFile(const std::string& path, const std::vector<uint8_t>& data, int flags = O_CREAT | O_TRUNC | O_WRONLY,
              off_t offset = 0)
{
    int fd = open(path.c_str(), flags, 0644);
    if (fd < 0)
        return errno;
    ssize_t n = data.empty() ? 0 : pwrite(fd, data.data(), data.size(), offset);
    int err = n < 0 ? errno : (static_cast<size_t>(n) != data.size() ? EIO : 0);
    if (close(fd) != 0 && err == 0)
        err = errno;
    return err;
}

// Reads the raw view's root directory: the boot sector tells where it lies.
struct RawRoot {
    FatGeometry G;
    uint64_t Offset = 0;
    std::vector<uint8_t> Bytes;
};

bool ReadRawRoot(const std::string& raw, RawRoot* root)
{
    int fd = open(raw.c_str(), O_RDONLY);
    if (fd < 0)
        return false;
    uint8_t boot[512];
    bool ok = pread(fd, boot, sizeof boot, 0) == 512;
    struct stat st;
    ok = ok && fstat(fd, &st) == 0 && ParseBootSector(boot, sizeof boot, st.st_size, &root->G) == 0;
    if (ok) {
        root->Offset = static_cast<uint64_t>(root->G.FirstRootSector) * root->G.BytesPerSector;
        root->Bytes.resize(root->G.RootEntries * 32);
        ok = pread(fd, root->Bytes.data(), root->Bytes.size(), static_cast<off_t>(root->Offset)) ==
             static_cast<ssize_t>(root->Bytes.size());
    }
    close(fd);
    return ok;
}

// The groups of a directory (long-name entries with their 8.3 entry), in order.
std::vector<std::vector<uint8_t>> Groups(const std::vector<uint8_t>& dir, std::vector<uint8_t>* label)
{
    std::vector<std::vector<uint8_t>> groups;
    std::vector<uint8_t> cur;
    for (size_t i = 0; i + 32 <= dir.size(); i += 32) {
        const uint8_t* e = &dir[i];
        if (e[0] == 0)
            break;
        if (e[0] == 0xE5)
            continue;
        cur.insert(cur.end(), e, e + 32);
        if ((e[11] & 0x3F) == 0x0F)
            continue;
        if (e[11] & 0x08)
            *label = cur;
        else
            groups.push_back(cur);
        cur.clear();
    }
    return groups;
}

std::string LongNameOf(const std::vector<uint8_t>& group)
{
    std::string name;
    for (size_t k = group.size() / 32 - 1; k-- > 0;) {
        const uint8_t* e = &group[k * 32];
        static const int offsets[13] = {1, 3, 5, 7, 9, 14, 16, 18, 20, 22, 24, 28, 30};
        for (int off : offsets) {
            uint16_t c = static_cast<uint16_t>(e[off] | (e[off + 1] << 8));
            if (c == 0 || c == 0xFFFF)
                return name;
            name.push_back(static_cast<char>(c));
        }
    }
    return name;
}

// ---- the file view against the outside tools ----

TEST_F(MemoryDaemonTest, FilesWrittenThroughTheFileViewAppearInMdirAndPassFsck)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(4096, 16));
    ASSERT_EQ(0, mkdir(A("/MUSIC").c_str(), 0755));
    ASSERT_EQ(0, mkdir(A("/MUSIC/New Album").c_str(), 0755));
    std::vector<std::string> names = {"03 Third.mp3", "01 First.mp3", "02 Second.mp3"};
    std::map<std::string, std::vector<uint8_t>> data;
    for (size_t i = 0; i < names.size(); ++i) {
        data[names[i]] = RandomBytes(40000 + 1000 * i, static_cast<uint32_t>(i));
        ASSERT_EQ(0, WriteFile(A("/MUSIC/New Album/" + names[i]), data[names[i]]));
    }
    EXPECT_EQ(names, MdirNames(Image, "::/MUSIC/New Album"));
    EXPECT_EQ(names, ListDir(A("/MUSIC/New Album")));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    for (const auto& n : names) {
        std::string out = Dir + "/back";
        ASSERT_EQ(0, RunCommand("MTOOLS_SKIP_CHECK=1 mcopy -n -i " + Quote(Image) + " " +
                                Quote("::/MUSIC/New Album/" + n) + " " + Quote(out)));
        EXPECT_EQ(data[n], ReadWholeFile(out)) << n;
    }
}

TEST_F(MemoryDaemonTest, FilesAddedByMcopyReadBackByteForByte)
{
    ASSERT_TRUE(MakeImage(Image, 8192, 16));
    std::string src = Dir + "/src";
    ASSERT_EQ(0, mkdir(src.c_str(), 0755));
    std::map<std::string, std::vector<uint8_t>> data;
    const size_t sizes[] = {0, 1, 512, 513, 4096, 123457, 1048576};
    for (size_t size : sizes) {
        std::string name = "track " + std::to_string(size) + ".mp3";
        data[name] = RandomBytes(size, static_cast<uint32_t>(size + 9));
        ASSERT_TRUE(WriteWholeFile(src + "/" + name, data[name]));
    }
    ASSERT_EQ(0, RunCommand("MTOOLS_SKIP_CHECK=1 mmd -i " + Quote(Image) + " ::/VOICE"));
    ASSERT_EQ(0, RunCommand("cd " + Quote(src) + " && MTOOLS_SKIP_CHECK=1 mcopy -i " + Quote(Image) +
                            " * ::/VOICE/"));
    ASSERT_TRUE(Daemon.Start(Image, Dir)) << ReadLog();
    auto listed = ListDir(A("/VOICE"));
    EXPECT_EQ(MdirNames(Image, "::/VOICE"), listed);
    EXPECT_EQ(data.size(), listed.size());
    for (const auto& [name, bytes] : data)
        EXPECT_EQ(bytes, ReadWholeFile(A("/VOICE/" + name))) << name;
}

TEST_F(MemoryDaemonTest, StatfsReportsTheFreeSpaceOfTheFat)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(2000, 12));
    ASSERT_EQ(0, WriteFile(A("/fill.bin"), RandomBytes(100000, 4)));
    struct statvfs st;
    ASSERT_EQ(0, statvfs(A("/").c_str(), &st));
    std::string out;
    RunCommand("MTOOLS_SKIP_CHECK=1 mdir -i " + Quote(Image) + " ::/", &out);
    // "   4 021 248 bytes free": mdir groups digits with blanks.
    size_t at = out.find("bytes free");
    ASSERT_NE(std::string::npos, at) << out;
    size_t begin = out.rfind('\n', at) + 1;
    std::string digits;
    for (size_t i = begin; i < at; ++i)
        if (isdigit(static_cast<unsigned char>(out[i])))
            digits.push_back(out[i]);
    EXPECT_EQ(std::stoull(digits), static_cast<unsigned long long>(st.f_bavail) * st.f_frsize);
    EXPECT_EQ(512u, st.f_frsize);
}

// ---- random sequences against a plain folder ----

struct Outcome {
    int Error = 0;
    std::string What;
};

void RunSequence(const std::string& memRoot, const std::string& plainRoot, uint32_t seed, std::string* label,
                 std::vector<std::string>* mismatches)
{
    std::mt19937 rng(seed);
    const std::vector<std::string> pool = {"a.txt", "Long Name File.mp3", "B", "dir one", "x.y.z", "SONG.MP3",
                                           "\xc3\x9c" "n\xc3\xaf" "code.txt", "deep"};
    auto pick = [&]() {
        std::string p = "/" + pool[rng() % pool.size()];
        if (rng() % 3 == 0)
            p += "/" + pool[rng() % pool.size()];
        return p;
    };
    for (int step = 0; step < 250; ++step) {
        int op = static_cast<int>(rng() % 9);
        std::string p = pick(), q = pick();
        std::vector<uint8_t> data = RandomBytes(rng() % 3000, rng());
        off_t offset = static_cast<off_t>(rng() % 4000);
        off_t length = static_cast<off_t>(rng() % 5000);
        std::string what;
        auto apply = [&](const std::string& root) -> int {
            std::string a = root + p, b = root + q;
            switch (op) {
            case 0:
                what = "create " + p;
                return WriteFile(a, data);
            case 1:
                what = "write " + p + " at " + std::to_string(offset);
                return WriteFile(a, data, O_WRONLY, offset);
            case 2:
                what = "truncate " + p + " to " + std::to_string(length);
                return truncate(a.c_str(), length) == 0 ? 0 : errno;
            case 3:
                what = "rename " + p + " to " + q;
                return rename(a.c_str(), b.c_str()) == 0 ? 0 : errno;
            case 4:
                what = "unlink " + p;
                return unlink(a.c_str()) == 0 ? 0 : errno;
            case 5:
            case 6:
                what = "mkdir " + p;
                return mkdir(a.c_str(), 0755) == 0 ? 0 : errno;
            case 7:
                what = "rmdir " + p;
                return rmdir(a.c_str()) == 0 ? 0 : errno;
            default:
                return 0;
            }
        };
        if (op == 8) {
            std::string text = std::string("LABEL") + std::to_string(rng() % 1000);
            if (WriteFile(memRoot + "/.windows-label", std::vector<uint8_t>(text.begin(), text.end())) != 0)
                mismatches->push_back("label " + text + " could not be set");
            *label = text;
            continue;
        }
        int plain = apply(plainRoot);
        int mem = apply(memRoot);
        if (plain != mem)
            mismatches->push_back("seed " + std::to_string(seed) + " step " + std::to_string(step) + ": " + what +
                                  ": folder " + std::strerror(plain) + ", memory " + std::strerror(mem));
    }
}

void CompareTrees(const std::string& mem, const std::string& plain, const std::string& rel,
                  std::vector<std::string>* mismatches)
{
    auto a = ListDir(mem + rel), b = ListDir(plain + rel);
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    if (a != b) {
        mismatches->push_back("names differ in " + (rel.empty() ? std::string("/") : rel));
        return;
    }
    for (const auto& n : a) {
        struct stat sa, sb;
        stat((mem + rel + "/" + n).c_str(), &sa);
        stat((plain + rel + "/" + n).c_str(), &sb);
        if (S_ISDIR(sa.st_mode) != S_ISDIR(sb.st_mode)) {
            mismatches->push_back("type differs: " + rel + "/" + n);
        } else if (S_ISDIR(sa.st_mode)) {
            CompareTrees(mem, plain, rel + "/" + n, mismatches);
        } else {
            auto x = ReadWholeFile(mem + rel + "/" + n), y = ReadWholeFile(plain + rel + "/" + n);
            if (x != y) {
                size_t at = std::mismatch(x.begin(), x.begin() + static_cast<long>(std::min(x.size(), y.size())), y.begin()).first - x.begin();
                mismatches->push_back("content differs: " + rel + "/" + n + ": " + std::to_string(x.size()) + " bytes in the memory, " +
                                      std::to_string(y.size()) + " in the folder, first difference at " + std::to_string(at));
            }
        }
    }
}

class RandomSequenceTest : public MemoryDaemonTest, public ::testing::WithParamInterface<int> {
};

TEST_P(RandomSequenceTest, MatchesAPlainFolderAndStaysFsckClean)
{
    const int bits = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartOn(bits == 12 ? 2000 : 4096, bits));
    std::string plain = Dir + "/plain";
    std::string label;
    for (uint32_t seed = static_cast<uint32_t>(bits); seed < static_cast<uint32_t>(bits) + 4; ++seed) {
        RunCommand("rm -rf " + Quote(plain) + " && mkdir " + Quote(plain));
        for (const auto& n : ListDir(A("")))
            RunCommand("rm -rf " + Quote(A("/" + n)));
        std::vector<std::string> mismatches;
        RunSequence(Daemon.Files, plain, seed, &label, &mismatches);
        CompareTrees(Daemon.Files, plain, "", &mismatches);
        for (auto& m : mismatches)
            m = "seed " + std::to_string(seed) + ": " + m;
        for (const auto& m : mismatches)
            ADD_FAILURE() << m;
        std::string report;
        EXPECT_TRUE(FsckClean(Image, &report)) << "seed " << seed << ": " << report;
        if (!label.empty()) {
            std::string out;
            RunCommand("MTOOLS_SKIP_CHECK=1 mlabel -s -i " + Quote(Image) + " ::", &out);
            EXPECT_NE(std::string::npos, out.find(label)) << out;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fat, RandomSequenceTest, ::testing::Values(12, 16),
                         [](const ::testing::TestParamInfo<int>& info) { return "Fat" + std::to_string(info.param); });

// ---- coherence of the two views ----

TEST_F(MemoryDaemonTest, RawRewriteOfDirectoryOrderShowsAtOnceInTheListing)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(4096, 16, "PLAYER"));
    std::vector<std::string> names = {"one.mp3", "Two Two.mp3", "THREE.MP3", "four"};
    for (const auto& n : names)
        ASSERT_EQ(0, WriteFile(A("/" + n), RandomBytes(100, 1)));
    ASSERT_EQ(names, ListDir(A("")));  // also primes whatever the kernel might cache

    RawRoot root;
    ASSERT_TRUE(ReadRawRoot(RawImage(), &root));
    std::vector<uint8_t> label;
    auto groups = Groups(root.Bytes, &label);
    ASSERT_EQ(4u, groups.size());
    std::vector<uint8_t> reordered = label;
    for (auto g = groups.rbegin(); g != groups.rend(); ++g)
        reordered.insert(reordered.end(), g->begin(), g->end());
    reordered.resize(root.Bytes.size(), 0);
    int fd = open(RawImage().c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(static_cast<ssize_t>(reordered.size()),
              pwrite(fd, reordered.data(), reordered.size(), static_cast<off_t>(root.Offset)));
    close(fd);

    std::vector<std::string> reversed(names.rbegin(), names.rend());
    EXPECT_EQ(reversed, ListDir(A("")));
    EXPECT_EQ(reversed, MdirNames(Image, "::/"));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
}

TEST_F(MemoryDaemonTest, FileCreatedThroughTheFileViewIsFoundByARawDirectoryRead)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(4096, 16));
    auto data = RandomBytes(777, 5);
    ASSERT_EQ(0, WriteFile(A("/Found Me.mp3"), data));
    RawRoot root;
    ASSERT_TRUE(ReadRawRoot(RawImage(), &root));
    std::vector<uint8_t> label;
    auto groups = Groups(root.Bytes, &label);
    ASSERT_EQ(1u, groups.size());
    EXPECT_EQ("Found Me.mp3", LongNameOf(groups[0]));
    const uint8_t* shortEntry = &groups[0][groups[0].size() - 32];
    EXPECT_EQ(0, std::memcmp(shortEntry, "FOUNDM~1MP3", 11));
    EXPECT_EQ(777u, shortEntry[28] | (shortEntry[29] << 8));
    // And the data sits where the entry's first cluster says.
    uint32_t cluster = shortEntry[26] | (shortEntry[27] << 8);
    std::vector<uint8_t> sector(512);
    int fd = open(RawImage().c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    uint64_t at = (root.G.FirstDataSector + static_cast<uint64_t>(cluster - 2) * root.G.SectorsPerCluster) * 512;
    ASSERT_EQ(512, pread(fd, sector.data(), 512, static_cast<off_t>(at)));
    close(fd);
    EXPECT_TRUE(std::equal(sector.begin(), sector.end(), data.begin()));
}

TEST_F(MemoryDaemonTest, RawDamageFailsFileOperationsUntilMended)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(2000, 12));
    ASSERT_EQ(0, WriteFile(A("/a.bin"), RandomBytes(2000, 2)));
    RawRoot root;
    ASSERT_TRUE(ReadRawRoot(RawImage(), &root));
    // Point a.bin's last cluster back at its first: a loop.
    int fd = open(RawImage().c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    uint64_t fat = static_cast<uint64_t>(root.G.ReservedSectors) * 512;
    std::vector<uint8_t> original(root.G.SectorsPerFat * 512);
    ASSERT_EQ(static_cast<ssize_t>(original.size()), pread(fd, original.data(), original.size(), static_cast<off_t>(fat)));
    std::vector<uint8_t> damaged = original;
    uint32_t n = 5;  // clusters 2..5 hold a.bin
    size_t off = n + n / 2;
    uint32_t w = damaged[off] | (damaged[off + 1] << 8);
    w = (w & 0x000F) | (2u << 4);
    damaged[off] = static_cast<uint8_t>(w);
    damaged[off + 1] = static_cast<uint8_t>(w >> 8);
    ASSERT_EQ(static_cast<ssize_t>(damaged.size()), pwrite(fd, damaged.data(), damaged.size(), static_cast<off_t>(fat)));
    auto before = ReadWholeFile(Image);
    std::vector<uint8_t> buf(10);
    int rfd = open(A("/a.bin").c_str(), O_RDONLY);
    EXPECT_EQ(-1, rfd);
    EXPECT_EQ(EIO, errno);
    EXPECT_NE(0, WriteFile(A("/new.bin"), RandomBytes(10, 1)));
    EXPECT_EQ(before, ReadWholeFile(Image)) << "a damaged image must not be written";
    ASSERT_EQ(static_cast<ssize_t>(original.size()), pwrite(fd, original.data(), original.size(), static_cast<off_t>(fat)));
    close(fd);
    EXPECT_EQ(RandomBytes(2000, 2), ReadWholeFile(A("/a.bin")));
}

TEST_F(MemoryDaemonTest, FullMemoryGivesEnospcAndLeavesACleanImage)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(1440, 12));
    struct statvfs st;
    ASSERT_EQ(0, statvfs(A("/").c_str(), &st));
    auto data = RandomBytes(static_cast<size_t>(st.f_bavail) * st.f_frsize + 5000, 8);
    int fd = open(A("/huge.bin").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    size_t written = 0;
    int err = 0;
    while (written < data.size()) {
        size_t chunk = std::min<size_t>(16384, data.size() - written);
        ssize_t n = write(fd, data.data() + written, chunk);
        if (n < 0) {
            err = errno;
            break;
        }
        written += static_cast<size_t>(n);
    }
    close(fd);
    EXPECT_EQ(ENOSPC, err);
    struct stat sb;
    ASSERT_EQ(0, stat(A("/huge.bin").c_str(), &sb));
    EXPECT_EQ(static_cast<off_t>(written), sb.st_size) << "the file holds exactly what was accepted";
    auto back = ReadWholeFile(A("/huge.bin"));
    EXPECT_TRUE(std::equal(back.begin(), back.end(), data.begin()));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    EXPECT_EQ(0, unlink(A("/huge.bin").c_str()));
    ASSERT_EQ(0, statvfs(A("/").c_str(), &st));
    EXPECT_GT(st.f_bavail, 2800u);
}

// ---- attributes, label, pulling ----

TEST_F(MemoryDaemonTest, DosAttributesTravelThroughTheWineAttribute)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(4096, 16));
    ASSERT_EQ(0, WriteFile(A("/SETTINGS.DAT"), RandomBytes(64, 3)));
    ASSERT_EQ(0, setxattr(A("/SETTINGS.DAT").c_str(), "user.DOSATTRIB", "0x6", 3, 0));
    ASSERT_EQ(0, chmod(A("/SETTINGS.DAT").c_str(), 0444));
    char buf[32] = {};
    ssize_t n = getxattr(A("/SETTINGS.DAT").c_str(), "user.DOSATTRIB", buf, sizeof buf - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ("0x7", std::string(buf, static_cast<size_t>(n)));
    std::string out;
    RunCommand("MTOOLS_SKIP_CHECK=1 mattrib -i " + Quote(Image) + " ::/SETTINGS.DAT", &out);
    EXPECT_NE(std::string::npos, out.find("  SHR")) << out;
    struct stat st;
    ASSERT_EQ(0, stat(A("/SETTINGS.DAT").c_str(), &st));
    EXPECT_EQ(0444u, st.st_mode & 0777);
    EXPECT_EQ(0, removexattr(A("/SETTINGS.DAT").c_str(), "user.DOSATTRIB"));
    RunCommand("MTOOLS_SKIP_CHECK=1 mattrib -i " + Quote(Image) + " ::/SETTINGS.DAT", &out);
    EXPECT_EQ(std::string::npos, out.find("SHR")) << out;
    EXPECT_NE(std::string::npos, out.find("R")) << out;
    EXPECT_EQ(-1, setxattr(A("/SETTINGS.DAT").c_str(), "user.DOSATTRIB", "junk", 4, 0));
    // Wine sets the mode first and then hidden and system alone: read-only stays.
    ASSERT_EQ(0, setxattr(A("/SETTINGS.DAT").c_str(), "user.DOSATTRIB", "0x6", 3, 0));
    n = getxattr(A("/SETTINGS.DAT").c_str(), "user.DOSATTRIB", buf, sizeof buf - 1);
    ASSERT_GT(n, 0);
    EXPECT_EQ("0x7", std::string(buf, static_cast<size_t>(n)));
}

TEST_F(MemoryDaemonTest, LabelFileReadsAndSetsTheVolumeLabelUnlisted)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(4096, 16, "VILO"));
    EXPECT_EQ("VILO", [&] {
        auto b = ReadWholeFile(A("/.windows-label"));
        return std::string(b.begin(), b.end());
    }());
    auto listed = ListDir(A(""));
    EXPECT_TRUE(std::find(listed.begin(), listed.end(), ".windows-label") == listed.end());
    std::string text = "My Player\n";
    ASSERT_EQ(0, WriteFile(A("/.windows-label"), std::vector<uint8_t>(text.begin(), text.end())));
    std::string out;
    RunCommand("MTOOLS_SKIP_CHECK=1 mlabel -s -i " + Quote(Image) + " ::", &out);
    EXPECT_NE(std::string::npos, out.find("MY PLAYER")) << out;
    ASSERT_EQ(0, unlink(A("/.windows-label").c_str()));
    struct stat st;
    EXPECT_NE(0, stat(A("/.windows-label").c_str(), &st));
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
}

TEST_F(MemoryDaemonTest, PulledMemoryFailsInBothViewsUntilInserted)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(4096, 16));
    ASSERT_EQ(0, WriteFile(A("/keep.txt"), RandomBytes(10, 1)));
    int held = open(RawImage().c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(0, Daemon.Command("pull internal"));
    struct stat st;
    EXPECT_NE(0, stat(A("/keep.txt").c_str(), &st));
    EXPECT_EQ(ENOMEDIUM, errno);
    EXPECT_NE(0, stat(RawImage().c_str(), &st));
    char b[512];
    EXPECT_EQ(-1, pread(held, b, sizeof b, 0)) << "an open handle fails too";
    EXPECT_NE(0, WriteFile(A("/new.txt"), RandomBytes(10, 1)));
    ASSERT_EQ(0, Daemon.Command("insert internal"));
    EXPECT_EQ(512, pread(held, b, sizeof b, 0));
    close(held);
    EXPECT_EQ(RandomBytes(10, 1), ReadWholeFile(A("/keep.txt")));
    EXPECT_NE(0, Daemon.Command("pull nosuchmemory"));
}

TEST_F(MemoryDaemonTest, DamagedImageIsNotServed)
{
    ASSERT_TRUE(MakeImage(Image, 1440, 12));
    auto bytes = ReadWholeFile(Image);
    bytes[13] = 0;  // no sectors per cluster
    ASSERT_TRUE(WriteWholeFile(Image, bytes));
    EXPECT_FALSE(Daemon.Start(Image, Dir));
    EXPECT_NE(0, Daemon.ExitStatus);
    EXPECT_NE(std::string::npos, ReadLog().find("not a sound FAT12/FAT16 image")) << ReadLog();
    EXPECT_EQ(bytes, ReadWholeFile(Image));
}

TEST_F(MemoryDaemonTest, KilledDaemonLeavesAConsistentImage)
{
    ASSERT_NO_FATAL_FAILURE(StartOn(2000, 12));
    ASSERT_EQ(0, mkdir(A("/MUSIC").c_str(), 0755));
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(0, WriteFile(A("/MUSIC/track " + std::to_string(i) + ".mp3"), RandomBytes(30000, i)));
    ASSERT_EQ(0, truncate(A("/MUSIC/track 1.mp3").c_str(), 100));
    ASSERT_EQ(0, unlink(A("/MUSIC/track 2.mp3").c_str()));
    Daemon.Kill();
    std::string report;
    EXPECT_TRUE(FsckClean(Image, &report)) << report;
    EXPECT_EQ(std::vector<std::string>({"track 0.mp3", "track 1.mp3", "track 3.mp3", "track 4.mp3"}),
              MdirNames(Image, "::/MUSIC"));
}

TEST_F(MemoryDaemonTest, InternalAndExternalMemoriesAreSeparateDrives)
{
    ASSERT_TRUE(MakeImage(Image, 4096, 16, "INTERNAL"));
    std::string card = Dir + "/card.img";
    ASSERT_TRUE(MakeImage(card, 1440, 12, "CARD"));
    ASSERT_TRUE(Daemon.Start(Image, Dir, card)) << ReadLog();
    ASSERT_EQ(0, WriteFile(A("/in.txt"), RandomBytes(10, 1)));
    ASSERT_EQ(0, WriteFile(Daemon.ExternalFiles + "/out.txt", RandomBytes(20, 2)));
    EXPECT_EQ(std::vector<std::string>({"in.txt"}), MdirNames(Image, "::/"));
    EXPECT_EQ(std::vector<std::string>({"out.txt"}), MdirNames(card, "::/"));
    ASSERT_EQ(0, Daemon.Command("pull external"));
    struct stat st;
    EXPECT_NE(0, stat((Daemon.ExternalFiles + "/out.txt").c_str(), &st));
    EXPECT_NE(0, stat((Daemon.ExternalRaw + "/image").c_str(), &st));
    EXPECT_EQ(RandomBytes(10, 1), ReadWholeFile(A("/in.txt"))) << "the internal memory stays";
    ASSERT_EQ(0, Daemon.Command("insert external"));
    EXPECT_EQ(RandomBytes(20, 2), ReadWholeFile(Daemon.ExternalFiles + "/out.txt"));
    std::string report;
    EXPECT_TRUE(FsckClean(card, &report)) << report;
}

}  // namespace
