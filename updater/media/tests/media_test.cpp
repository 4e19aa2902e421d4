// The media side of the updater against the simulated player's SCSI target:
// firmware files, the configuration, the recorded command sequences of an
// update and of a format, and the failures each step must stop at.
#include "FsckOutput.h"
#include "SimTransport.h"
#include "qv/QvDisk.h"
#include "qv/QvFormatter.h"
#include "qv/QvFwImage.h"
#include "qv/QvErrors.h"
#include "qv/QvUpdater.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace simscsi;

namespace {
using Bytes = std::vector<uint8_t>;

// --- the simulated player as the updater's platform

class CSimBinding : public CQvDeviceBinding {
public:
    explicit CSimBinding(CSimPlayerTarget* target) : m_target(target) {}
    int CreateTransport(CQvTransportOwner* owner, std::unique_ptr<CQvScsiTransport>& transport) override
    {
        if (noTransport)
            return QV_E_NO_TRANSPORT;
        auto t = std::make_unique<CRecordingTransport>(owner, m_target);
        last = t.get();
        last->present = present;
        transport = std::move(t);
        return 0;
    }
    std::string ToOem(const std::u16string& text) override
    {
        std::string out;
        for (char16_t c : text)
            out.push_back(c < 0x80 ? char(c) : '?');
        return out;
    }

    // The sim adapter plus what the volume calls were asked.
    class CRecordingTransport : public CSimTransport {
    public:
        using CSimTransport::CSimTransport;
        int LockVolume(int physical) override
        {
            lockFlags.push_back(physical);
            return CSimTransport::LockVolume(physical);
        }
        int UnlockVolume(int physical) override
        {
            unlockFlags.push_back(physical);
            if (failUnlock)
                return Fail(QV_E_UNLOCK);
            return CSimTransport::UnlockVolume(physical);
        }
        std::vector<int> lockFlags, unlockFlags;
        bool failUnlock = false;
    };

    CRecordingTransport* last = nullptr;
    bool present = true;
    bool noTransport = false;

private:
    CSimPlayerTarget* m_target;
};

class CSink : public CQvProgress {
public:
    void Begin(int total) override { totals.push_back(total); }
    void SetPhase(int phase, int steps) override { phases.push_back({phase, steps}); stepsIn.push_back(0); }
    void Step() override
    {
        ++steps;
        if (!stepsIn.empty())
            ++stepsIn.back();
    }
    int PhaseIndex(int phase) const
    {
        for (size_t i = 0; i < phases.size(); ++i)
            if (phases[i].first == phase)
                return int(i);
        return -1;
    }
    std::vector<int> totals;
    std::vector<std::pair<int, int>> phases;
    std::vector<int> stepsIn;
    int steps = 0;
};

// Runs each case in a folder of its own, as the updater runs next to its
// firmware files.
class InFolder {
public:
    explicit InFolder(const std::string& folder)
    {
        char* cwd = getcwd(nullptr, 0);
        m_old = cwd;
        free(cwd);
        ::mkdir(folder.c_str(), 0755);
        EXPECT_EQ(chdir(folder.c_str()), 0);
    }
    ~InFolder() { EXPECT_EQ(chdir(m_old.c_str()), 0); }

private:
    std::string m_old;
};

void WriteFile(const std::string& name, const std::string& bytes)
{
    std::ofstream(name, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
}

std::string Marker() { return std::string("\x1aQVRX", 5); }

struct Expected {
    uint8_t tag;
    uint16_t product[3];
    uint16_t component[3];
    size_t imageBytes;
};
// What make-firmware.py wrote, in slot order 1..4.
const Expected FIRMWARE[4] = {
    {0x50, {3, 1, 4}, {1, 0, 7}, 65536},
    {0x01, {3, 1, 4}, {2, 3, 11}, 100000},
    {0x00, {3, 1, 4}, {3, 1, 4}, 300000},
    {0x02, {0, 0, 0}, {0, 0, 0}, 150000},
};

Bytes FileImage(int slot)
{
    static const char* names[] = {"", "bootmanager.sb", "usbmsc.sb", "qvrxsys.sb", "resource.bin"};
    std::ifstream f(std::string(QV_FIRMWARE_DIR) + "/" + names[slot], std::ios::binary);
    Bytes all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    return Bytes(all.end() - std::ptrdiff_t(FIRMWARE[slot - 1].imageBytes), all.end());
}

class Media : public ::testing::Test {
protected:
    Media() : folder(QV_FIRMWARE_DIR), binding(&player), updater(&binding) { updater.SetProgress(&sink); }
    // The commands the player saw, as (opcode, subcommand) pairs and volume events.
    static std::string Describe(const SimRecord& r)
    {
        char text[64];
        switch (r.kind) {
        case SimRecord::LOCK: return "lock";
        case SimRecord::UNLOCK: return "unlock";
        case SimRecord::DISMOUNT: return "dismount";
        case SimRecord::LAYOUT: return "layout";
        default: break;
        }
        if (r.opcode == OP_VENDOR_IN || r.opcode == OP_VENDOR_OUT)
            std::snprintf(text, sizeof text, "%02X-%02X", r.opcode, r.subcommand);
        else
            std::snprintf(text, sizeof text, "%02X", r.opcode);
        return text;
    }
    std::vector<SimRecord> Log() const { return player.Log(); }
    uint8_t Number(uint8_t type, uint8_t tag) { return player.DriveByTag(type, tag)->number; }

    InFolder folder;
    CSimPlayerTarget player;
    CSimBinding binding;
    CQvUpdater updater;
    CSink sink;
};
} // namespace

// ------------------------------------------------------------ firmware files

class FirmwareFile : public ::testing::Test {
protected:
    FirmwareFile() : folder("fw-" + std::to_string(::getpid())) {}
    // Loads slot 1 ("bootmanager.sb") from the given bytes.
    std::unique_ptr<CQvFwComponent> Load(const std::string& bytes)
    {
        WriteFile("bootmanager.sb", bytes);
        return std::make_unique<CQvFwComponent>(&config, 1, &info);
    }
    InFolder folder;
    CQvConfigInfo config;
    CQvErrorInfo info;
};

TEST_F(FirmwareFile, HeaderVersionsAndImageAfterTheMarker)
{
    std::string image(1000, '\0');
    for (size_t i = 0; i < image.size(); ++i)
        image[i] = char(i * 7);
    auto c = Load("Product Version: 1.2.3\nComponent Version: 4.5.6\n" + Marker() + image);
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->ImageSize(), 1000u);
    EXPECT_EQ(c->FileKind(), QV_FW_KIND_BOTH);
    CQvVersionInfo p, v;
    c->ProductVersion(p);
    c->ComponentVersion(v);
    EXPECT_EQ(p.ToText(), u"001.002.003");
    EXPECT_EQ(v.ToText(), u"004.005.006");
    CQvByteArray block;
    ASSERT_EQ(c->ReadImageBlock(996, 16, block), 0);
    ASSERT_EQ(block.Count(), 16u);
    EXPECT_EQ(Bytes(block.Data(), block.Data() + 4), Bytes(image.end() - 4, image.end()));
    EXPECT_EQ(Bytes(block.Data() + 4, block.Data() + 16), Bytes(12, 0xFF));
    ASSERT_EQ(c->ReadImageBlock(5000, 8, block), 0);
    EXPECT_EQ(Bytes(block.Data(), block.Data() + 8), Bytes(8, 0xFF));
    // A component that loads leaves the failure record alone.
    EXPECT_EQ(info.Detail(), 255);
    EXPECT_EQ(info.Name(), "");
}

