// The FM preset table of SETTINGS.DAT and the preset list files' rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "FmPresetList.h"
#include "FmPresetTable.h"

using namespace fmpreset;

namespace {

// A settings file: head bytes, the marker, 6 other bytes, the table, a tail.
std::vector<std::uint8_t> SettingsFile(const std::vector<std::uint32_t>& khz, std::size_t head = 37,
                                       std::size_t tail = 100)
{
    std::vector<std::uint8_t> file;
    for (std::size_t i = 0; i < head; ++i)
        file.push_back(std::uint8_t(0x11 + i));
    file.insert(file.end(), {0xFC, 0x5F, 0x00, 1, 2, 3, 4, 5, 6});
    for (std::uint32_t k : khz) {
        std::uint8_t e[3];
        EncodeEntry(k, e);
        file.insert(file.end(), e, e + 3);
    }
    for (std::size_t i = 0; i < tail; ++i)
        file.push_back(std::uint8_t(0xA0 ^ i));
    return file;
}

void Apply(std::vector<std::uint8_t>& file, const std::vector<TableWrite>& writes)
{
    for (const TableWrite& w : writes)
        for (std::size_t i = 0; i < ENTRY_BYTES; ++i)
            file.at(w.Offset + i) = w.Bytes[i];
}

}  // namespace

