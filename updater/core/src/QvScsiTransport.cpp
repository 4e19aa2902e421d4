#include "qv/QvScsiTransport.h"
#include "qv/QvErrors.h"

CQvScsiTransport::CQvScsiTransport(CQvTransportOwner* owner, std::string name)
    : CQvBase(std::move(name)), m_owner(owner) {}

CQvScsiTransport::~CQvScsiTransport() = default;

int CQvScsiTransport::Execute(CQvScsiCommand& command)
{
    // A command that failed at construction is never sent.
    if (command.LastError() != 0)
        return command.LastError();
    command.BuildCdb();
    CQvByteArray reply(command.ReplyLength());
    if (reply.LastError() != 0)
        return Fail(QV_E_NOMEM);
    int r = SendCdb(command.CdbArray(), command.CdbLength(), command.Direction(), reply);
    if (r != 0)
        return r;
    if (command.Direction() == QV_DATA_OUT)
        return 0;
    return command.ParseReply(reply);
}

int CQvScsiTransport::Write(const uint8_t* data, uint32_t count, uint32_t firstSector, uint32_t sectorSize)
{
    // READ(10) and WRITE(10) carry a 16-bit block count.
    if (count > 0xFFFF)
        return Fail(QV_E_INDEX);
    CQvWrite command(firstSector, uint16_t(count), sectorSize);
    if (command.LastError() != 0)
        return command.LastError();
    int r = command.SetPayload(data, command.PayloadLength());
    if (r != 0)
        return r;
    return Execute(command);
}

int CQvScsiTransport::Read(uint8_t* data, uint32_t count, uint32_t firstSector, uint32_t sectorSize)
{
    if (count > 0xFFFF)
        return Fail(QV_E_INDEX);
    CQvRead command(firstSector, uint16_t(count), sectorSize);
    if (command.LastError() != 0)
        return command.LastError();
    int r = Execute(command);
    if (r != 0)
        return r;
    return command.GetData(data, command.ReplyLength());
}

void CQvScsiTransport::KeepSense(const uint8_t* bytes, size_t length)
{
    m_sense = std::make_unique<CQvByteArray>(bytes, length % 256);
}

std::u16string CQvScsiTransport::SenseText() const
{
    return QvSenseText(m_sense.get(), m_owner ? m_owner->Resource() : nullptr);
}

int CQvScsiTransport::RecordFailure(int error, uint32_t systemError)
{
    SetLastError(error);
    SetSystemError(systemError);
    if (m_owner)
        m_owner->ErrorInfo().Record(*this);
    ResetErrors();
    return error;
}

int CQvScsiTransport::RecordFailureWithText(int error, uint32_t systemError, const std::u16string& text)
{
    SetLastError(error);
    SetSystemError(systemError);
    if (m_owner)
        m_owner->ErrorInfo().RecordWithText(*this, text);
    ResetErrors();
    return error;
}

std::u16string QvSenseText(const CQvByteArray* sense, CQvResource* resource)
{
    if (!sense || sense->Count() == 0)
        return std::u16string();
    std::u16string hex = sense->ToText();
    uint8_t key = 0;
    uint16_t code = 0;
    if (sense->GetAt(2, key) == 0 && key == 0x09 && sense->GetU16BE(code, 12) == 0) {
        std::u16string text;
        if (!resource)
            return hex;
        if (resource->StatusText(code, text, 0) == 0)
            return text;
        // No text of its own: the generic text, then the bytes themselves.
        std::u16string generic;
        resource->String(621, generic);
        return generic + u"\n" + hex;
    }
    return hex;
}

std::u16string QvWiden(const std::string& text)
{
    std::u16string wide;
    for (unsigned char c : text)
        wide.push_back(char16_t(c));
    return wide;
}