TEST_F(FirmwareFile, ComponentLineFirstStillEndsWithBoth)
{
    auto c = Load("title\nComponent Version: 4.5.6\nProduct Version: 1.2.3\n" + Marker() + "xy");
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->FileKind(), QV_FW_KIND_BOTH);
    EXPECT_EQ(c->ImageSize(), 2u);
}

TEST_F(FirmwareFile, EndOfFileCharacterInsideHeaderAndImage)
{
    // A text read stops at 0x1A; the header scan must not, and the image
    // must come whole, however many 0x1A bytes it holds.
    std::string image = "\x1a\x1a\n\x1aQVR" + std::string(300, '\x1a');
    auto c = Load("Product Version: 9.8.7\nComponent Version: 6.5.4 \x1a note\n" + Marker() + image);
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->ImageSize(), image.size());
    CQvVersionInfo v;
    c->ComponentVersion(v);
    EXPECT_EQ(v.ToText(), u"006.005.004");
}

TEST_F(FirmwareFile, LoneEndOfFileCharacterBeforeTheVersionLines)
{
    // Only the whole marker ends the header: a lone 0x1A in a header line
    // must neither hide the version lines after it nor turn the header text
    // into part of the image.
    struct Case { std::string header; const char16_t* product; const char16_t* component; };
    const Case cases[] = {
        {"Product Version: 1.2.3\nnote \x1a here\nComponent Version: 4.5.6\n", u"001.002.003", u"004.005.006"},
        {"title \x1a\nProduct Version: 1.2.3\nComponent Version: 4.5.6\n", u"001.002.003", u"004.005.006"},
        {"\x1a\nComponent Version: 4.5.6\nProduct Version: 1.2.3\n", u"001.002.003", u"004.005.006"},
    };
    const std::string image(100, '\x5a');
    for (const Case& c : cases) {
        auto fw = Load(c.header + Marker() + image);
        ASSERT_EQ(fw->LastError(), 0) << c.header;
        EXPECT_EQ(fw->FileKind(), QV_FW_KIND_BOTH) << c.header;
        EXPECT_EQ(fw->ImageSize(), image.size()) << c.header;
        CQvVersionInfo p, v;
        fw->ProductVersion(p);
        fw->ComponentVersion(v);
        EXPECT_EQ(p.ToText(), c.product) << c.header;
        EXPECT_EQ(v.ToText(), c.component) << c.header;
    }
}

TEST_F(FirmwareFile, LongestHeaderLineWithEitherLineEnd)
{
    // 79 characters before the line end fit, whether the file was written
    // with LF or with CR LF line ends; 80 do not.
    const std::string fits(79, 'n'), tooLong(80, 'n');
    for (const char* eol : {"\n", "\r\n"}) {
        auto c = Load("Product Version: 1.2.3" + std::string(eol) + fits + eol + "Component Version: 4.5.6" + eol +
                      Marker() + "xy");
        EXPECT_EQ(c->LastError(), 0) << int(eol[0]);
        EXPECT_EQ(c->ImageSize(), 2u) << int(eol[0]);
        c = Load("Product Version: 1.2.3" + std::string(eol) + tooLong + eol + "Component Version: 4.5.6" + eol +
                 Marker() + "xy");
        EXPECT_EQ(c->LastError(), QV_E_FILE_FORMAT) << int(eol[0]);
    }
}

