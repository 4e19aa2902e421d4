// The updater's user texts: error numbers and device status codes to string
// ids, the composed strings, the texts of an error as the boxes and the log
// show them, and the progress phases. What loads a string (a language library
// or the program's own table) and the system's message texts are left to the
// Windows side, so all of this runs natively too.
#pragma once
#include "qv/QvConfigInfo.h"
#include "qv/QvErrorInfo.h"
#include "qv/QvResource.h"
#include <cstdint>
#include <map>
#include <string>

constexpr int QV_E_NO_TEXT = -28;
constexpr int QV_E_NO_ERROR_ENTRY = -60;
constexpr int QV_E_LIBRARY = -61;
constexpr int QV_DEFAULT_STATUS_ID = 621;

// The string id of an error number (0 when it has none) and of a status code
// (0 when it has none: the caller uses the generic text 621).
int QvErrorStringId(int error);
int QvStatusStringId(uint16_t code);
// The string id of a progress phase; 0 for the component phases (7..27) and
// for phases without a text.
int QvPhaseStringId(int phase);

// Box kinds of the updater's message boxes.
enum QvBoxKind { QV_BOX_ERROR = 0, QV_BOX_INFORMATION = 2, QV_BOX_WARNING = 3, QV_BOX_OPTION = 4, QV_BOX_NONE = -1 };
// The box an error is reported in: none for 0, warnings for -53 and -54, an
// information box for -43 (none with the no-questions option), else an error.
int QvBoxKindForError(int error, int noQuestions);

class CQvTextTable : public CQvResource {
public:
    CQvTextTable(CQvConfigInfo* config, CQvErrorInfo* errorInfo);

    // A string of the program: 50 to 70 from its own table, the others from
    // the current library (useCurrent) or the start library. 209 gets the
    // system's text for the error record's system error, and 106 and 107 get
    // " ", the program title and "...". A missing string gives an empty text
    // and -28; the error record is left as it is, since it holds the failure
    // being reported.
    int LoadText(int id, std::u16string& out, int useCurrent);
    int ErrorText(int error, std::u16string& out, int useCurrent);
    int StatusText(uint16_t code, std::u16string& text, int useCurrent) override;
    int String(int id, std::u16string& text) override { return LoadText(id, text, 0); }
    // The main text and details of an error (forLog: from the current library).
    void ComposeErrorText(int error, std::u16string& main, std::u16string& details, int forLog);
    // The status line of a phase; component phases name their component.
    int PhaseText(int phase, std::u16string& out);

    CQvErrorInfo* ErrorInfo() const { return m_errorInfo; }
    CQvConfigInfo* Config() const { return m_config; }

protected:
    // A raw string: ids 50 to 70 from the program itself (in the UI
    // language), the others from one of the libraries. false when missing.
    virtual bool RawString(int id, int useCurrent, std::u16string& out) = 0;
    // The system's message text for a system error code (empty when none).
    virtual std::u16string SystemMessage(uint32_t code, int useCurrent) = 0;

private:
    CQvConfigInfo* m_config;
    CQvErrorInfo* m_errorInfo;
};