TEST(FmTable, EntryTextAtEveryBoundary)
{
    const struct {
        std::uint32_t khz;
        const char* text;
    } cases[] = {
        {0, "87.5"},          {87499, "87.5"},      {87500, "87.50"},  {87510, "87.51"},
        {107900, "107.90"},   {107999, "108.00"},   {108000, "108.00"}, {108001, "87.5"},
        {0xFFFFFF, "87.5"},   {98100, "98.10"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.text, EntryText(c.khz)) << c.khz;
}

TEST(FmTable, EntriesAreLittleEndian24Bit)
{
    std::uint8_t e[3];
    EncodeEntry(108000, e);  // 0x01A5E0
    EXPECT_EQ(0xE0, e[0]);
    EXPECT_EQ(0xA5, e[1]);
    EXPECT_EQ(0x01, e[2]);
    EXPECT_EQ(108000u, ReadEntry(e, 0));
}

TEST(FmTable, FoundNineBytesAfterTheFirstMarkerOnlyWhenWhole)
{
    const std::vector<std::uint32_t> table(ENTRY_COUNT, 90000);
    std::size_t offset = 0;
    // Room for the whole table, exactly.
    std::vector<std::uint8_t> exact = SettingsFile(table, 5, 0);
    ASSERT_TRUE(FindTable(exact, &offset));
    EXPECT_EQ(5u + 9u, offset);
    // One byte short, the marker near the end, the marker as the last bytes.
    std::vector<std::uint8_t> shortByOne(exact.begin(), exact.end() - 1);
    EXPECT_FALSE(FindTable(shortByOne, &offset));
    std::vector<std::uint8_t> nearEnd = {0, 0, 0xFC, 0x5F, 0x00, 1, 2, 3, 4, 5, 6, 7};
    EXPECT_FALSE(FindTable(nearEnd, &offset));
    std::vector<std::uint8_t> atEnd = {9, 9, 9, 0xFC, 0x5F, 0x00};
    EXPECT_FALSE(FindTable(atEnd, &offset));
    std::vector<std::uint8_t> partial = {0xFC, 0x5F};
    EXPECT_FALSE(FindTable(partial, &offset));
    EXPECT_FALSE(FindTable(std::vector<std::uint8_t>(), &offset));
    // FC 5F 01 is no marker; the first real one counts.
    std::vector<std::uint8_t> two = SettingsFile(table, 0, 80);
    two.insert(two.begin(), {0xFC, 0x5F, 0x01});
    ASSERT_TRUE(FindTable(two, &offset));
    EXPECT_EQ(3u + 9u, offset);
}

TEST(FmTable, GeneratedTablesRoundTripAndNothingElseChanges)
{
    std::mt19937 random(4120);
    std::uniform_int_distribution<std::uint32_t> band(MIN_KHZ, MAX_KHZ);
    for (int round = 0; round < 200; ++round) {
        std::vector<std::uint32_t> old(ENTRY_COUNT);
        std::uint32_t rows[ENTRY_COUNT];
        for (int n = 0; n < ENTRY_COUNT; ++n) {
            old[n] = band(random);
            rows[n] = band(random);
        }
        std::vector<std::uint8_t> file = SettingsFile(old, round % 50, round % 7);
        const std::vector<std::uint8_t> before = file;
        const std::vector<TableWrite> writes = PlanTableWrites(file, rows);
        ASSERT_EQ(std::size_t(ENTRY_COUNT), writes.size());
        Apply(file, writes);
        std::size_t offset = 0;
        ASSERT_TRUE(FindTable(file, &offset));
        for (int n = 0; n < ENTRY_COUNT; ++n)
            EXPECT_EQ(rows[n], ReadEntry(file.data() + offset, n));
        for (std::size_t i = 0; i < file.size(); ++i)
            if (i < offset || i >= offset + TABLE_BYTES)
                ASSERT_EQ(before[i], file[i]) << "byte " << i;
    }
}

// Only rows inside 87.5-108.0 MHz are written; the others keep the player's
// bytes. A file without a whole table gets no write at all.
TEST(FmTable, WritesOnlyRowsInsideTheBand)
{
    std::vector<std::uint32_t> old(ENTRY_COUNT, 99900);
    std::uint32_t rows[ENTRY_COUNT] = {};
    rows[0] = 87500;
    rows[1] = 87499;
    rows[2] = 108000;
    rows[3] = 108001;
    rows[4] = 0;
    rows[19] = 100100;
    std::vector<std::uint8_t> file = SettingsFile(old);
    const std::vector<TableWrite> writes = PlanTableWrites(file, rows);
    ASSERT_EQ(3u, writes.size());
    Apply(file, writes);
    std::size_t offset = 0;
    ASSERT_TRUE(FindTable(file, &offset));
    const std::uint32_t expected[] = {87500, 99900, 108000, 99900, 99900};
    for (int n = 0; n < 5; ++n)
        EXPECT_EQ(expected[n], ReadEntry(file.data() + offset, n)) << n;
    EXPECT_EQ(100100u, ReadEntry(file.data() + offset, 19));

    std::vector<std::uint8_t> noMarker(200, 0x55);
    EXPECT_TRUE(PlanTableWrites(noMarker, rows).empty());
    std::vector<std::uint8_t> cut = SettingsFile(old, 10, 0);
    cut.resize(cut.size() - 3);
    EXPECT_TRUE(PlanTableWrites(cut, rows).empty());
}

TEST(FmTable, FrequencyTextsToKilohertz)
{
    const struct {
        const char* text;
        std::uint32_t khz;
    } cases[] = {
        {"87.50", 87500}, {"87.5", 87500},  {"108.00", 108000}, {"100.1", 100100}, {"100.10", 100100},
        {"89.15", 89150}, {"101.9", 101900}, {"", 0},           {"abc", 0},        {"1.2.3", 0},
        {"-90", 0},       {"90 ", 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.khz, TextToKhz(c.text)) << c.text;
}

namespace {

const char kList[] =
    "[#. Seoul FM]\r\n"
    "1 : 91.90 = Seoul FM one;\r\n"
    "\r\n"
    "[#. Seoul]\r\n"
    "11 : 101.90 = eleventh;\r\n"
    "2 : 89.10 = KBS Cool;\r\n"
    "3 : 95.10 no equals sign\r\n"
    "4 : 93.90 = no semicolon\r\n"
    "5 : 99.90 = five; trailing\r\n"
    "5 : 88.10 = second five;\r\n"
    "20 : 107.70 = twenty;\r\n"
    "\r\n"
    "[#. Busan]\r\n"
    "1 : 90.50 = Busan one;\r\n"
    "3 : 95.90 = Busan three;\r\n";

}  // namespace

TEST(FmList, GroupNamesInOrder)
{
    std::vector<std::string> names;
    ASSERT_TRUE(ReadGroupNames(kList, &names));
    EXPECT_EQ((std::vector<std::string>{"Seoul FM", "Seoul", "Busan"}), names);
    EXPECT_FALSE(ReadGroupNames("no groups here\r\n", &names));
    EXPECT_TRUE(names.empty());
    // An empty name ends the list; so does a header without its bracket.
    ASSERT_TRUE(ReadGroupNames("[#. A]\r\n[#. ]\r\n[#. B]\r\n", &names));
    EXPECT_EQ(std::vector<std::string>{"A"}, names);
    ASSERT_TRUE(ReadGroupNames("[#. A]\r\n[#. B\r\n1 : 90.00 = x];\r\n[#. C]\r\n", &names));
    EXPECT_EQ(std::vector<std::string>{"A"}, names);
}

// "Seoul" is its own group, not the start of "Seoul FM"; "1 :" is not the
// end of "11 :"; rows after the next header belong to that group; a line
// without "=" and ";" is no row; the first line of a number counts.
TEST(FmList, ReadsExactlyTheNamedGroup)
{
    std::vector<PresetRow> rows;
    ASSERT_TRUE(ReadGroup(kList, "Seoul", &rows));
    ASSERT_EQ(std::size_t(ENTRY_COUNT), rows.size());
    EXPECT_EQ("", rows[0].Frequency);  // no "1 :" line; "11 :" and Busan's do not count
    EXPECT_EQ("89.10", rows[1].Frequency);
    EXPECT_EQ("KBS Cool", rows[1].Comment);
    EXPECT_EQ("", rows[2].Frequency);
    EXPECT_EQ("", rows[3].Frequency);
    EXPECT_EQ("99.90", rows[4].Frequency);
    EXPECT_EQ("five", rows[4].Comment);
    EXPECT_EQ("101.90", rows[10].Frequency);
    EXPECT_EQ("eleventh", rows[10].Comment);
    EXPECT_EQ("107.70", rows[19].Frequency);

    ASSERT_TRUE(ReadGroup(kList, "Seoul FM", &rows));
    EXPECT_EQ("91.90", rows[0].Frequency);
    EXPECT_EQ("", rows[1].Frequency);

    ASSERT_TRUE(ReadGroup(kList, "Busan", &rows));
    EXPECT_EQ("90.50", rows[0].Frequency);
    EXPECT_EQ("Busan three", rows[2].Comment);

    rows.assign(3, PresetRow{"1", "kept"});
    EXPECT_FALSE(ReadGroup(kList, "Seou", &rows));
    EXPECT_FALSE(ReadGroup(kList, "Daegu", &rows));
    EXPECT_EQ(3u, rows.size());
}

TEST(FmList, RowsThatStopShortAreSkippedNotReadPast)
{
    std::vector<PresetRow> rows;
    // The last line has neither "=" nor ";" and ends the file.
    ASSERT_TRUE(ReadGroup("[#. A]\r\n1 : 90.10 = one;\r\n2 : 90.2", "A", &rows));
    EXPECT_EQ("90.10", rows[0].Frequency);
    EXPECT_EQ("", rows[1].Frequency);
    // A ";" on a later line is not this row's end.
    ASSERT_TRUE(ReadGroup("[#. A]\r\n1 : 90.10 = one\r\n2 : 90.20 = two;\r\n", "A", &rows));
    EXPECT_EQ("", rows[0].Frequency);
    EXPECT_EQ("90.20", rows[1].Frequency);
    // Numbers outside 1-20 and leading zeros are no keys.
    ASSERT_TRUE(ReadGroup("[#. A]\r\n21 : 90.10 = x;\r\n01 : 90.30 = y;\r\n0 : 90.40 = z;\r\n", "A", &rows));
    for (const PresetRow& r : rows)
        EXPECT_EQ("", r.Frequency);
}

TEST(FmList, WritingReplacesOnlyThatGroupsBody)
{
    std::string text =
        "; preset list\r\n"
        "[#. A]\r\n1 : 90.10 = old;\r\n\r\n"
        "[#. AB]\r\n1 : 91.10 = ab;\r\n\r\n"
        "[#. B]\r\n2 : 92.10 = b;\r\n";
    std::vector<PresetRow> rows(ENTRY_COUNT);
    rows[1] = {"88.10", "two"};
    rows[10] = {"101.90", ""};
    ASSERT_TRUE(WriteGroup(text, "A", rows));
    EXPECT_EQ("; preset list\r\n"
              "[#. A]\r\n2 : 88.10 = two;\r\n11 : 101.90 = ;\r\n\r\n"
              "[#. AB]\r\n1 : 91.10 = ab;\r\n\r\n"
              "[#. B]\r\n2 : 92.10 = b;\r\n",
              text);
    // The last group runs to the end of the file.
    ASSERT_TRUE(WriteGroup(text, "B", std::vector<PresetRow>(ENTRY_COUNT)));
    const std::string emptyB = "[#. B]\r\n\r\n";
    EXPECT_EQ(text.size() - emptyB.size(), text.rfind(emptyB));
    std::vector<PresetRow> back;
    ASSERT_TRUE(ReadGroup(text, "A", &back));
    EXPECT_EQ("88.10", back[1].Frequency);
    EXPECT_EQ("two", back[1].Comment);
    EXPECT_EQ("101.90", back[10].Frequency);
    const std::string before = text;
    EXPECT_FALSE(WriteGroup(text, "C", rows));
    EXPECT_EQ(before, text);
}

// What a user may type as a comment comes back from the list file as typed,
// and never changes which groups the file holds.
TEST(FmList, TypedCommentsRoundTripWithoutBreakingTheFile)
{
    const std::string comments[] = {"Rock; Pop", "a;b;c;", "[#. Fake]", "see [#. B] too", "x = y", " lead"};
    for (const std::string& comment : comments) {
        std::string text = "[#. A]\r\n1 : 90.10 = old;\r\n\r\n[#. B]\r\n2 : 92.10 = b;\r\n";
        std::vector<PresetRow> rows(ENTRY_COUNT);
        rows[0] = {"90.10", comment};
        rows[4] = {"95.50", "after"};
        ASSERT_TRUE(WriteGroup(text, "A", rows)) << comment;
        // Written twice: the second write must replace the first whole.
        ASSERT_TRUE(WriteGroup(text, "A", rows)) << comment;
        std::vector<std::string> names;
        ASSERT_TRUE(ReadGroupNames(text, &names)) << comment;
        EXPECT_EQ((std::vector<std::string>{"A", "B"}), names) << comment << "\n" << text;
        std::vector<PresetRow> back;
        ASSERT_TRUE(ReadGroup(text, "A", &back)) << comment;
        EXPECT_EQ("90.10", back[0].Frequency) << comment;
        EXPECT_EQ(comment, back[0].Comment) << text;
        EXPECT_EQ("95.50", back[4].Frequency) << comment << "\n" << text;
        EXPECT_EQ("after", back[4].Comment) << comment;
        ASSERT_TRUE(ReadGroup(text, "B", &back)) << comment;
        EXPECT_EQ("92.10", back[1].Frequency) << comment;
        EXPECT_EQ("", back[0].Frequency) << comment;
    }
}

