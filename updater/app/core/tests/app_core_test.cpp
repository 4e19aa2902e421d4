// The updater program's Windows-free core: the command-line options, the
// error and status tables, the composed error texts, the phase texts and the
// language choice.
#include "qv/CmdLineOptions.h"
#include "qv/QvLanguage.h"
#include "qv/QvTextFormat.h"
#include "qv/QvTextTable.h"
#include <gtest/gtest.h>
#include <map>

namespace {
// A text table over a map: the language library and the program's own
// strings in one, plus a system message per code.
class CMapTextTable : public CQvTextTable {
public:
    CMapTextTable(CQvConfigInfo* config, CQvErrorInfo* info) : CQvTextTable(config, info) {}
    std::map<int, std::u16string> start, current;
    std::map<uint32_t, std::u16string> system;

protected:
    bool RawString(int id, int useCurrent, std::u16string& out) override
    {
        const auto& table = useCurrent ? current : start;
        auto it = table.find(id);
        if (it == table.end())
            return false;
        out = it->second;
        return true;
    }
    std::u16string SystemMessage(uint32_t code, int) override
    {
        auto it = system.find(code);
        return it == system.end() ? std::u16string() : it->second;
    }
};

std::map<int, std::u16string> EnglishKeywords()
{
    return {{198, u"log"},       {199, u"Unattended"}, {200, u"AutoRun"}, {201, u"AutoClose"},
            {202, u"Quiet"},     {204, u"Format"},     {206, u"Help"},    {625, u"English"},
            {205, u"Usage: %s [/%s] [/%s] [/%s] [/%s] [/%s] [/%s file] %s %s|%s %s %s %s %s %s %s %s %s %s %s"},
            {53, u"Lark Series Firmware Update"}};
}

struct Options {
    Options(std::map<int, std::u16string> texts = EnglishKeywords()) : table(&config, &info)
    {
        table.start = texts;
        config.SetResource(&table);
    }
    CmdLineOptions Parse(const std::u16string& line) { return CmdLineOptions(line, &config); }
    CQvConfigInfo config;
    CQvErrorInfo info;
    CMapTextTable table;
};

struct Flags {
    int autoRun, closeWhenDone, noQuestions, format, log, help, english;
};

Flags Read(const CmdLineOptions& o)
{
    return {o.AutoRun(), o.CloseWhenDone(), o.NoQuestions(), o.FormatDataArea(), o.Log(), o.Help(), o.LogEnglish()};
}

bool operator==(const Flags& a, const Flags& b)
{
    return a.autoRun == b.autoRun && a.closeWhenDone == b.closeWhenDone && a.noQuestions == b.noQuestions &&
           a.format == b.format && a.log == b.log && a.help == b.help && a.english == b.english;
}
std::ostream& operator<<(std::ostream& s, const Flags& f)
{
    return s << f.autoRun << f.closeWhenDone << f.noQuestions << f.format << f.log << f.help << f.english;
}
std::string Narrow(const std::u16string& t) { return std::string(t.begin(), t.end()); }
} // namespace

