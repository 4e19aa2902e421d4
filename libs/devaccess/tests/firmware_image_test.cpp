// Firmware image files: S-record conversion against objcopy's records, the
// version words of both kinds, every truncation, and the page image's front
// words.
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "FirmwareImage.h"

using namespace qvmp3;

namespace {

std::vector<uint8_t> Fixture(const char* name)
{
    const char* folder = getenv("MB_SREC_FIXTURES");
    std::string path = std::string(folder ? folder : "tests/data/srec") + "/" + name;
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << path;
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Bytes(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// The block image program.s19 must give: one block per 24-byte record from
// address 0x0100, memory space 1 (code 2), 8 words a block.
std::vector<uint8_t> ExpectedBlocks(const std::vector<uint8_t>& binary)
{
    std::vector<uint8_t> out;
    for (size_t at = 0; at < binary.size(); at += 24) {
        uint16_t address = static_cast<uint16_t>(0x0100 + at);
        size_t take = binary.size() - at < 24 ? binary.size() - at : 24;
        out.push_back(static_cast<uint8_t>(address));
        out.push_back(static_cast<uint8_t>(address >> 8));
        out.push_back(0x20);
        out.push_back(static_cast<uint8_t>(take / 3));
        out.push_back(0);
        out.push_back(0);
        out.insert(out.end(), binary.begin() + at, binary.begin() + at + take);
    }
    return out;
}

} // namespace

TEST(SRecords, ObjcopyRecordsBecomeOneBlockEach)
{
    std::vector<uint8_t> text = Fixture("program.s19");
    std::vector<uint8_t> binary = Fixture("program.bin");
    ASSERT_EQ(binary.size(), 288u);
    std::vector<uint8_t> blocks;
    ASSERT_TRUE(ConvertSRecords(text.data(), text.size(), &blocks));
    EXPECT_EQ(blocks, ExpectedBlocks(binary));
}

TEST(SRecords, TheWorkedRecordIsAcceptedAndAChecksumOffByOneIsNot)
{
    std::vector<uint8_t> blocks;
    std::vector<uint8_t> good = Bytes("S1060010112233" "83\r\n");
    ASSERT_TRUE(ConvertSRecords(good.data(), good.size(), &blocks));
    // No S0 yet: memory space unknown, the code is the address's low byte.
    const std::vector<uint8_t> expected = {0x10, 0x00, 0x00, 0x01, 0x00, 0x00, 0x11, 0x22, 0x33};
    EXPECT_EQ(blocks, expected);
    std::vector<uint8_t> bad = Bytes("S1060010112233" "84\r\n");
    EXPECT_FALSE(ConvertSRecords(bad.data(), bad.size(), &blocks));
}

TEST(SRecords, MemorySpacesGiveTheirCodesAndWordSizes)
{
    struct Case {
        const char* S0;
        uint8_t Code;
        uint8_t Words;
    } cases[] = {
        {"S0030001FB", 0x20, 2}, {"S0030002FA", 0x10, 2}, {"S0030003F9", 0x30, 1}, {"S0030004F8", 0x40, 2},
    };
    for (const Case& c : cases) {
        std::string text = std::string(c.S0) + "\nS109001011223344556681\n";
        std::vector<uint8_t> bytes = Bytes(text), blocks;
        ASSERT_TRUE(ConvertSRecords(bytes.data(), bytes.size(), &blocks)) << c.S0;
        ASSERT_GE(blocks.size(), 6u);
        EXPECT_EQ(blocks[2], c.Code) << c.S0;
        EXPECT_EQ(blocks[3], c.Words) << c.S0;
        EXPECT_EQ(blocks[5], 0) << "header byte 5";
    }
}

TEST(SRecords, EveryTruncationFailsOrGivesAPrefixOfTheWhole)
{
    std::vector<uint8_t> text = Fixture("program.s19");
    std::vector<uint8_t> whole;
    ASSERT_TRUE(ConvertSRecords(text.data(), text.size(), &whole));
    for (size_t cut = 0; cut < text.size(); cut++) {
        // A copy of exactly the cut length, so the sanitizer sees any read past it.
        std::vector<uint8_t> part(text.begin(), text.begin() + cut);
        std::vector<uint8_t> blocks;
        bool ok = ConvertSRecords(part.data(), part.size(), &blocks);
        if (ok) {
            ASSERT_LE(blocks.size(), whole.size()) << cut;
            EXPECT_TRUE(std::equal(blocks.begin(), blocks.end(), whole.begin())) << cut;
        }
        FileVersion version;
        SRecordVersion(part.data(), part.size(), &version);
        RawImageVersion(part.data(), part.size());
    }
}

TEST(FileVersions, SRecordAndRawImagesCarryTheirWords)
{
    std::vector<uint8_t> text = Fixture("program.s19");
    FileVersion version;
    ASSERT_TRUE(SRecordVersion(text.data(), text.size(), &version));
    EXPECT_EQ(version.Words[0], 1);
    EXPECT_EQ(version.Words[3], 4);
    std::vector<uint8_t> plain = Fixture("plain-end.s19");
    ASSERT_TRUE(SRecordVersion(plain.data(), plain.size(), &version));
    EXPECT_EQ(version.Words[0] | version.Words[1] | version.Words[2] | version.Words[3], 0);
    // A damaged end record is an unreadable file.
    std::vector<uint8_t> damaged = text;
    damaged[damaged.size() - 4] ^= 1;
    EXPECT_FALSE(SRecordVersion(damaged.data(), damaged.size(), &version));

    std::vector<uint8_t> raw = {0xAA, 'V', 'e', 'r', 's', 'i', 'o', 'n', 1, 0, 2, 0, 3, 0, 4, 0};
    version = RawImageVersion(raw.data(), raw.size());
    EXPECT_EQ(version.Words[0], 1);
    EXPECT_EQ(version.Words[1], 2);
    EXPECT_EQ(version.Words[2], 3);
    EXPECT_EQ(version.Words[3], 4);
    // 14 bytes cannot hold the mark and the words: nothing is read before them.
    std::vector<uint8_t> shortImage(raw.begin() + 2, raw.end());
    version = RawImageVersion(shortImage.data(), shortImage.size());
    EXPECT_EQ(version.Words[0], 0);
}

TEST(FileVersions, TheRecordFillsFileSlotsAndRefusesTooManyFiles)
{
    std::vector<uint8_t> text = Fixture("program.s19");
    std::vector<uint8_t> raw = {'V', 'e', 'r', 's', 'i', 'o', 'n', 5, 0, 6, 0, 7, 0, 8, 0};
    static _BinaryFilesInformation info;
    memset(&info, 0, sizeof info);
    info.FileCount = 2;
    info.Kind[0] = FILE_KIND_SRECORD;
    info.Kind[1] = 0;
    const uint8_t* images[2] = {text.data(), raw.data()};
    uint32_t sizes[2] = {static_cast<uint32_t>(text.size()), static_cast<uint32_t>(raw.size())};
    ASSERT_EQ(ReadFileVersions(images, sizes, &info), PROGRAM_MEDIA_OK);
    EXPECT_EQ(info.FileVersion01[0], 0x00020001u);
    EXPECT_EQ(info.FileVersion23[0], 0x00040003u);
    EXPECT_EQ(info.FileVersion01[1], 0x00060005u);
    EXPECT_EQ(info.FileVersion23[1], 0x00080007u);
    info.FileCount = 13;
    EXPECT_EQ(ReadFileVersions(images, sizes, &info), PROGRAM_MEDIA_BAD_IMAGE);
}

TEST(PageImage, TwoWordsGainTheThreeFrontWords)
{
    std::vector<uint8_t> image = {0x01, 0x00, 0x00, 0x02, 0x00, 0x00};
    ASSERT_TRUE(AddFrontWords(&image));
    const std::vector<uint8_t> expected = {0x01, 0x00, 0x00, 0x01, 0x01, 0x00, 0x00, 0x01,
                                           0x80, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00};
    EXPECT_EQ(image, expected);
}

// The front words are the word sequence S, 512, W... read as one number and
// shifted right by a bit, with S's lowest bit in front: shifting the result
// back must give that sequence.
TEST(PageImage, ShiftingBackRestoresTheSumThePageSizeAndTheWords)
{
    std::vector<uint8_t> text = Fixture("program.s19");
    const uint8_t header[6] = {1, 2, 3, 4, 5, 6};
    std::vector<uint8_t> image;
    ASSERT_EQ(SRecordPageImage(header, sizeof header, text.data(), text.size(), &image), PROGRAM_MEDIA_OK);
    std::vector<uint8_t> blocks;
    ASSERT_TRUE(ConvertSRecords(text.data(), text.size(), &blocks));
    std::vector<uint8_t> words = {3, 2, 1, 6, 5, 4};
    words.insert(words.end(), blocks.begin(), blocks.end());
    const uint8_t endMark[6] = {0xFF, 0xFF, 0xFF, 0, 0, 0};
    words.insert(words.end(), endMark, endMark + 6);
    ASSERT_EQ(image.size(), words.size() + 9);
    auto word = [](const std::vector<uint8_t>& v, size_t k) {
        return static_cast<uint32_t>(v[3 * k] | v[3 * k + 1] << 8 | v[3 * k + 2] << 16);
    };
    const size_t n = words.size() / 3;
    uint32_t sum = 512;
    for (size_t k = 0; k < n; k++)
        sum += word(words, k);
    sum &= 0xFFFFFF;
    EXPECT_EQ(word(image, 0), sum & 1);
    // R[k+1] << 1 | low bit carried from the word before restores each word.
    std::vector<uint32_t> sequence = {sum, 512};
    for (size_t k = 0; k < n; k++)
        sequence.push_back(word(words, k));
    for (size_t k = 0; k < sequence.size(); k++) {
        uint32_t restored = ((word(image, k + 1) << 1) & 0xFFFFFF) | (k == 0 ? word(image, 0) : word(image, k) >> 23);
        EXPECT_EQ(restored, sequence[k]) << k;
    }
}

TEST(PageImage, HeadersNotInWholeWordsAndBrokenRecordsAreRefused)
{
    std::vector<uint8_t> text = Fixture("program.s19");
    const uint8_t header[4] = {1, 2, 3, 4};
    std::vector<uint8_t> image;
    EXPECT_EQ(SRecordPageImage(header, 4, text.data(), text.size(), &image), PROGRAM_MEDIA_BAD_IMAGE);
    std::vector<uint8_t> cut(text.begin(), text.begin() + 30);
    EXPECT_EQ(SRecordPageImage(header, 3, cut.data(), cut.size(), &image), PROGRAM_MEDIA_BAD_IMAGE);
    // Data that is not whole 24-bit words has no front words.
    std::vector<uint8_t> odd = Bytes("S10500101122B7\nS9030000FC\n");
    EXPECT_EQ(SRecordPageImage(nullptr, 0, odd.data(), odd.size(), &image), PROGRAM_MEDIA_BAD_IMAGE);
}

TEST(PageImage, AFileCutShortAtALineEndIsRefused)
{
    // Every record that is there is sound, but the end record and the data
    // before it are missing: the player must not get the front half of its
    // firmware.
    std::vector<uint8_t> text = Fixture("program.s19");
    std::vector<uint8_t> image;
    ASSERT_EQ(SRecordPageImage(nullptr, 0, text.data(), text.size(), &image), PROGRAM_MEDIA_OK);
    const std::string whole(text.begin(), text.end());
    for (size_t at = whole.find("\nS1"); at != std::string::npos; at = whole.find("\nS1", at + 1)) {
        std::vector<uint8_t> cut(text.begin(), text.begin() + static_cast<long>(at) + 1);
        EXPECT_EQ(SRecordPageImage(nullptr, 0, cut.data(), cut.size(), &image), PROGRAM_MEDIA_BAD_IMAGE) << at;
    }
    std::vector<uint8_t> noEnd(text.begin(), text.begin() + static_cast<long>(whole.find("S9")));
    EXPECT_EQ(SRecordPageImage(nullptr, 0, noEnd.data(), noEnd.size(), &image), PROGRAM_MEDIA_BAD_IMAGE);
    // objcopy's own end record (count 3) closes a file as well.
    std::vector<uint8_t> plain = Fixture("plain-end.s19");
    EXPECT_EQ(SRecordPageImage(nullptr, 0, plain.data(), plain.size(), &image), PROGRAM_MEDIA_OK);
}

TEST(PageImage, RawImagesGo510BytesToAPage)
{
    std::vector<uint8_t> raw(1021);
    for (size_t i = 0; i < raw.size(); i++)
        raw[i] = static_cast<uint8_t>(i * 7 + 1);
    std::vector<uint8_t> pages = RawPageImage(raw.data(), raw.size());
    ASSERT_EQ(pages.size(), 3u * 512);
    EXPECT_EQ(memcmp(pages.data(), raw.data(), 510), 0);
    EXPECT_EQ(memcmp(pages.data() + 512, raw.data() + 510, 510), 0);
    EXPECT_EQ(pages[1024], raw[1020]);
}
