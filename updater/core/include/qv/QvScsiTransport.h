// The device transport: owns the handle to the player's mass-storage unit and
// carries CDBs to it. The two Windows lines derive from this base; what
// needs no Windows call (Execute, Read, Write, the sense description) lives
// here.
#pragma once
#include "qv/QvByteArray.h"
#include "qv/QvErrorInfo.h"
#include "qv/QvResource.h"
#include "qv/QvScsiCommand.h"
#include <memory>
#include <string>

// What a transport needs of the object that owns it (the updater): the error
// record that keeps device failures, the text source for sense
// descriptions, and the identity strings of the player.
class CQvTransportOwner {
public:
    virtual ~CQvTransportOwner() = default;
    virtual CQvErrorInfo& ErrorInfo() = 0;
    virtual CQvResource* Resource() = 0;
    virtual std::string ScsiVendor() = 0;
    virtual std::string ScsiProduct() = 0;
};

class CQvScsiTransport : public CQvBase {
public:
    // The handle as Windows gives it, kept opaque here.
    using Handle = void*;
    static Handle InvalidHandle() { return reinterpret_cast<Handle>(intptr_t(-1)); }

    CQvScsiTransport(CQvTransportOwner* owner, std::string name);
    ~CQvScsiTransport() override;

    virtual int Open() = 0;
    virtual int LockVolume(int physical) = 0;
    virtual int LockForFormat(int physical) = 0;
    virtual int ReleaseAfterFormat(int physical) = 0;
    virtual int UnlockVolume(int physical) = 0;
    virtual int Close() = 0;
    virtual int Dismount() = 0;
    virtual int Write(const uint8_t* data, uint32_t count, uint32_t firstSector, uint32_t sectorSize);
    virtual int Read(uint8_t* data, uint32_t count, uint32_t firstSector, uint32_t sectorSize);
    virtual int SetDriveLayout(const CQvByteArray& mbr, const CQvByteArray& bootSector) { return 0; }
    virtual int ScanDrivesByInquiry() = 0;
    virtual int Execute(CQvScsiCommand& command);
    virtual int SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply) = 0;

    char16_t DriveLetter() const { return m_driveLetter; }
    void SetDriveLetter(char16_t letter) { m_driveLetter = letter; }
    int DeviceFound() const { return m_deviceFound; }
    Handle DeviceHandle() const { return m_handle; }
    const CQvByteArray* LastSense() const { return m_sense.get(); }
    CQvTransportOwner* Owner() const { return m_owner; }

    // Replaces the kept sense data; the length is taken modulo 256.
    void KeepSense(const uint8_t* bytes, size_t length);
    // Empty without sense data; a vendor status text for sense key 9; the
    // hexadecimal list otherwise.
    std::u16string SenseText() const;

protected:
    // Notes the failure in the owner's record and clears this object's own
    // errors, so the failure lives on only in the record and the result.
    int RecordFailure(int error, uint32_t systemError);
    int RecordFailureWithText(int error, uint32_t systemError, const std::u16string& text);

    char16_t m_driveLetter = 0;
    int m_deviceFound = 0;
    Handle m_handle = InvalidHandle();

private:
    CQvTransportOwner* m_owner;
    std::unique_ptr<CQvByteArray> m_sense;
};

// The sense description on its own, for any sense bytes and text source.
std::u16string QvSenseText(const CQvByteArray* sense, CQvResource* resource);

// The first character of a text as UTF-16, for the identity strings.
std::u16string QvWiden(const std::string& text);
