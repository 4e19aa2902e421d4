// Native transports for the media and format tests: one carries CDBs straight
// to the simulated player's SCSI target, the other is a data unit of any
// sector size kept in a (sparse) image file, for the layout sweep and the
// benchmark.
#pragma once
#include "qv/QvErrors.h"
#include "qv/QvScsiTransport.h"
#include "simscsi/SimPlayerTarget.h"
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

class CSimTransport : public CQvScsiTransport {
public:
    CSimTransport(CQvTransportOwner* owner, CSimPlayerTarget* target, std::string name = "CQvScsi_Nt")
        : CQvScsiTransport(owner, std::move(name)), m_target(target) {}

    int Open() override
    {
        ++opens;
        m_open = true;
        return 0;
    }
    int LockVolume(int) override { return m_target->Lock() ? 0 : Fail(QV_E_LOCK); }
    int LockForFormat(int) override { return 0; }
    int ReleaseAfterFormat(int) override { return Dismount(); }
    int UnlockVolume(int) override { return m_target->Unlock() ? 0 : Fail(QV_E_UNLOCK); }
    int Close() override
    {
        if (m_open)
            ++closes;
        m_open = false;
        return 0;
    }
    int Dismount() override { return m_target->Dismount() ? 0 : Fail(QV_E_DISMOUNT); }
    int SetDriveLayout(const CQvByteArray& mbr, const CQvByteArray& boot) override
    {
        uint8_t layout[40] = {};
        m_target->SetDriveLayout(layout, sizeof layout);
        return 0;
    }
    int ScanDrivesByInquiry() override
    {
        if (!present)
            return Fail(QV_E_NO_DEVICE);
        m_driveLetter = u'V';
        return 0;
    }
    int SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply) override
    {
        cdbs.emplace_back(cdb.Data(), cdb.Data() + cdbLength);
        size_t payload = cdb.Count() - cdbLength;
        size_t length = reply.Count() > payload ? reply.Count() : payload;
        std::vector<uint8_t> data(length + 1, 0);
        if (payload)
            std::memcpy(data.data(), cdb.Data() + cdbLength, payload);
        uint8_t sense[CSimPlayerTarget::SENSE_BYTES];
        size_t transferred = 0;
        uint8_t status = m_target->Execute(cdb.Data(), cdbLength, direction == QV_DATA_IN, data.data(), length, sense,
                                           &transferred);
        if (status != 0) {
            KeepSense(sense, sizeof sense);
            return RecordFailureWithText(QV_E_SCSI_STATUS, 0, SenseText());
        }
        if (reply.Count())
            reply.SetBytes(data.data(), reply.Count(), 0);
        return 0;
    }

    bool present = true;
    std::vector<std::vector<uint8_t>> cdbs; // every CDB sent, in order
    int opens = 0;
    int closes = 0;
    bool IsOpen() const { return m_open; }

private:
    CSimPlayerTarget* m_target;
    bool m_open = false;
};

// A data unit of blocks of any size in an image file; sectors never written
// stay holes, so units of gigabytes cost only what the format writes.
class CImageTransport : public CQvScsiTransport {
public:
    CImageTransport(const std::string& path, uint64_t blocks, uint32_t blockSize)
        : CQvScsiTransport(nullptr, "CImageTransport"), m_blocks(blocks), m_blockSize(blockSize)
    {
        m_fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        if (m_fd >= 0 && ::ftruncate(m_fd, off_t(blocks * blockSize)) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    ~CImageTransport() override
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool Ok() const { return m_fd >= 0; }
    int Open() override { return 0; }
    int LockVolume(int) override { return 0; }
    int LockForFormat(int) override { ++lockForFormat; return failLock ? Fail(QV_E_LOCK) : 0; }
    int ReleaseAfterFormat(int) override { ++releases; return failRelease ? Fail(QV_E_DISMOUNT) : 0; }
    int UnlockVolume(int) override { return 0; }
    int Close() override { return 0; }
    int Dismount() override { return 0; }
    int ScanDrivesByInquiry() override { return 0; }
    int SendCdb(const CQvByteArray& cdb, size_t cdbLength, int direction, CQvByteArray& reply) override
    {
        const uint8_t* c = cdb.Data();
        auto be = [&](size_t at, int n) {
            uint64_t v = 0;
            for (int i = 0; i < n; ++i)
                v = v << 8 | c[at + i];
            return v;
        };
        switch (c[0]) {
        case 0x25: {
            uint8_t answer[8];
            uint64_t last = m_blocks - 1;
            for (int i = 0; i < 4; ++i) {
                answer[i] = uint8_t(last >> (24 - 8 * i));
                answer[4 + i] = uint8_t(m_blockSize >> (24 - 8 * i));
            }
            return reply.SetBytes(answer, 8, 0);
        }
        case 0x28:
        case 0x2A: {
            uint64_t lba = be(2, 4), count = be(7, 2);
            if (lba + count > m_blocks)
                return QV_E_SCSI_STATUS;
            off_t at = off_t(lba * m_blockSize);
            size_t bytes = size_t(count * m_blockSize);
            if (c[0] == 0x2A) {
                ++writes;
                if (::pwrite(m_fd, cdb.Data() + cdbLength, bytes, at) != ssize_t(bytes))
                    return QV_E_SCSI_STATUS;
                return 0;
            }
            ++reads;
            if (::pread(m_fd, reply.Data(), bytes, at) != ssize_t(bytes))
                return QV_E_SCSI_STATUS;
            if (corruptReads && bytes)
                reply.Data()[bytes - 1] ^= 0x5A;
            return 0;
        }
        default:
            return QV_E_SCSI_STATUS;
        }
    }

    int writes = 0, reads = 0, lockForFormat = 0, releases = 0;
    bool corruptReads = false, failLock = false, failRelease = false;

private:
    int m_fd = -1;
    uint64_t m_blocks;
    uint32_t m_blockSize;
};
