// Base of every updater device-side class: a name and two error numbers in
// place of exceptions, so failures cross every boundary as plain values.
#pragma once
#include <cstdint>
#include <string>

class CQvBase {
public:
    explicit CQvBase(std::string name) : m_name(std::move(name)) {}
    virtual ~CQvBase() = default;
    virtual int32_t LastError() const { return m_lastError; }
    virtual uint32_t SystemError() const { return m_systemError; }
    std::string Name() const { return m_name; }

    // Keeps the number as last error and hands it back, so a failing path
    // reads "return Fail(-24);".
    int32_t Fail(int32_t error) { m_lastError = error; return error; }
    void SetLastError(int32_t error) { m_lastError = error; }
    void SetSystemError(uint32_t error) { m_systemError = error; }
    void ResetErrors() { m_lastError = 0; m_systemError = 0; }

protected:
    CQvBase(const CQvBase&) = default;
    CQvBase& operator=(const CQvBase&) = default;

private:
    int32_t m_lastError = 0;
    uint32_t m_systemError = 0;
    std::string m_name;
};