TEST(CmdLineOptions, EachKeywordAndCombinationSetsItsFlags)
{
    struct Case { const char16_t* line; Flags flags; };
    const Case cases[] = {
        {u"", {0, 0, 0, 0, 0, 0, 0}},
        {u"/autorun", {1, 0, 0, 0, 0, 0, 0}},
        {u"-AUTORUN", {1, 0, 0, 0, 0, 0, 0}},
        {u"/AutoClose", {0, 1, 0, 0, 0, 0, 0}},
        {u"-quiet", {0, 0, 1, 0, 0, 0, 0}},
        {u"/format", {0, 0, 0, 1, 0, 0, 0}},
        {u"/help", {0, 0, 0, 0, 0, 1, 0}},
        {u"/log c:\\x.log", {0, 0, 0, 0, 1, 0, 0}},
        {u"/log c:\\x.log /english", {0, 0, 0, 0, 1, 0, 1}},
        {u"english", {0, 0, 0, 0, 0, 0, 0}},                 // English log alone does nothing
        {u"/unattended", {1, 1, 1, 0, 0, 0, 0}},             // not the format
        {u"/unattended /format", {1, 1, 1, 1, 0, 0, 0}},
        {u"x/autorunx", {1, 0, 0, 0, 0, 0, 0}},              // the keyword inside a token
        {u"autorun", {0, 0, 0, 0, 0, 0, 0}},                 // no dash, no slash
        {u"/autorun  /quiet", {1, 0, 1, 0, 0, 0, 0}},        // two blanks between them
        {u"  /autorun \t  /autoclose   ", {1, 1, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        Options o;
        CmdLineOptions options = o.Parse(c.line);
        EXPECT_EQ(options.LastError(), 0) << Narrow(c.line);
        EXPECT_EQ(Read(options), c.flags) << Narrow(c.line);
    }
}

TEST(CmdLineOptions, EmptyTokensAreSkipped)
{
    std::vector<std::u16string> tokens = CmdLineOptions::Split(u"a  B\t\tc ");
    ASSERT_EQ(tokens.size(), 3u);
    EXPECT_EQ(tokens[1], u"b");
    EXPECT_EQ(tokens[2], u"c");
    EXPECT_TRUE(CmdLineOptions::Split(u"   ").empty());
}

TEST(CmdLineOptions, NoKeywordIsTakenForAnother)
{
    // Keywords that begin one another: each option's own token selects it
    // alone, in either order of the pair.
    std::map<int, std::u16string> texts = {{198, u"l"}, {199, u"a"}, {200, u"au"}, {201, u"aut"},
                                           {202, u"q"}, {204, u"qu"}, {206, u"lo"}, {625, u"zzz"}};
    Options o(texts);
    const std::pair<const char16_t*, Flags> cases[] = {
        {u"/au", {1, 0, 0, 0, 0, 0, 0}},    {u"/aut", {0, 1, 0, 0, 0, 0, 0}},
        {u"/a", {1, 1, 1, 0, 0, 0, 0}},     {u"/q", {0, 0, 1, 0, 0, 0, 0}},
        {u"/qu", {0, 0, 0, 1, 0, 0, 0}},    {u"/lo", {0, 0, 0, 0, 0, 1, 0}},
        {u"/l p", {0, 0, 0, 0, 1, 0, 0}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Read(o.Parse(c.first)), c.second) << Narrow(c.first);

    // With the English keywords every pair is told apart.
    Options english;
    const char16_t* words[] = {u"/log x", u"/autorun", u"/autoclose", u"/unattended", u"/quiet", u"/format", u"/help"};
    for (const char16_t* a : words)
        for (const char16_t* b : words) {
            std::u16string line = std::u16string(a) + u" " + b;
            CmdLineOptions both = english.Parse(line);
            CmdLineOptions first = english.Parse(a), second = english.Parse(b);
            Flags f = Read(both), f1 = Read(first), f2 = Read(second);
            Flags either = {f1.autoRun | f2.autoRun, f1.closeWhenDone | f2.closeWhenDone,
                            f1.noQuestions | f2.noQuestions, f1.format | f2.format, f1.log | f2.log,
                            f1.help | f2.help, 0};
            EXPECT_EQ(f, either) << Narrow(line);
        }
}

TEST(CmdLineOptions, LogPathFollowsTheLogOption)
{
    struct Case { const char16_t* line; int error; const char16_t* path; int english; };
    const Case cases[] = {
        {u"/log C:\\Temp\\Up.LOG", 0, u"c:\\temp\\up.log", 0},     // used in lower case
        {u"/autorun   /log    d:\\a.txt /quiet", 0, u"d:\\a.txt", 0},
        {u"/log /english e:\\b.txt", 0, u"e:\\b.txt", 1},
        {u"/english /log e:\\b.txt", 0, u"e:\\b.txt", 1},
        {u"/log", -42, u"", 0},                                      // no value
        {u"/log   ", -42, u"", 0},
        {u"c:\\blog\\x /log f:\\c.txt", 0, u"f:\\c.txt", 0},          // "log" inside a folder name
        // A quoted path keeps its blanks and loses its quotes.
        {u"/log \"C:\\My Logs\\up.log\" /quiet", 0, u"c:\\my logs\\up.log", 0},
        {u"/log /english \"c:\\a b.log\"", 0, u"c:\\a b.log", 1},
        {u"/log \"c:\\open ended.log", 0, u"c:\\open ended.log", 0},  // no closing quote: to the end
        {u"/log \"\" /quiet", -42, u"", 0},                                 // quotes around nothing
        {u"/log /quiet c:\\x.log", -42, u"", 0},   // another option where the path belongs: no value
        {u"/autorun /log -Format", -42, u"", 0},
        {u"/log /english", -42, u"", 1},
        {u"/log \"/quiet\"", 0, u"/quiet", 0},     // quoted, it is a path
    };
    for (const Case& c : cases) {
        Options o;
        CmdLineOptions options = o.Parse(c.line);
        EXPECT_EQ(options.LastError(), c.error) << Narrow(c.line);
        EXPECT_EQ(options.LogPath(), c.path) << Narrow(c.line);
        EXPECT_EQ(options.LogEnglish(), c.english) << Narrow(c.line);
    }
}

TEST(CmdLineOptions, TheLogFileNameSelectsNoOption)
{
    // The log path is the log option's value: a file or folder name that
    // happens to hold "-format" or "/quiet" must not format the player's
    // data area or silence its questions.
    const std::pair<const char16_t*, Flags> cases[] = {
        {u"/log d:\\logs\\pre-format.txt", {0, 0, 0, 0, 1, 0, 0}},
        {u"/log c:/fw/format/up.log", {0, 0, 0, 0, 1, 0, 0}},
        {u"/log c:\\a-quiet-help.log /autorun", {1, 0, 0, 0, 1, 0, 0}},
        {u"/autoclose /log c:\\x-unattended.log", {0, 1, 0, 0, 1, 0, 0}},
        {u"/log /english c:\\x-format.log", {0, 0, 0, 0, 1, 0, 1}},
        // The same word as an option of its own still counts.
        {u"/log c:\\x-format.log /format", {0, 0, 0, 1, 1, 0, 0}},
        {u"/format /log c:\\x.log", {0, 0, 0, 1, 1, 0, 0}},
        // Nor does any word of a quoted path with blanks in it.
        {u"/log \"c:\\documents and settings\\me\\pre-format -quiet.log\" /autorun", {1, 0, 0, 0, 1, 0, 0}},
    };
    Options o;
    for (const auto& c : cases) {
        CmdLineOptions options = o.Parse(c.first);
        EXPECT_EQ(options.LastError(), 0) << Narrow(c.first);
        EXPECT_EQ(Read(options), c.second) << Narrow(c.first);
    }
}

TEST(CmdLineOptions, MissingKeywordMatchesAnyDashOrSlash)
{
    std::map<int, std::u16string> texts = EnglishKeywords();
    texts.erase(204);
    Options o(texts);
    EXPECT_EQ(o.Parse(u"/autorun").FormatDataArea(), 1);
    EXPECT_EQ(o.Parse(u"plain").FormatDataArea(), 0);
}

TEST(CmdLineOptions, UsageTextNamesTheProgramAndTheKeywordsAsWritten)
{
    Options o;
    CmdLineOptions options = o.Parse(u"/help");
    std::u16string usage;
    ASSERT_EQ(options.UsageText(usage), 0);
    EXPECT_EQ(Narrow(usage),
              "Usage: QvUpdaterApp.exe [/AutoRun] [/AutoClose] [/Quiet] [/Unattended] [/Format] [/log file] log "
              "Help|AutoRun AutoClose Quiet Unattended AutoRun AutoClose Quiet Format log log Help");
}

TEST(TextTables, ErrorNumbersAndStatusCodesMapToTheirStrings)
{
    const std::pair<int, int> errors[] = {{0, 108},   {-1, 109},  {-29, 137}, {-30, 170}, {-31, 150}, {-32, 149},
                                          {-33, 174}, {-35, 176}, {-36, 178}, {-37, 179}, {-38, 177}, {-39, 180},
                                          {-40, 195}, {-41, 100}, {-42, 197}, {-43, 210}, {-50, 217}, {-51, 219},
                                          {-54, 222}, {-55, 622}, {-57, 624}, {-58, 629}, {-59, 634}, {-60, 0},
                                          {1, 0}};
    for (const auto& e : errors)
        EXPECT_EQ(QvErrorStringId(e.first), e.second) << e.first;
    const std::pair<uint16_t, int> codes[] = {{0x101, 223}, {0x10F, 237}, {0x200, 238}, {0x20D, 251}, {0x20E, 0},
                                              {0x210, 252}, {0x303, 255}, {0x428, 295}, {0x515, 317}, {0, 318},
                                              {0x516, 319}, {0x51A, 323}, {0x60D, 337}, {0x704, 342}, {0x805, 348},
                                              {0x813, 352}, {0x824, 357}, {0x849, 383}, {0x855, 389}, {0x879, 415},
                                              {0x885, 421}, {0x886, 0}};
    for (const auto& c : codes)
        EXPECT_EQ(QvStatusStringId(c.first), c.second) << std::hex << c.first;
}

TEST(TextTables, StatusWithoutEntryGivesTheGenericText)
{
    CQvConfigInfo config;
    CQvErrorInfo info;
    CMapTextTable table(&config, &info);
    table.start = {{621, u"Unknown device status"}, {238, u"first of 0x200"}};
    std::u16string text;
    EXPECT_EQ(table.StatusText(0x20E, text, 0), -63);
    EXPECT_EQ(text, u"Unknown device status");
    EXPECT_EQ(table.StatusText(0x200, text, 0), 0);
    EXPECT_EQ(text, u"first of 0x200");
}

TEST(TextTables, ComposedErrorTexts)
{
    CQvConfigInfo config;
    CQvErrorInfo info;
    CMapTextTable table(&config, &info);
    config.SetResource(&table);
    table.start = {{61, u"Unable to load resource dll: %s"}, {209, u"System: "}, {630, u"Device failure"},
                   {159, u"Unknown error"}, {119, u"Cannot open the firmware file %s"}, {208, u"Sense: "},
                   {131, u"Command failed"}, {217, u"Format failed "}, {133, u"Pass-through failed"},
                   {108, u"Done"}, {53, u"Lark Series Firmware Update"}, {106, u"Searching"}};
    table.current = {{119, u"EN cannot open %s"}};
    table.system = {{126, u"The module was not found."}, {5, u"Access is denied."}};
    CQvBase object("CQvResource");

    struct Case { int error; uint32_t system; const char16_t* text; uint8_t detail; const char16_t* main;
                  const char16_t* details; int forLog; };
    const Case cases[] = {
        {-61, 126, u"qvrx0409.dll", 255, u"Unable to load resource dll: qvrx0409.dll",
         u"System: The module was not found.", 0},
        {-11, 0, u"", 2, u"Cannot open the firmware file usbmsc.sb", u"", 0},
        {-11, 0, u"", 4, u"EN cannot open resource.bin", u"", 1},
        {-70, 0, u"", 255, u"Unknown error", u"", 0},
        {-23, 0, u"0x70, 0x0", 255, u"Command failed", u"Sense: 0x70, 0x0", 0},
        {-50, 0, u"X:", 255, u"Device failure", u"Format failed X:", 0},
        {-25, 5, u"", 255, u"System: Access is denied.", u"", 0},
        {-64, 5, u"", 255, u"Device failure", u"System: Access is denied.", 0},
        {0, 0, u"", 255, u"Done", u"", 0},
    };
    for (const Case& c : cases) {
        object.SetLastError(c.error);
        object.SetSystemError(c.system);
        info.RecordWithText(object, c.text);
        info.Record(object, c.detail);
        std::u16string main, details;
        table.ComposeErrorText(c.error, main, details, c.forLog);
        EXPECT_EQ(main, c.main) << c.error;
        EXPECT_EQ(details, c.details) << c.error;
    }

    // A library that did not load has no string 209: the system's text still
    // comes, and the record keeps the failure it holds.
    table.start.erase(209);
    object.SetLastError(-61);
    object.SetSystemError(126);
    info.RecordWithText(object, u"qvrx0412.dll");
    std::u16string main, details;
    table.ComposeErrorText(-61, main, details, 0);
    EXPECT_EQ(main, u"Unable to load resource dll: qvrx0412.dll");
    EXPECT_EQ(details, u"The module was not found.");
    EXPECT_EQ(info.LastError(), -61);
    std::u16string missing;
    EXPECT_EQ(table.LoadText(999, missing, 0), -28);
    EXPECT_EQ(info.LastError(), -61);
    EXPECT_EQ(table.LoadText(106, missing, 0), 0);
    EXPECT_EQ(missing, u"Searching Lark Series Firmware Update...");
}

TEST(TextTables, PhaseTexts)
{
    CQvConfigInfo config;
    CQvErrorInfo info;
    CMapTextTable table(&config, &info);
    table.start = {{163, u"Opening"}, {171, u"Writing %s"}, {196, u"Checking %s"}, {168, u"Failed"},
                   {169, u"Done"}, {194, u"p44"}, {181, u"p30"}};
    const std::pair<int, const char16_t*> phases[] = {
        {2, u"Opening"}, {7, u"Writing Boot Manager"}, {10, u"Writing Resource Manager"},
        {19, u"Checking USB Mass Storage"}, {30, u"p30"}, {44, u"p44"}, {48, u"Failed"}, {49, u"Done"},
        {1, u""}, {33, u""}, {50, u""}};
    for (const auto& p : phases) {
        std::u16string text;
        table.PhaseText(p.first, text);
        EXPECT_EQ(text, p.second) << p.first;
    }
    std::u16string text;
    EXPECT_NE(table.PhaseText(12, text), 0); // slot 6: no such component
    EXPECT_TRUE(text.empty());
}

TEST(TextTables, BoxKinds)
{
    EXPECT_EQ(QvBoxKindForError(0, 0), QV_BOX_NONE);
    EXPECT_EQ(QvBoxKindForError(-53, 0), QV_BOX_WARNING);
    EXPECT_EQ(QvBoxKindForError(-54, 1), QV_BOX_WARNING);
    EXPECT_EQ(QvBoxKindForError(-43, 0), QV_BOX_INFORMATION);
    EXPECT_EQ(QvBoxKindForError(-43, 1), QV_BOX_NONE);
    EXPECT_EQ(QvBoxKindForError(-70, 0), QV_BOX_ERROR);
}

TEST(Language, LibraryForEachLanguage)
{
    const std::pair<uint16_t, const char16_t*> cases[] = {
        {0x0409, u"qvrx0409.dll"}, {0x0809, u"qvrx0409.dll"}, {0x0413, u"qvrx0409.dll"},
        {0x0404, u"qvrx0404.dll"}, {0x0C04, u"qvrx0804.dll"}, {0x0804, u"qvrx0804.dll"},
        {0x0407, u"qvrx0407.dll"}, {0x0C0A, u"qvrx040a.dll"}, {0x040C, u"qvrx040c.dll"},
        {0x0411, u"qvrx0411.dll"}, {0x0412, u"qvrx0412.dll"}};
    for (const auto& c : cases)
        EXPECT_EQ(QvLanguageLibrary(QvChooseUiLanguage(c.first)), c.second) << std::hex << c.first;
    EXPECT_EQ(QvChooseUiLanguage(0x0413), 0x0009); // Dutch
    EXPECT_EQ(QvChooseUiLanguage(0x0412), 0x0412);
}

TEST(TextFormat, FillsOnlyPercentS)
{
    EXPECT_EQ(QvFormatText(u"a %s b %s c", {u"1", u"2"}), u"a 1 b 2 c");
    EXPECT_EQ(QvFormatText(u"%s %s %n %d 100%%", {u"x"}), u"x  %n %d 100%");
    EXPECT_EQ(QvFormatText(u"end %", {}), u"end %");
    EXPECT_EQ(QvLower(u"ABC\u00c4\u00d7z"), u"abc\u00e4\u00d7z");
}
