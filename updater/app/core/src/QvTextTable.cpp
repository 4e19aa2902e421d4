#include "qv/QvTextTable.h"
#include "qv/QvErrors.h"
#include "qv/QvTextFormat.h"

namespace {
struct Range { int first, last, firstId; };

const Range ERROR_RANGES[] = {
    {0, 0, 108},     {-29, -1, 0}, // -1..-29: 109..137, below
    {-30, -30, 170}, {-31, -31, 150}, {-32, -32, 149}, {-35, -33, 0}, // -33..-35: 174..176
    {-36, -36, 178}, {-37, -37, 179}, {-38, -38, 177}, {-39, -39, 180}, {-40, -40, 195},
    {-41, -41, 100}, {-42, -42, 197}, {-50, -43, 0}, {-54, -51, 0}, {-57, -55, 0},
    {-58, -58, 629}, {-59, -59, 634},
};

struct StatusRange { uint16_t first, last; int firstId; };
const StatusRange STATUS_RANGES[] = {
    {0x101, 0x10F, 223}, {0x200, 0x20D, 238}, {0x210, 0x210, 252}, {0x301, 0x303, 253},
    {0x401, 0x428, 256}, {0x500, 0x515, 296}, {0x000, 0x000, 318}, {0x516, 0x51A, 319},
    {0x600, 0x60D, 324}, {0x700, 0x704, 338}, {0x800, 0x805, 343}, {0x810, 0x813, 349},
    {0x820, 0x824, 353}, {0x830, 0x849, 358}, {0x850, 0x855, 384}, {0x860, 0x879, 390},
    {0x880, 0x885, 416},
};
} // namespace

int QvErrorStringId(int error)
{
    // Ranges that count upwards as the number goes down.
    if (error <= -1 && error >= -29)
        return 109 + (-1 - error);
    if (error <= -33 && error >= -35)
        return 174 + (-33 - error);
    if (error <= -43 && error >= -50)
        return 210 + (-43 - error);
    if (error <= -51 && error >= -54)
        return 219 + (-51 - error);
    if (error <= -55 && error >= -57)
        return 622 + (-55 - error);
    for (const Range& r : ERROR_RANGES)
        if (r.firstId && error == r.first)
            return r.firstId;
    return 0;
}

int QvStatusStringId(uint16_t code)
{
    for (const StatusRange& r : STATUS_RANGES)
        if (code >= r.first && code <= r.last)
            return r.firstId + (code - r.first);
    return 0;
}

int QvPhaseStringId(int phase)
{
    switch (phase) {
    case 2: return 163;
    case 3: return 164;
    case 4: return 173;
    case 5: return 166;
    case 28: return 138;
    case 29: return 167;
    case 45: return 165;
    case 46: return 172;
    case 47: return 218;
    case 48: return 168;
    case 49: return 169;
    default: break;
    }
    if (phase >= 30 && phase <= 32)
        return 181 + (phase - 30);
    if (phase >= 34 && phase <= 44)
        return 184 + (phase - 34);
    return 0;
}

int QvBoxKindForError(int error, int noQuestions)
{
    if (error == 0)
        return QV_BOX_NONE;
    if (error == -53 || error == -54)
        return QV_BOX_WARNING;
    if (error == -43)
        return noQuestions ? QV_BOX_NONE : QV_BOX_INFORMATION;
    return QV_BOX_ERROR;
}

CQvTextTable::CQvTextTable(CQvConfigInfo* config, CQvErrorInfo* errorInfo)
    : CQvResource("CQvResource"), m_config(config), m_errorInfo(errorInfo) {}

int CQvTextTable::LoadText(int id, std::u16string& out, int useCurrent)
{
    out.clear();
    bool found = RawString(id, useCurrent, out);
    if (id == 209) {
        // The system's own text stands even when the library's lead-in is
        // missing (a library that did not load has none).
        if (m_errorInfo)
            out += SystemMessage(m_errorInfo->SystemError(), useCurrent);
    } else if (found && (id == 106 || id == 107)) {
        std::u16string title;
        RawString(53, useCurrent, title);
        out += u" " + title + u"...";
    }
    if (!found)
        return Fail(QV_E_NO_TEXT);
    return 0;
}

int CQvTextTable::ErrorText(int error, std::u16string& out, int useCurrent)
{
    out.clear();
    int id = QvErrorStringId(error);
    if (error > 0 || error < -59 || id == 0)
        return QV_E_NO_ERROR_ENTRY;
    return LoadText(id, out, useCurrent);
}

int CQvTextTable::StatusText(uint16_t code, std::u16string& text, int useCurrent)
{
    int id = QvStatusStringId(code);
    if (id == 0) {
        LoadText(QV_DEFAULT_STATUS_ID, text, useCurrent);
        return QV_E_NO_STATUS_TEXT;
    }
    return LoadText(id, text, useCurrent);
}

void CQvTextTable::ComposeErrorText(int error, std::u16string& main, std::u16string& details, int forLog)
{
    main.clear();
    details.clear();
    const std::u16string detailText = m_errorInfo ? m_errorInfo->DetailText() : std::u16string();
    std::u16string text;
    switch (error) {
    case -64:
        LoadText(630, main, forLog);
        LoadText(209, details, forLog);
        return;
    case -61:
        LoadText(61, text, forLog);
        main = QvFormatText(text, {detailText});
        LoadText(209, details, forLog);
        return;
    case -59: case -49: case -48: case -47: case -46: case -45: case -44: case -41: case -28:
        ErrorText(error, main, forLog);
        LoadText(209, details, forLog);
        return;
    case -50:
        LoadText(630, main, forLog);
        ErrorText(error, details, forLog);
        details += detailText;
        return;
    case -25:
        LoadText(209, main, forLog);
        return;
    case -23:
        ErrorText(error, main, forLog);
        LoadText(208, details, forLog);
        details += detailText;
        return;
    case -11: {
        ErrorText(error, text, forLog);
        std::string file;
        if (m_config && m_errorInfo)
            m_config->ComponentFileName(m_errorInfo->Detail(), file);
        main = QvFormatText(text, {std::u16string(file.begin(), file.end())});
        return;
    }
    default:
        if (ErrorText(error, main, forLog) == QV_E_NO_ERROR_ENTRY)
            LoadText(159, main, forLog);
        return;
    }
}

int CQvTextTable::PhaseText(int phase, std::u16string& out)
{
    out.clear();
    int id = QvPhaseStringId(phase);
    if (id)
        return LoadText(id, out, 0);
    int slot = 0, format = 0;
    if (phase >= 7 && phase <= 16) {
        slot = phase - 6;
        format = 171;
    } else if (phase >= 18 && phase <= 27) {
        slot = phase - 17;
        format = 196;
    } else {
        return 0;
    }
    std::u16string name;
    int r = m_config ? m_config->ComponentDisplayName(slot, name) : QV_E_NO_TEXT;
    if (r != 0)
        return r;
    std::u16string text;
    LoadText(format, text, 0);
    out = QvFormatText(text, {name});
    return 0;
}
