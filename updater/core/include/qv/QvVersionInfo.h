// Three-part version record of a firmware component or a player drive.
#pragma once
#include "qv/QvArray.h"
#include <string>

class CQvVersionInfo : public CQvBase {
public:
    explicit CQvVersionInfo(std::string name = "CQvVersionInfo") : CQvBase(std::move(name)) {}
    CQvVersionInfo(const CQvVersionInfo& other) : CQvBase(other), m_major(other.m_major), m_minor(other.m_minor), m_revision(other.m_revision) {}
    CQvVersionInfo& operator=(const CQvVersionInfo& other) { Assign(other); return *this; }

    void Assign(const CQvVersionInfo& other)
    {
        CQvBase::operator=(other);
        m_major = other.m_major;
        m_minor = other.m_minor;
        m_revision = other.m_revision;
    }
    uint16_t Major() const { return m_major; }
    uint16_t Minor() const { return m_minor; }
    uint16_t Revision() const { return m_revision; }
    void SetMajor(uint16_t v) { m_major = v; }
    void SetMinor(uint16_t v) { m_minor = v; }
    void SetRevision(uint16_t v) { m_revision = v; }
    void Set(uint16_t major, uint16_t minor, uint16_t revision) { m_major = major; m_minor = minor; m_revision = revision; }
    std::u16string ToText() const;

private:
    uint16_t m_major = 0;
    uint16_t m_minor = 0;
    uint16_t m_revision = 0;
};

class CQvVersionInfoPtrArray : public CQvOwningPtrArray<CQvVersionInfo> {
public:
    CQvVersionInfoPtrArray(size_t count, std::string name = "CQvVersionInfoPtrArray")
        : CQvOwningPtrArray(count, std::move(name), "CQvVersionInfo") {}
};