TEST_F(FirmwareFile, HeaderFilesAreNeverTakenForRawImages)
{
    // A file whose version lines stand before the marker is a header file,
    // whatever its first line: its text must never reach the player as part
    // of the image.
    const std::string versions = "Product Version: 1.2.3\r\nComponent Version: 4.5.6\r\n";
    const std::string image(64, '\x33');
    // A first line that is not plain ASCII: a UTF-8 byte order mark, a
    // Latin-1 copyright sign.
    for (const std::string& first : {std::string("\xef\xbb\xbf"), std::string("\xa9 2004 Vilo\r\n")}) {
        auto c = Load(first + versions + Marker() + image);
        ASSERT_EQ(c->LastError(), 0);
        EXPECT_EQ(c->FileKind(), QV_FW_KIND_BOTH);
        EXPECT_EQ(c->ImageSize(), image.size());
        CQvVersionInfo v;
        c->ComponentVersion(v);
        EXPECT_EQ(v.ToText(), u"004.005.006");
    }
    // A header line too long, even before the version lines: refused.
    auto c = Load(std::string(120, '#') + "\r\n" + versions + Marker() + image);
    EXPECT_EQ(c->LastError(), QV_E_FILE_FORMAT);
    EXPECT_EQ(c->ImageSize(), 0u);
}

TEST_F(FirmwareFile, RawImagesLoadWhole)
{
    std::string binary = std::string("\x00\x01\x02", 3) + std::string(500, 'A') + "\n" + Marker() + "tail";
    auto c = Load(binary);
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->FileKind(), QV_FW_KIND_RAW);
    EXPECT_EQ(c->ImageSize(), binary.size());
    // Lines of text without a version line: raw as well, marker and all.
    std::string text = "just some text\nmore\n" + Marker() + "x";
    c = Load(text);
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->FileKind(), QV_FW_KIND_RAW);
    EXPECT_EQ(c->ImageSize(), text.size());
    // A first line longer than a header line holds, with no version line
    // before the marker, is no header.
    std::string longLine = std::string(200, 'x') + "\nno version here\n" + Marker() + "x";
    c = Load(longLine);
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->ImageSize(), longLine.size());
}

TEST_F(FirmwareFile, BrokenFilesAreRefused)
{
    EXPECT_EQ(Load("")->LastError(), QV_E_FILE_FORMAT);
    EXPECT_EQ(Load("Product Version: 1.2.3\nComponent Version: 4.5.6\n" + Marker())->LastError(), QV_E_FILE_FORMAT);
    EXPECT_EQ(Load("Product Version: 1.2.3\nno marker here")->LastError(), QV_E_FILE_FORMAT);
    EXPECT_EQ(Load("Product Version: 1.2.3\n" + std::string(100, 'y') + "\n" + Marker() + "x")->LastError(),
              QV_E_FILE_FORMAT);
    std::remove("bootmanager.sb");
    CQvFwComponent missing(&config, 1, &info);
    EXPECT_EQ(missing.LastError(), QV_E_FILE_OPEN);
    EXPECT_EQ(info.LastError(), QV_E_FILE_OPEN);
    EXPECT_EQ(info.Name(), "CQvFwComponent");
    EXPECT_EQ(info.Detail(), 1);
}

TEST_F(FirmwareFile, VersionNumbersAbove65535AreUnreadable)
{
    auto c = Load("Product Version: 1.70000.3\nComponent Version: 4294967297.2.3\n" + Marker() + "x");
    ASSERT_EQ(c->LastError(), 0);
    CQvVersionInfo p, v;
    c->ProductVersion(p);
    c->ComponentVersion(v);
    EXPECT_EQ(p.ToText(), u"001.000.000");
    EXPECT_EQ(v.ToText(), u"000.000.000");
    EXPECT_EQ(c->FileKind(), QV_FW_KIND_BOTH);
}

TEST_F(FirmwareFile, LabelWithNothingAfterItCountsAsNeither)
{
    auto c = Load("Product Version:   \nComponent Version: 4.5.6\n" + Marker() + "x");
    ASSERT_EQ(c->LastError(), 0);
    EXPECT_EQ(c->FileKind(), QV_FW_KIND_COMPONENT);
}

TEST(FirmwareParse, LayoutOfTheCommittedFiles)
{
    for (int slot = 1; slot <= 4; ++slot) {
        InFolder folder(QV_FIRMWARE_DIR);
        CQvConfigInfo config;
        CQvFwComponent c(&config, uint8_t(slot), nullptr);
        ASSERT_EQ(c.LastError(), 0) << slot;
        EXPECT_EQ(c.ImageSize(), FIRMWARE[slot - 1].imageBytes) << slot;
        EXPECT_EQ(c.FileKind(), slot == 4 ? QV_FW_KIND_RAW : QV_FW_KIND_BOTH) << slot;
        CQvVersionInfo v;
        c.ComponentVersion(v);
        EXPECT_EQ(v.Minor(), FIRMWARE[slot - 1].component[1]);
        EXPECT_EQ(v.Revision(), FIRMWARE[slot - 1].component[2]);
    }
}

// ------------------------------------------------------------ configuration

