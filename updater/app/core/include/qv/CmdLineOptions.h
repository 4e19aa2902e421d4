// The updater's command-line options. The keywords are texts of the language
// library, so they change with the user's language; matching ignores case.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvConfigInfo.h"
#include <string>
#include <vector>

enum UPDATER_OPTION {
    OPTION_LOG = 0,
    OPTION_AUTO_RUN,
    OPTION_CLOSE_WHEN_DONE,
    OPTION_UNATTENDED,
    OPTION_NO_QUESTIONS,
    OPTION_FORMAT_DATA_AREA,
    OPTION_HELP,
    OPTION_LOG_ENGLISH,
    OPTION_COUNT
};

// The string id of each option's keyword, in UPDATER_OPTION order.
extern const int QV_OPTION_KEYWORD_IDS[OPTION_COUNT];
constexpr int QV_USAGE_FORMAT_ID = 205;
constexpr int QV_E_BAD_OPTION = -42;

class CmdLineOptions : public CQvBase {
public:
    // commandLine: the raw command line after the program name.
    CmdLineOptions(const std::u16string& commandLine, CQvConfigInfo* config);

    int NoQuestions() const { return m_noQuestions; }
    int AutoRun() const { return m_autoRun; }
    int CloseWhenDone() const { return m_closeWhenDone; }
    int FormatDataArea() const { return m_formatDataArea; }
    int Log() const { return m_log; }
    int Help() const { return m_help; }
    int LogEnglish() const { return m_log && m_logEnglish; }
    const std::u16string& LogPath() const { return m_logPath; }
    const std::u16string& Keyword(UPDATER_OPTION option) const { return m_keywords[option]; }

    // The help text: format string 205 filled with the program's file name
    // and the keywords as the library writes them.
    int UsageText(std::u16string& out) const;

    // The blank-separated tokens of a command line, trimmed and lower-cased;
    // empty tokens (runs of blanks) are skipped.
    static std::vector<std::u16string> Split(const std::u16string& commandLine);

private:
    int Parse(const std::u16string& commandLine);
    // The token holds "-" or "/" followed by the keyword. An occurrence that
    // continues into a longer keyword of ours (one this keyword begins) is
    // that keyword's, not this one's.
    bool MatchesWithPrefix(const std::u16string& token, UPDATER_OPTION option) const;
    bool Matches(UPDATER_OPTION option) const;
    bool MatchesEither(UPDATER_OPTION option) const;
    // [pathStart, pathEnd): where the path (its quotes included) lies in the
    // command line.
    int ReadLogPath(const std::u16string& commandLine, size_t& pathStart, size_t& pathEnd);
    bool HoldsEnglish() const;
    static std::vector<std::u16string> Split(const std::u16string& commandLine, std::vector<size_t>& starts);

    int m_noQuestions = 0;
    int m_autoRun = 0;
    int m_closeWhenDone = 0;
    int m_formatDataArea = 0;
    int m_log = 0;
    [[maybe_unused]] int m_unused = 1;
    int m_help = 0;
    int m_logEnglish = 0;
    std::u16string m_logPath;
    std::u16string m_keywords[OPTION_COUNT];
    CQvConfigInfo* m_config;
    std::vector<std::u16string> m_tokens;
};
