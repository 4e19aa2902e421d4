// The record of the last device failure, read by the dialogs to build the
// message the user sees.
#pragma once
#include "qv/QvBase.h"
#include <string>

class CQvErrorInfo {
public:
    void Record(const CQvBase& obj)
    {
        m_name = obj.Name();
        m_lastError = obj.LastError();
        m_systemError = obj.SystemError();
    }
    void Record(const CQvBase& obj, uint8_t detail) { m_detail = detail; Record(obj); }
    void RecordWithText(const CQvBase& obj, const std::u16string& text) { m_text = text; Record(obj); }
    void Set(int32_t lastError, uint32_t systemError) { m_lastError = lastError; m_systemError = systemError; }

    const std::string& Name() const { return m_name; }
    int32_t LastError() const { return m_lastError; }
    uint32_t SystemError() const { return m_systemError; }
    uint8_t Detail() const { return m_detail; }
    const std::u16string& DetailText() const { return m_text; }

private:
    std::string m_name;
    int32_t m_lastError = 0;
    uint32_t m_systemError = 0;
    uint8_t m_detail = 255;
    std::u16string m_text;
};