TEST(Configuration, ComponentTableAndIdentity)
{
    CQvConfigInfo config;
    int count = 0;
    config.ComponentCount(count);
    EXPECT_EQ(count, 4);
    std::string file;
    EXPECT_EQ(config.ComponentFileName(3, file), 0);
    EXPECT_EQ(file, "qvrxsys.sb");
    std::u16string display;
    EXPECT_EQ(config.ComponentDisplayName(4, display), 0);
    EXPECT_EQ(display, u"Resource Manager");
    EXPECT_EQ(config.ComponentFileName(0, file), QV_E_NO_COMPONENT);
    EXPECT_EQ(config.ComponentKind(5, *reinterpret_cast<uint8_t*>(&count)), QV_E_RANGE);
    uint8_t tag = 0;
    EXPECT_EQ(config.ComponentTag(0, tag), 0);
    EXPECT_EQ(tag, 0x0A);
    EXPECT_EQ(config.UsbMscTag(tag), 0);
    EXPECT_EQ(tag, 0x01);
    std::string vendor, product;
    config.ScsiVendor(vendor);
    config.ScsiProduct(product);
    EXPECT_EQ(vendor.size(), 8u);
    EXPECT_EQ(product.size(), 16u);
    std::u16string text;
    EXPECT_EQ(config.AppTitle(text), QV_E_NO_RESOURCE);
}

TEST(Configuration, StepCounts)
{
    CSimPlayerTarget player;
    CSimBinding binding(&player);
    CQvUpdater updater(&binding);
    EXPECT_EQ(updater.StepCount(QV_STEPS_OPEN), 2);
    EXPECT_EQ(updater.StepCount(QV_STEPS_PREPARE), 3);
    EXPECT_EQ(updater.StepCount(QV_STEPS_UPDATE), 3 + 2 + 8);
    EXPECT_EQ(updater.StepCount(QV_STEPS_FORMAT), 3 + 2 + 13 + 7);
    EXPECT_EQ(updater.StepCount(2), 0);
}

// ------------------------------------------------------------------- update

TEST_F(Media, OpenReadsRevisionTableAndVersions)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    uint16_t chip = 0;
    ASSERT_EQ(updater.ChipRevision(chip), 0);
    EXPECT_EQ(chip, 0x3780);
    EXPECT_EQ(updater.DriveLetter(), u'V');
    const CQvVersionInfoPtrArray *device = nullptr, *file = nullptr;
    ASSERT_EQ(updater.GetVersionArrays(device, file), 0);
    ASSERT_EQ(device->Count(), 4u);
    // The factory player's drive versions: 1.i.0 by table position.
    EXPECT_EQ(device->At(0)->ToText(), u"001.002.000"); // boot manager, third in the table
    EXPECT_EQ(device->At(1)->ToText(), u"001.000.000"); // mass storage, first
    EXPECT_EQ(file->At(1)->ToText(), u"002.003.011");
    CQvVersionInfo dp, fp;
    EXPECT_EQ(updater.GetProductVersions(dp, fp), 0);
    EXPECT_EQ(dp.ToText(), u"002.000.000");
    EXPECT_EQ(fp.ToText(), u"003.001.004");
}

TEST_F(Media, UpdateCommandSequence)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    player.ClearLog();
    ASSERT_EQ(updater.UpdateFirmware(), 0);

    std::vector<std::string> expected = {"lock"};
    for (int slot = 1; slot <= 4; ++slot) {
        expected.insert(expected.end(), {"C1-2F", "C1-20", "C1-20", "C0-12"});
        size_t sectors = (FIRMWARE[slot - 1].imageBytes + 2047) / 2048;
        for (size_t run = 0; run < (sectors + 31) / 32; ++run)
            expected.insert(expected.end(), {"C1-23", "C0-13"});
    }
    expected.insert(expected.end(), {"C0-12", "C0-12", "C0-12", "C0-12", "C0-12", "unlock"});
    std::vector<std::string> seen;
    for (const SimRecord& r : Log())
        seen.push_back(Describe(r));
    EXPECT_EQ(seen, expected);

    // Each command named the player's own drive number for its component,
    // and the runs covered the image in order.
    auto log = Log();
    size_t at = 1;
    for (int slot = 1; slot <= 4; ++slot) {
        uint8_t drive = Number(1, FIRMWARE[slot - 1].tag);
        EXPECT_EQ(log[at].drive, drive);
        EXPECT_EQ(log[at + 1].drive, drive);
        at += 4;
        uint64_t next = 0;
        while (at < log.size() && log[at].subcommand == SUB_WRITE_SECTORS) {
            EXPECT_EQ(log[at].drive, drive);
            EXPECT_EQ(log[at].lba, next);
            EXPECT_EQ(log[at + 1].lba, next);
            next += log[at].count;
            at += 2;
        }
    }

    // The information types: product (8) then component (7) version set,
    // the sector size (0) read, and the read-back of every component version
    // (7) and of the player's product version (8).
    std::vector<int> types;
    for (const auto& cdb : binding.last->cdbs)
        if ((cdb[0] == OP_VENDOR_OUT && cdb[1] == SUB_SET_DRIVE_INFO) ||
            (cdb[0] == OP_VENDOR_IN && cdb[1] == SUB_DRIVE_INFO))
            types.push_back(cdb[3]);
    // The open reads four component versions and the product version; the
    // first drive then gets 8, 7 and its sector size, the next one 8 again.
    std::vector<int> wanted(types.begin(), types.begin() + 9);
    EXPECT_EQ(wanted, (std::vector<int>{7, 7, 7, 7, 8, 8, 7, 0, 8}));
    EXPECT_EQ(std::vector<int>(types.end() - 5, types.end()), (std::vector<int>{7, 7, 7, 7, 8}));
    EXPECT_EQ(binding.last->closes, 1);

    // The player holds the images and the versions read back match the files.
    for (int slot = 1; slot <= 4; ++slot) {
        SimDrive* d = player.DriveByTag(1, FIRMWARE[slot - 1].tag);
        Bytes image = FileImage(slot), stored;
        for (auto& s : d->sectors)
            stored.insert(stored.end(), s.second.begin(), s.second.end());
        ASSERT_GE(stored.size(), image.size());
        EXPECT_EQ(Bytes(stored.begin(), stored.begin() + std::ptrdiff_t(image.size())), image) << slot;
        EXPECT_TRUE(std::all_of(stored.begin() + std::ptrdiff_t(image.size()), stored.end(),
                                [](uint8_t b) { return b == 0xFF; }));
        EXPECT_EQ(d->version7[2], FIRMWARE[slot - 1].component[2]);
    }
    const CQvVersionInfoPtrArray *device = nullptr, *file = nullptr;
    updater.GetVersionArrays(device, file);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(device->At(i)->ToText(), file->At(i)->ToText()) << i;
    CQvVersionInfo dp, fp;
    updater.GetProductVersions(dp, fp);
    EXPECT_EQ(dp.ToText(), u"003.001.004");
    EXPECT_TRUE(binding.last->closes >= 1);
    EXPECT_FALSE(binding.last->IsOpen());
}

