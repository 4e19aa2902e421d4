#include "qv/CmdLineOptions.h"
#include "qv/QvTextFormat.h"

const int QV_OPTION_KEYWORD_IDS[OPTION_COUNT] = {198, 200, 201, 199, 202, 204, 206, 625};

namespace {
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }

std::u16string LoadKeyword(CQvConfigInfo* config, int id)
{
    std::u16string text;
    if (config && config->Resource())
        config->Resource()->String(id, text);
    return text;
}

// The next blank-separated token at or after pos; pos moves past it.
std::u16string NextToken(const std::u16string& text, size_t& pos)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    size_t start = pos;
    while (pos < text.size() && !IsBlank(text[pos]))
        ++pos;
    return text.substr(start, pos - start);
}

// The next path at or after pos: a blank-separated token, or the text
// between double quotes (blanks and all; an unclosed quote runs to the end).
// pos moves past it; start receives where it begins.
std::u16string NextPath(const std::u16string& text, size_t& pos, size_t& start, bool& quoted)
{
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    start = pos;
    quoted = pos < text.size() && text[pos] == u'"';
    if (quoted) {
        size_t close = text.find(u'"', pos + 1);
        size_t end = close == std::u16string::npos ? text.size() : close;
        std::u16string path = text.substr(pos + 1, end - pos - 1);
        pos = close == std::u16string::npos ? text.size() : close + 1;
        return path;
    }
    return NextToken(text, pos);
}

bool IsOptionMark(char16_t c) { return c == u'-' || c == u'/'; }
} // namespace

CmdLineOptions::CmdLineOptions(const std::u16string& commandLine, CQvConfigInfo* config)
    : CQvBase("CQvBase"), m_config(config)
{
    for (int i = 0; i < OPTION_COUNT; ++i)
        m_keywords[i] = QvLower(LoadKeyword(config, QV_OPTION_KEYWORD_IDS[i]));
    SetLastError(Parse(commandLine));
}

std::vector<std::u16string> CmdLineOptions::Split(const std::u16string& commandLine)
{
    std::vector<size_t> starts;
    return Split(commandLine, starts);
}

std::vector<std::u16string> CmdLineOptions::Split(const std::u16string& commandLine, std::vector<size_t>& starts)
{
    std::vector<std::u16string> tokens;
    starts.clear();
    size_t pos = 0;
    for (;;) {
        std::u16string token = NextToken(commandLine, pos);
        if (token.empty())
            break;
        tokens.push_back(QvLower(token));
        starts.push_back(pos - token.size());
    }
    return tokens;
}

bool CmdLineOptions::MatchesWithPrefix(const std::u16string& token, UPDATER_OPTION option) const
{
    const std::u16string& keyword = m_keywords[option];
    for (size_t at = 0; at < token.size(); ++at) {
        if (!IsOptionMark(token[at]) || token.compare(at + 1, keyword.size(), keyword) != 0)
            continue;
        // An empty keyword (missing from the library) matches any mark.
        bool longer = false;
        for (int other = 0; other < OPTION_COUNT && !longer; ++other) {
            const std::u16string& k = m_keywords[other];
            longer = !keyword.empty() && other != option && k.size() > keyword.size() && k.compare(0, keyword.size(), keyword) == 0 &&
                     token.compare(at + 1, k.size(), k) == 0;
        }
        if (!longer)
            return true;
    }
    return false;
}

bool CmdLineOptions::Matches(UPDATER_OPTION option) const
{
    for (const std::u16string& token : m_tokens)
        if (MatchesWithPrefix(token, option))
            return true;
    return false;
}

bool CmdLineOptions::MatchesEither(UPDATER_OPTION option) const
{
    return Matches(option) || Matches(OPTION_UNATTENDED);
}

bool CmdLineOptions::HoldsEnglish() const
{
    // The English-log keyword counts without a prefix: any token that holds it.
    const std::u16string& english = m_keywords[OPTION_LOG_ENGLISH];
    if (!english.empty())
        for (const std::u16string& token : m_tokens)
            if (token.find(english) != std::u16string::npos)
                return true;
    return false;
}

