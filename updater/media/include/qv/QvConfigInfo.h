// The updater's fixed configuration: the player's identity strings and the
// five-slot firmware component table.
#pragma once
#include "qv/QvBase.h"
#include "qv/QvResource.h"
#include <cstdint>
#include <string>

#pragma pack(push, 1)
struct FwComponentEntry {
    char fileName[260];
    char16_t displayName[260];
    uint8_t present;   // 1 = present
    uint8_t tag;       // logical drive tag
    uint8_t kind;      // handed to the image loader
    uint8_t pad;
    uint32_t extra;    // bytes to reserve beyond the image
};
#pragma pack(pop)
static_assert(sizeof(FwComponentEntry) == 788, "a component entry is 260 + 520 + 4 + 4 bytes");

constexpr int QV_COMPONENT_SLOTS = 5;
constexpr uint8_t QV_DATA_DRIVE_TAG = 0x0A;

class CQvConfigInfo : public CQvBase {
public:
    explicit CQvConfigInfo(std::string name = "CQvConfigInfo");

    void SetResource(CQvResource* resource) { m_resource = resource; }
    CQvResource* Resource() const { return m_resource; }

    int ExeName(std::u16string& out) const;
    int ScsiVendor(std::string& out) const;
    int ScsiProduct(std::string& out) const;
    int FriendlyName(std::u16string& out) const;
    int NoticeText(std::u16string& out) const { return ResourceString(52, out); }
    int AppTitle(std::u16string& out) const { return ResourceString(53, out); }
    int AboutTitle(std::u16string& out) const { return ResourceString(54, out); }
    int AppLongName(std::u16string& out) const { return ResourceString(55, out); }
    int ComponentCount(int& out) const;
    int ComponentTag(int slot, uint8_t& out) const;
    int ComponentKind(int slot, uint8_t& out) const;
    int ComponentFileName(int slot, std::string& out) const;
    int ComponentDisplayName(int slot, std::u16string& out) const;
    int ComponentExtra(int slot, uint32_t& out) const;
    int RecoveryComponent(int& out) const { out = 2; return 0; }
    int PlayerComponent(int& out) const { out = 3; return 0; }
    int UsbMscTag(uint8_t& out) const { return ComponentTag(2, out); }
    int ConfirmStart(int& out) const { out = 0; return 0; }
    int ShowChipVersion(int& out) const { out = 1; return 0; }

private:
    int ResourceString(int id, std::u16string& out) const;
    const FwComponentEntry* Slot(int slot, bool mustBePresent, int& error) const;

    CQvResource* m_resource = nullptr;
    FwComponentEntry m_table[QV_COMPONENT_SLOTS];
};