TEST_F(Media, UpdateProgressSteps)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    ASSERT_EQ(updater.UpdateFirmware(), 0);
    ASSERT_EQ(sink.totals, std::vector<int>{updater.StepCount(QV_STEPS_UPDATE)});
    std::vector<int> order;
    for (auto& p : sink.phases)
        order.push_back(p.first);
    EXPECT_EQ(order, (std::vector<int>{2, 3, 7, 18, 8, 19, 9, 20, 10, 21, 45, 46}));
    // The boot manager's image is exactly one 64 KB run: one step of its
    // phase stays unused.
    int boot = sink.PhaseIndex(18);
    EXPECT_EQ(sink.phases[size_t(boot)].second, 2);
    EXPECT_EQ(sink.stepsIn[size_t(boot)], 1);
    int msc = sink.PhaseIndex(19); // 100000 bytes: 49 sectors, one run plus 17
    EXPECT_EQ(sink.phases[size_t(msc)].second, 2);
    EXPECT_EQ(sink.stepsIn[size_t(msc)], 2);
}

TEST_F(Media, ExactMultipleOfTheRunWritesNoRemainder)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    ASSERT_EQ(updater.UpdateFirmware(), 0);
    uint8_t boot = Number(1, 0x50);
    int writes = 0;
    for (const SimRecord& r : Log())
        if (r.subcommand == SUB_WRITE_SECTORS && r.drive == boot) {
            ++writes;
            EXPECT_EQ(r.count, 32u);
        }
    EXPECT_EQ(writes, 1);
}

TEST_F(Media, ReadBackMismatchStopsWithMinus57AndStillUnlocks)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    player.faults.corruptReadBack = true;
    player.ClearLog();
    EXPECT_EQ(updater.UpdateFirmware(), QV_E_VERIFY);
    auto log = Log();
    int writes = 0;
    for (const SimRecord& r : log)
        writes += r.subcommand == SUB_WRITE_SECTORS;
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(log.back().kind, SimRecord::UNLOCK);
    EXPECT_FALSE(binding.last->IsOpen());
}

TEST_F(Media, ZeroSectorSizeFailsBeforeWriting)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    player.faults.zeroSectorSize = true;
    EXPECT_EQ(updater.UpdateFirmware(), QV_E_SCSI_STATUS);
    for (const SimRecord& r : Log())
        EXPECT_NE(r.subcommand, SUB_WRITE_SECTORS);
}

TEST_F(Media, FailedUnlockStillClosesTheVolume)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    binding.last->failUnlock = true;
    CQvUsbMscDev& device = *updater.Device();
    ASSERT_EQ(device.OpenDevice(), 0);
    EXPECT_TRUE(binding.last->IsOpen());
    EXPECT_EQ(device.CloseDevice(), QV_E_UNLOCK);
    EXPECT_FALSE(binding.last->IsOpen());
    EXPECT_EQ(sink.phases.back().first, 46);
}

TEST_F(Media, UnreadableTable)
{
    player.faults.unreadableTable = true;
    EXPECT_EQ(updater.OpenUsbMscDevice(), QV_E_TABLE);
    // The device object stays usable; the device versions are not read, the
    // file versions are.
    for (const SimRecord& r : Log())
        EXPECT_NE(r.subcommand, SUB_DRIVE_INFO);
    const CQvVersionInfoPtrArray *device = nullptr, *file = nullptr;
    ASSERT_EQ(updater.GetVersionArrays(device, file), 0);
    EXPECT_EQ(device->At(1)->ToText(), u"000.000.000");
    EXPECT_EQ(file->At(1)->ToText(), u"002.003.011");
    CQvVersionInfo dp, fp;
    EXPECT_EQ(updater.GetProductVersions(dp, fp), QV_E_TABLE);
    // Locks and unlocks use the physical-volume form.
    EXPECT_EQ(updater.UpdateFirmware(), QV_E_TABLE);
    EXPECT_EQ(binding.last->lockFlags, std::vector<int>{1});
    EXPECT_EQ(binding.last->unlockFlags, std::vector<int>{1});
    int current = 1;
    EXPECT_EQ(updater.IsAllocationCurrent(current), 0);
    EXPECT_EQ(current, 0);
}

