// One firmware component read from its file next to the program: the image
// and its product and component versions.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvByteArray.h"
#include "qv/QvConfigInfo.h"
#include "qv/QvErrorInfo.h"
#include "qv/QvFwImage.h"
#include "qv/QvImageSource.h"
#include "qv/QvVersionInfo.h"
#include <memory>
#include <string>

class CQvFwComponent : public CQvBase, public CQvImageSource {
public:
    // Loads the slot's file at once; the result is the last error, and a
    // failing component is recorded in errorInfo with its slot as the detail.
    CQvFwComponent(const CQvConfigInfo* config, uint8_t slot, CQvErrorInfo* errorInfo,
                   std::string name = "CQvFwComponent");

    uint64_t ImageSize() const override { return m_image ? m_image->Count() : 0; }
    int ProductVersion(CQvVersionInfo& out) const { out.Assign(m_product); return 0; }
    int ComponentVersion(CQvVersionInfo& out) const { out.Assign(m_component); return 0; }
    // Bytes past the end of the image read as 0xFF.
    int ReadImageBlock(uint64_t offset, size_t length, CQvByteArray& out) const;
    int ReadImageBlock(uint64_t offset, size_t length, uint8_t* out) const;
    int ReadImage(uint64_t offset, uint8_t* dest, uint32_t count) const override
    {
        return ReadImageBlock(offset, count, dest);
    }
    int FileKind() const { return m_kind; }
    uint8_t Slot() const { return m_slot; }

private:
    int Load();

    const CQvConfigInfo* m_config;
    uint8_t m_slot;
    std::unique_ptr<CQvByteArray> m_image;
    CQvVersionInfo m_product;
    CQvVersionInfo m_component;
    int m_kind = QV_FW_KIND_RAW;
    uint8_t m_marker[5];
};
