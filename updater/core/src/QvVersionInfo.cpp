#include "qv/QvDecrypt.h"
#include "qv/QvErrors.h"
#include "qv/QvVersionInfo.h"
#include <cstdio>
#include <cstring>
#include <new>

std::u16string CQvVersionInfo::ToText() const
{
    char text[32];
    std::snprintf(text, sizeof text, "%03d.%03d.%03d", m_major, m_minor, m_revision);
    return std::u16string(text, text + std::strlen(text));
}

CQvDecrypt::CQvDecrypt(const uint8_t* input, size_t length, uint8_t*& out, size_t& outLength, std::string name)
    : CQvBase(std::move(name))
{
    outLength = length;
    // A block even for no bytes, so the caller always owns something to free.
    out = new (std::nothrow) uint8_t[length ? length : 1];
    if (!out) {
        outLength = 0;
        Fail(QV_E_NOMEM);
        return;
    }
    if (length)
        std::memcpy(out, input, length);
}