int CmdLineOptions::Parse(const std::u16string& commandLine)
{
    std::vector<size_t> starts;
    m_tokens = Split(commandLine, starts);
    if (Matches(OPTION_LOG)) {
        m_log = 1;
        m_logEnglish = HoldsEnglish();
        size_t pathStart = 0, pathEnd = 0;
        int r = ReadLogPath(commandLine, pathStart, pathEnd);
        if (r != 0)
            return r;
        // The path is the log option's value, never an option: a file name
        // such as "pre-format.log" must not format the data area.
        for (size_t i = starts.size(); i-- > 0;)
            if (starts[i] >= pathStart && starts[i] < pathEnd)
                m_tokens.erase(m_tokens.begin() + std::ptrdiff_t(i));
        m_logEnglish = HoldsEnglish();
    }
    m_autoRun = MatchesEither(OPTION_AUTO_RUN);
    m_closeWhenDone = MatchesEither(OPTION_CLOSE_WHEN_DONE);
    m_noQuestions = MatchesEither(OPTION_NO_QUESTIONS);
    m_help = Matches(OPTION_HELP);
    m_formatDataArea = Matches(OPTION_FORMAT_DATA_AREA);
    return 0;
}

int CmdLineOptions::ReadLogPath(const std::u16string& commandLine, size_t& pathStart, size_t& pathEnd)
{
    // The path is the token after the log option itself (its "-" or "/"
    // form), so a folder or another keyword that merely contains the log
    // keyword is never taken for it.
    std::u16string line = QvLower(commandLine);
    const std::u16string& keyword = m_keywords[OPTION_LOG];
    const std::u16string& english = m_keywords[OPTION_LOG_ENGLISH];
    size_t pos = std::u16string::npos;
    for (size_t at = 0; at + 1 <= line.size(); ++at) {
        if (!IsOptionMark(line[at]) || line.compare(at + 1, keyword.size(), keyword) != 0)
            continue;
        size_t end = at + 1 + keyword.size();
        if (end < line.size() && !IsBlank(line[end]))
            continue; // a longer word that begins with the keyword
        pos = end;
        break;
    }
    if (pos == std::u16string::npos)
        return QV_E_BAD_OPTION;
    size_t start = 0;
    bool quoted = false;
    std::u16string path = NextPath(line, pos, start, quoted);
    if (m_logEnglish && !english.empty()) {
        std::u16string bare = path;
        if (!bare.empty() && IsOptionMark(bare[0]))
            bare.erase(0, 1);
        if (!quoted && bare == english)
            path = NextPath(line, pos, start, quoted);
    }
    if (path.empty())
        return QV_E_BAD_OPTION;
    // Another option where the path belongs: the log option has no value
    // (rather than a log file named after that option, which then is lost).
    if (!quoted && IsOptionMark(path[0]))
        for (const std::u16string& k : m_keywords)
            if (!k.empty() && path.compare(1, std::u16string::npos, k) == 0)
                return QV_E_BAD_OPTION;
    pathStart = start;
    pathEnd = pos;
    m_logPath = path;
    return 0;
}

int CmdLineOptions::UsageText(std::u16string& out) const
{
    out.clear();
    if (!m_config || !m_config->Resource())
        return -28;
    std::u16string format;
    int r = m_config->Resource()->String(QV_USAGE_FORMAT_ID, format);
    std::u16string k[OPTION_COUNT];
    for (int i = 0; i < OPTION_COUNT; ++i)
        k[i] = LoadKeyword(m_config, QV_OPTION_KEYWORD_IDS[i]);
    std::u16string exe;
    m_config->ExeName(exe);
    out = QvFormatText(format, {exe,
                                k[OPTION_AUTO_RUN], k[OPTION_CLOSE_WHEN_DONE], k[OPTION_NO_QUESTIONS],
                                k[OPTION_UNATTENDED], k[OPTION_FORMAT_DATA_AREA], k[OPTION_LOG], k[OPTION_LOG],
                                k[OPTION_HELP], k[OPTION_AUTO_RUN], k[OPTION_CLOSE_WHEN_DONE],
                                k[OPTION_NO_QUESTIONS], k[OPTION_UNATTENDED], k[OPTION_AUTO_RUN],
                                k[OPTION_CLOSE_WHEN_DONE], k[OPTION_NO_QUESTIONS], k[OPTION_FORMAT_DATA_AREA],
                                k[OPTION_LOG], k[OPTION_LOG], k[OPTION_HELP]});
    return r;
}