TEST_F(Media, SystemDriveWithoutTableEntry)
{
    // A player whose media lacks the resource drive.
    CSimTransport direct(nullptr, &player);
    CQvEraseLogicalMedia erase;
    ASSERT_EQ(direct.Execute(erase), 0);
    LogicalMediaTable table = {};
    table.count = 4;
    table.entries[0] = {0, 1, 0x01, 256 * 1024};
    table.entries[1] = {0, 0, 0x0A, 0};
    table.entries[2] = {0, 1, 0x50, 64 * 1024};
    table.entries[3] = {0, 1, 0x00, 512 * 1024};
    CQvAllocateLogicalMedia allocate(table);
    ASSERT_EQ(direct.Execute(allocate), 0);
    player.ClearLog();
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    int infoReads = 0;
    for (const SimRecord& r : Log())
        infoReads += r.subcommand == SUB_DRIVE_INFO;
    EXPECT_EQ(infoReads, 3 + 1);
    const CQvVersionInfoPtrArray *device = nullptr, *file = nullptr;
    updater.GetVersionArrays(device, file);
    EXPECT_EQ(device->At(3)->ToText(), u"000.000.000");
    EXPECT_EQ(file->At(3)->ToText(), u"000.000.000");
    EXPECT_EQ(file->At(0)->ToText(), u"001.000.007");
    int current = 1;
    updater.IsAllocationCurrent(current);
    EXPECT_EQ(current, 0);
    // Writing stops at the drive the player does not have.
    EXPECT_EQ(updater.UpdateFirmware(), QV_E_TABLE);
}

TEST_F(Media, PlayerVersionIsNotKeptFromAnEarlierOpen)
{
    // The player's version was read once; then its media lost the player
    // drive (an interrupted format). The next open must not show the old
    // version as the one on the player.
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    CQvVersionInfo device, file;
    ASSERT_EQ(updater.GetProductVersions(device, file), 0);
    ASSERT_EQ(device.ToText(), u"002.000.000");
    CSimTransport direct(nullptr, &player);
    CQvEraseLogicalMedia erase;
    ASSERT_EQ(direct.Execute(erase), 0);
    LogicalMediaTable table = {};
    table.count = 2;
    table.entries[0] = {0, 1, 0x01, 256 * 1024};
    table.entries[1] = {0, 0, 0x0A, 0};
    CQvAllocateLogicalMedia allocate(table);
    ASSERT_EQ(direct.Execute(allocate), 0);
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    ASSERT_EQ(updater.GetProductVersions(device, file), 0);
    EXPECT_EQ(device.ToText(), u"000.000.000");
    EXPECT_EQ(file.ToText(), u"003.001.004");
}

TEST_F(Media, NothingOfAPlayerThatIsGoneIsKept)
{
    // Found once, then unplugged: the next search must not go on naming the
    // old player's chip revision and drive.
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    uint16_t chip = 0;
    ASSERT_EQ(updater.ChipRevision(chip), 0);
    ASSERT_NE(chip, 0);
    ASSERT_NE(updater.DriveLetter(), 0);
    ASSERT_TRUE(binding.last);
    binding.last->present = false;
    EXPECT_EQ(updater.OpenUsbMscDevice(), QV_E_NO_DEVICE);
    ASSERT_EQ(updater.ChipRevision(chip), 0);
    EXPECT_EQ(chip, 0);
    EXPECT_EQ(updater.DriveLetter(), 0);
}

TEST_F(Media, NoPlayerAndNoTransport)
{
    binding.present = false;
    EXPECT_EQ(updater.OpenUsbMscDevice(), QV_E_NO_DEVICE);
    EXPECT_EQ(updater.UpdateFirmware(), QV_E_NO_MSC_DEVICE); // the drives have no transport

    CSimPlayerTarget other;
    CSimBinding none(&other);
    none.noTransport = true;
    CQvUpdater lonely(&none);
    EXPECT_EQ(lonely.OpenUsbMscDevice(), QV_E_NO_TRANSPORT);
    EXPECT_EQ(CQvUpdater(&none).UpdateFirmware(), QV_E_NO_MSC_DEVICE);
}

// --------------------------------------------------------------- allocation

TEST_F(Media, AllocationCurrentAndAnExtraEntry)
{
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    int current = 0;
    ASSERT_EQ(updater.IsAllocationCurrent(current), 0);
    EXPECT_EQ(current, 1);
    // One more entry than the request: a stray data drive.
    player.faults.tableCount = 6;
    ASSERT_EQ(updater.IsAllocationCurrent(current), 0);
    EXPECT_EQ(current, 0);
    player.faults.tableCount = 0;
    // A drive smaller than its image.
    player.DriveByTag(1, 0x00)->size = 4096;
    ASSERT_EQ(updater.IsAllocationCurrent(current), 0);
    EXPECT_EQ(current, 0);
}

// ------------------------------------------------------------------- format

namespace {
std::string Fsck(const std::string& image, uint32_t first, uint32_t sectors)
{
    std::string part = image + ".part";
    std::string command = "dd if=" + image + " of=" + part + " bs=512 skip=" + std::to_string(first) +
                          " count=" + std::to_string(sectors) + " status=none && " + FSCK_FAT + " -n " + part +
                          " 2>&1; echo rc=$?";
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    char buf[512];
    while (p && fgets(buf, sizeof buf, p))
        out += buf;
    if (p)
        pclose(p);
    std::remove(part.c_str());
    return out;
}
} // namespace

class MediaFormat : public Media {
protected:
    MediaFormat() : image(std::string(TEST_SCRATCH) + "/" + DataImageName()) {}
    ~MediaFormat() override { std::remove(image.c_str()); }
    static std::string DataImageName() { return "media-data-" + std::to_string(::getpid()) + ".img"; }
    void AttachImage(uint64_t bytes)
    {
        int fd = ::open(image.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(bytes)), 0);
        ::close(fd);
        ASSERT_TRUE(player.AttachDataImage(image));
    }
    Bytes Sector(uint64_t lba)
    {
        Bytes s(512);
        int fd = ::open(image.c_str(), O_RDONLY);
        EXPECT_EQ(::pread(fd, s.data(), 512, off_t(lba * 512)), 512);
        ::close(fd);
        return s;
    }
    std::string image;
};

