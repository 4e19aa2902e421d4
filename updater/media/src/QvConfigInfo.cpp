#include "qv/QvConfigInfo.h"
#include "qv/QvErrors.h"
#include <cstring>

namespace {
struct Row { const char* file; const char16_t* display; uint8_t present, tag, kind; uint32_t extra; };
const Row ROWS[QV_COMPONENT_SLOTS] = {
    {"", u"", 0, QV_DATA_DRIVE_TAG, 0, 0},
    {"bootmanager.sb", u"Boot Manager", 1, 0x50, 1, 0},
    {"usbmsc.sb", u"USB Mass Storage", 1, 0x01, 1, 0},
    {"qvrxsys.sb", u"Player", 1, 0x00, 1, 0},
    {"resource.bin", u"Resource Manager", 1, 0x02, 1, 0},
};
} // namespace

CQvConfigInfo::CQvConfigInfo(std::string name) : CQvBase(std::move(name))
{
    std::memset(m_table, 0, sizeof m_table);
    for (int i = 0; i < QV_COMPONENT_SLOTS; ++i) {
        FwComponentEntry& e = m_table[i];
        std::strncpy(e.fileName, ROWS[i].file, sizeof e.fileName - 1);
        size_t n = 0;
        for (const char16_t* p = ROWS[i].display; *p && n + 1 < 260; ++p)
            e.displayName[n++] = *p;
        e.present = ROWS[i].present;
        e.tag = ROWS[i].tag;
        e.kind = ROWS[i].kind;
        e.extra = ROWS[i].extra;
    }
}

int CQvConfigInfo::ExeName(std::u16string& out) const
{
    out = u"QvUpdaterApp.exe";
    return 0;
}

int CQvConfigInfo::ScsiVendor(std::string& out) const
{
    out = "Vilo    ";
    return 0;
}

int CQvConfigInfo::ScsiProduct(std::string& out) const
{
    out = "Lark            ";
    return 0;
}

int CQvConfigInfo::FriendlyName(std::u16string& out) const
{
    out = u"Vilo Lark";
    return out.empty() ? QV_E_NO_FRIENDLY_NAME : 0;
}

int CQvConfigInfo::ResourceString(int id, std::u16string& out) const
{
    if (!m_resource)
        return QV_E_NO_RESOURCE;
    return m_resource->String(id, out);
}

const FwComponentEntry* CQvConfigInfo::Slot(int slot, bool mustBePresent, int& error) const
{
    error = 0;
    if (slot < 0 || slot >= QV_COMPONENT_SLOTS) {
        error = QV_E_RANGE;
        return nullptr;
    }
    if (mustBePresent && m_table[slot].present != 1) {
        error = QV_E_NO_COMPONENT;
        return nullptr;
    }
    return &m_table[slot];
}

int CQvConfigInfo::ComponentCount(int& out) const
{
    out = 0;
    for (const FwComponentEntry& e : m_table)
        out += e.present == 1 ? 1 : 0;
    return 0;
}

int CQvConfigInfo::ComponentTag(int slot, uint8_t& out) const
{
    int error = 0;
    const FwComponentEntry* e = Slot(slot, false, error);
    if (e)
        out = e->tag;
    return error;
}

int CQvConfigInfo::ComponentKind(int slot, uint8_t& out) const
{
    int error = 0;
    const FwComponentEntry* e = Slot(slot, true, error);
    if (e)
        out = e->kind;
    return error;
}

int CQvConfigInfo::ComponentFileName(int slot, std::string& out) const
{
    int error = 0;
    const FwComponentEntry* e = Slot(slot, true, error);
    if (e)
        out.assign(e->fileName, strnlen(e->fileName, sizeof e->fileName));
    return error;
}

int CQvConfigInfo::ComponentDisplayName(int slot, std::u16string& out) const
{
    int error = 0;
    const FwComponentEntry* e = Slot(slot, true, error);
    if (e) {
        size_t n = 0;
        while (n < 260 && e->displayName[n])
            ++n;
        out.assign(e->displayName, n);
    }
    return error;
}

int CQvConfigInfo::ComponentExtra(int slot, uint32_t& out) const
{
    int error = 0;
    const FwComponentEntry* e = Slot(slot, false, error);
    if (e)
        out = e->extra;
    return error;
}
