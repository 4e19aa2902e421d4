// Shared by the updater's test programs (core, transport, media) and the
// stand-in driver's media tests: an owner with an error record and texts, an
// in-memory firmware image and a recording progress.
#pragma once
#include "qv/QvErrors.h"
#include "qv/QvImageSource.h"
#include "qv/QvProgress.h"
#include "qv/QvScsiTransport.h"
#include <cstring>
#include <vector>

class CTestResource : public CQvResource {
public:
    CTestResource() : CQvResource("CQvResource") {}
    int StatusText(uint16_t code, std::u16string& text, int) override
    {
        if (code == 0x0401) {
            text = u"The player's media is write protected.";
            return 0;
        }
        text = u"Unknown device status";
        return QV_E_NO_STATUS_TEXT;
    }
    int String(int id, std::u16string& text) override
    {
        text = id == 621 ? u"Unknown device status" : u"";
        return 0;
    }
};

class CTestOwner : public CQvTransportOwner {
public:
    CQvErrorInfo& ErrorInfo() override { return info; }
    CQvResource* Resource() override { return &resource; }
    std::string ScsiVendor() override { return "Vilo    "; }
    std::string ScsiProduct() override { return "Lark            "; }
    CQvErrorInfo info;
    CTestResource resource;
};

class CMemoryImage : public CQvImageSource {
public:
    explicit CMemoryImage(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}
    uint64_t ImageSize() const override { return m_bytes.size(); }
    int ReadImage(uint64_t offset, uint8_t* dest, uint32_t count) const override
    {
        if (offset > m_bytes.size() || count > m_bytes.size() - offset)
            return QV_E_SHORT;
        std::memcpy(dest, m_bytes.data() + offset, count);
        return 0;
    }

private:
    std::vector<uint8_t> m_bytes;
};

class CTestProgress : public CQvProgress {
public:
    void Begin(int total) override { this->total = total; }
    void SetPhase(int phase, int steps) override { phases.push_back({phase, steps}); }
    void Step() override { ++steps; }
    int total = 0;
    int steps = 0;
    std::vector<std::pair<int, int>> phases;
};

inline std::vector<uint8_t> Pattern(size_t size)
{
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i)
        bytes[i] = uint8_t(i * 31 + i / 256);
    return bytes;
}
