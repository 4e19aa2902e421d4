#include "qv/QvFwComponent.h"
#include "qv/QvDecrypt.h"
#include "qv/QvErrors.h"
#include <cstring>
#include <fstream>
#include <limits>
#include <new>
#include <vector>

CQvFwComponent::CQvFwComponent(const CQvConfigInfo* config, uint8_t slot, CQvErrorInfo* errorInfo, std::string name)
    : CQvBase(std::move(name)), m_config(config), m_slot(slot)
{
    std::memcpy(m_marker, QV_FW_MARKER, sizeof m_marker);
    SetLastError(Load());
    // Only a failure is recorded: a component that loads must not overwrite
    // the record of a device failure the dialogs are about to report.
    if (errorInfo && LastError() != 0)
        errorInfo->Record(*this, slot);
}

int CQvFwComponent::Load()
{
    std::string fileName;
    int r = m_config ? m_config->ComponentFileName(m_slot, fileName) : QV_E_NO_COMPONENT;
    if (r != 0)
        return r;
    // One binary read of the whole file: the header is scanned from those
    // bytes, so neither a 0x1A in it nor a raw image trips a text read.
    std::ifstream file(fileName, std::ios::binary);
    if (!file)
        return QV_E_FILE_OPEN;
    file.seekg(0, std::ios::end);
    std::streamoff length = file.tellg();
    file.seekg(0, std::ios::beg);
    if (length < 0)
        return QV_E_FILE_FORMAT;
    // A file larger than the address space cannot be held, and on the 32-bit
    // build its length would otherwise wrap to a small buffer the read overruns.
    if (static_cast<unsigned long long>(length) > std::numeric_limits<size_t>::max())
        return QV_E_NOMEM;
    std::vector<uint8_t> bytes;
    try {
        bytes.resize(size_t(length));
    } catch (const std::bad_alloc&) {
        return QV_E_NOMEM;
    } catch (const std::length_error&) {
        return QV_E_NOMEM;
    }
    if (length && !file.read(reinterpret_cast<char*>(bytes.data()), length))
        return QV_E_FILE_FORMAT;

    QvFwLayout layout;
    r = QvParseFirmware(bytes.data(), bytes.size(), layout);
    m_kind = layout.kind;
    m_product.Set(layout.product.major, layout.product.minor, layout.product.revision);
    m_component.Set(layout.component.major, layout.component.minor, layout.component.revision);
    if (r != 0)
        return r;

    const uint8_t* image = bytes.data() + layout.imageOffset;
    size_t size = layout.imageSize;
    uint8_t kind = 0;
    std::unique_ptr<uint8_t[]> decrypted;
    if (m_config->ComponentKind(m_slot, kind) == 0 && kind != 0) {
        uint8_t* out = nullptr;
        size_t outLength = 0;
        CQvDecrypt decrypt(image, size, out, outLength);
        decrypted.reset(out);
        if (decrypt.LastError() != 0)
            return decrypt.LastError();
        image = out;
        size = outLength;
    }
    auto array = std::make_unique<CQvByteArray>(image, size);
    if (array->LastError() != 0 || array->Count() != size)
        return QV_E_NOMEM;
    m_image = std::move(array);
    return 0;
}

int CQvFwComponent::ReadImageBlock(uint64_t offset, size_t length, uint8_t* out) const
{
    uint64_t size = ImageSize();
    size_t have = 0;
    if (offset < size)
        have = size_t(size - offset < length ? size - offset : length);
    if (have)
        std::memcpy(out, m_image->Data() + offset, have);
    if (have < length)
        std::memset(out + have, 0xFF, length - have);
    return 0;
}

int CQvFwComponent::ReadImageBlock(uint64_t offset, size_t length, CQvByteArray& out) const
{
    if (out.Allocate(length) != 0)
        return QV_E_NOMEM;
    return ReadImageBlock(offset, length, out.Data());
}