TEST_F(MediaFormat, FormatCommandSequenceAndTheWrittenVolume)
{
    AttachImage(40ull * 1024 * 1024);
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    player.ClearLog();
    ASSERT_EQ(updater.FormatMedia(), 0);
    auto log = Log();
    std::vector<std::string> seen;
    for (const SimRecord& r : log)
        seen.push_back(Describe(r));
    ASSERT_GE(seen.size(), 8u);
    EXPECT_EQ(std::vector<std::string>(seen.begin(), seen.begin() + 5),
              (std::vector<std::string>{"lock", "C1-07", "C1-06", "C0-05", "C1-2F"}));
    EXPECT_EQ(log[2].count, 5u);
    // The allocation in the request's order: mass storage, data, then the rest.
    const auto& drives = player.Drives();
    ASSERT_EQ(drives.size(), 5u);
    std::vector<std::pair<int, int>> order;
    for (const SimDrive& d : drives)
        order.push_back({d.type, d.tag});
    EXPECT_EQ(order, (std::vector<std::pair<int, int>>{{1, 0x01}, {0, 0x0A}, {1, 0x50}, {1, 0x00}, {1, 0x02}}));
    // After the images and their version read-back: the data drive's erase,
    // READ CAPACITY, then write/read pairs of the volume, dismount, unlock.
    auto capacity = std::find(seen.begin(), seen.end(), "25");
    ASSERT_NE(capacity, seen.end());
    size_t c = size_t(capacity - seen.begin());
    EXPECT_EQ(seen[c - 1], "C1-2F");
    EXPECT_EQ(log[c - 1].drive, Number(0, 0x0A));
    EXPECT_EQ(std::count(seen.begin(), seen.begin() + std::ptrdiff_t(c), "C0-12"), 4 + 5);
    size_t i = c + 1;
    uint64_t lba = 0;
    int layouts = 0;
    while (i + 1 < seen.size() && (seen[i] == "2A" || seen[i] == "layout")) {
        if (seen[i] == "layout") {
            ++layouts;
            ++i;
            continue;
        }
        EXPECT_EQ(seen[i + 1], "28");
        EXPECT_EQ(log[i].lba, log[i + 1].lba);
        EXPECT_EQ(log[i].lba, lba);
        lba += log[i].count;
        i += 2;
    }
    EXPECT_EQ(layouts, 1);
    EXPECT_EQ(seen[c + 3], "layout"); // right after the master boot record
    EXPECT_EQ(std::vector<std::string>(seen.begin() + std::ptrdiff_t(i), seen.end()),
              (std::vector<std::string>{"dismount", "unlock"}));

    // The volume: the label from the friendly name, zero padded, and a file
    // system fsck.fat accepts apart from calling that label not valid.
    Bytes mbr = Sector(0);
    uint32_t first = mbr[454] | mbr[455] << 8 | mbr[456] << 16 | uint32_t(mbr[457]) << 24;
    uint32_t sectors = mbr[458] | mbr[459] << 8 | mbr[460] << 16 | uint32_t(mbr[461]) << 24;
    Bytes boot = Sector(first);
    EXPECT_EQ(std::string(boot.begin() + 43, boot.begin() + 54), std::string("Vilo Lark\0\0", 11));
    std::string fsck = Fsck(image, first, sectors);
    EXPECT_NE(fsck.find(" 1 files"), std::string::npos) << fsck;
    EXPECT_EQ(FsckComplaints(fsck.substr(0, fsck.rfind("rc=")), true), "") << fsck;
    EXPECT_EQ(updater.Device()->Formatting(), 0);

    // The progress of the whole run adds up to the steps it announced.
    EXPECT_EQ(sink.totals, std::vector<int>{updater.StepCount(QV_STEPS_FORMAT)});
    std::vector<int> phases;
    for (auto& p : sink.phases)
        phases.push_back(p.first);
    EXPECT_EQ(std::vector<int>(phases.begin(), phases.begin() + 3), (std::vector<int>{2, 3, 4}));
    EXPECT_NE(sink.PhaseIndex(28), -1);
    EXPECT_LT(sink.PhaseIndex(28), sink.PhaseIndex(29));
    EXPECT_EQ(phases.back(), 46);

    // The label reads back from the written root directory.
    CQvFormatter reader(nullptr, binding.last);
    uint8_t label[11] = {};
    size_t count = 0;
    ASSERT_EQ(reader.ReadVolumeLabel(label, 11, count), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(label), count), std::string("Vilo Lark\0\0", 11));
}

TEST_F(MediaFormat, TableStillUnreadableStopsAfterTheAllocation)
{
    AttachImage(32ull * 1024 * 1024);
    player.faults.unreadableTable = true;
    ASSERT_EQ(updater.OpenUsbMscDevice(), QV_E_TABLE);
    EXPECT_EQ(updater.FormatMedia(), QV_E_SCSI_STATUS);
    for (const SimRecord& r : Log())
        EXPECT_NE(r.subcommand, SUB_WRITE_SECTORS);
    EXPECT_EQ(Log().back().kind, SimRecord::UNLOCK);
}

TEST_F(MediaFormat, EmptyLabelAfterUnreadableOpen)
{
    AttachImage(32ull * 1024 * 1024);
    player.faults.unreadableTable = true;
    ASSERT_EQ(updater.OpenUsbMscDevice(), QV_E_TABLE);
    player.faults.unreadableTable = false;
    ASSERT_EQ(updater.FormatMedia(), 0);
    Bytes mbr = Sector(0);
    uint32_t first = mbr[454] | mbr[455] << 8 | mbr[456] << 16 | uint32_t(mbr[457]) << 24;
    uint32_t sectors = mbr[458] | mbr[459] << 8 | mbr[460] << 16 | uint32_t(mbr[461]) << 24;
    Bytes boot = Sector(first);
    EXPECT_EQ(Bytes(boot.begin() + 43, boot.begin() + 54), Bytes(11, 0));
    std::string fsck = Fsck(image, first, sectors);
    EXPECT_NE(fsck.find(" 0 files"), std::string::npos) << fsck;
    EXPECT_EQ(FsckComplaints(fsck.substr(0, fsck.rfind("rc=")), true), "") << fsck;
}

TEST_F(MediaFormat, FormatThatRepairsAnUnreadableTableLeavesNoStaleError)
{
    // The open before the run found the table unusable; the format repairs
    // it, so the versions the dialog shows afterwards are read without that
    // old complaint.
    AttachImage(32ull * 1024 * 1024);
    player.faults.unreadableTable = true;
    ASSERT_EQ(updater.OpenUsbMscDevice(), QV_E_TABLE);
    player.faults.unreadableTable = false;
    ASSERT_EQ(updater.FormatMedia(), 0);
    CQvVersionInfo device, file;
    EXPECT_EQ(updater.GetProductVersions(device, file), 0);
    EXPECT_EQ(device.ToText(), u"003.001.004");
    EXPECT_EQ(file.ToText(), u"003.001.004");
    // A failing run still leaves its error for the dialog.
    player.faults.unreadableTable = true;
    ASSERT_EQ(updater.OpenUsbMscDevice(), QV_E_TABLE);
    EXPECT_NE(updater.FormatMedia(), 0);
    EXPECT_NE(updater.GetProductVersions(device, file), 0);
}

TEST_F(MediaFormat, UndersizedAllocationFailsBeforeWriting)
{
    AttachImage(32ull * 1024 * 1024);
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    player.faults.undersizedAllocation = true;
    EXPECT_EQ(updater.FormatMedia(), QV_E_TABLE);
    for (const SimRecord& r : Log()) {
        EXPECT_NE(r.subcommand, SUB_WRITE_SECTORS);
        EXPECT_NE(r.opcode, OP_WRITE10);
    }
}

TEST_F(MediaFormat, SystemDriveMissingFromTheNewTableFails)
{
    AttachImage(32ull * 1024 * 1024);
    ASSERT_EQ(updater.OpenUsbMscDevice(), 0);
    player.faults.tableCount = 3; // the re-read table names only three drives
    EXPECT_EQ(updater.FormatMedia(), QV_E_TABLE);
    for (const SimRecord& r : Log())
        EXPECT_NE(r.subcommand, SUB_WRITE_SECTORS);
}

TEST(MediaFiles, MissingFirmwareFileStopsTheOpenWithItsSlot)
{
    InFolder folder("empty-" + std::to_string(::getpid()));
    CSimPlayerTarget player;
    CSimBinding binding(&player);
    CQvUpdater updater(&binding);
    EXPECT_EQ(updater.OpenUsbMscDevice(), QV_E_FILE_OPEN);
    EXPECT_EQ(updater.ErrorInfo().LastError(), QV_E_FILE_OPEN);
    EXPECT_EQ(updater.ErrorInfo().Detail(), 1); // the boot manager, the first system drive
    std::string name;
    updater.Config().ComponentFileName(updater.ErrorInfo().Detail(), name);
    EXPECT_EQ(name, "bootmanager.sb");
}

namespace {
// A recovery device that counts how it is used.
class CCountingRecovery : public CSimBinding {
public:
    using CSimBinding::CSimBinding;
    int OpenRecoveryDevice() override
    {
        ++opens;
        open = true;
        return 0;
    }
    int StreamRecovery(CQvProgress*, std::unique_ptr<CQvImageSource> component) override
    {
        streamed = component ? component->ImageSize() : 0;
        open = false;
        return 0;
    }
    void ReleaseRecovery() override { open = false; }
    int opens = 0;
    bool open = false;
    uint64_t streamed = 0;
};
} // namespace

TEST(MediaFiles, RecoveryNeedsTheMassStorageFileBeforeTheDevice)
{
    CSimPlayerTarget player;
    {
        // Without "usbmsc.sb" the device is never opened, and -11 names the file.
        InFolder folder("no-usbmsc-" + std::to_string(::getpid()));
        CCountingRecovery binding(&player);
        CQvUpdater updater(&binding);
        EXPECT_EQ(updater.OpenRecoveryDevice(), QV_E_FILE_OPEN);
        EXPECT_EQ(binding.opens, 0);
        EXPECT_EQ(updater.ErrorInfo().Detail(), 2);
        // A stream asked for anyway fails the same way and leaves nothing open.
        binding.open = true;
        EXPECT_EQ(updater.RecoverUsbMsc(nullptr), QV_E_FILE_OPEN);
        EXPECT_FALSE(binding.open);
    }
    {
        InFolder folder(QV_FIRMWARE_DIR);
        CCountingRecovery binding(&player);
        CQvUpdater updater(&binding);
        ASSERT_EQ(updater.OpenRecoveryDevice(), 0);
        EXPECT_EQ(binding.opens, 1);
        EXPECT_EQ(updater.RecoverUsbMsc(nullptr), 0);
        EXPECT_EQ(binding.streamed, FIRMWARE[1].imageBytes);
    }
}
