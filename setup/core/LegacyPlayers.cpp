// The earlier players whose software and drivers an installer clears out:
// the chip maker's own reference players and other makers' players built on
// the same chip. Rows whose values we do not know are left absent (all
// zero) and every routine passes them over.
#include "SweepRules.h"

#include <cstring>

namespace devsweep {

#define ROW(uninstall, cls, vendor, product) {uninstall, cls, vendor, product}
#define ABSENT {{0}, {0}, {0}, {0}}

const LEGACY_PLAYER_ROW g_LegacyPlayers[LEGACY_PLAYER_ROWS] = {
    // Quorvane's reference players.
    ROW("{FF531DC3-062E-4BA4-9702-BAEAEC43EBC6}", "{AEED0BDD-D2A9-4377-9618-5BCE61B7B6BC}", "QUORVANE", "QVRX3"),
    ROW("{242F8D81-DCBA-4F46-8853-DE21ECAAA345}", "{AEED0BDD-D2A9-4377-9618-5BCE61B7B6BC}", "QUORVANE", "QVRX3REC"),
    ROW("{3C1AE972-6EF5-405D-B063-A698627910BA}", "{C9304254-E1B8-4322-A95E-37D13B55B11C}", "QUORVANE", "QVRX2"),
    // Players that filed themselves under a class of the system: their
    // device nodes go, their class keys stay.
    ROW("{8DE906D5-A77C-46E7-97D8-9C178585C4CB}", "{36FC9E60-C465-11CF-8056-444553540000}", "QUORVANE", "QVUSBMSC"),
    ROW("{183D8633-C8A2-4184-AAF7-2EE69D312997}", "{4D36E967-E325-11CE-BFC1-08002BE10318}", "QUORVANE", "QVDISK"),
    // Other makers' players on the chip.
    ROW("{0E9B4D0E-B892-40A4-9690-B37F0BCA8137}", "{4FAD996C-ADEA-4C33-B50D-AC12750546DF}", "TESSARO", "MINIPLAY"),
    ROW("{BC58115F-2668-4F9F-8EA1-F27AEE346B86}", "{4FAD996C-ADEA-4C33-B50D-AC12750546DF}", "TESSARO", "MINIPLAY2"),
    ROW("{D22FA279-327A-4A7B-AE4C-3A9F351FEDDD}", "{5D7F74EE-A1EA-48BF-8F17-9F4BB2FF03E2}", "SONALTA", "SA-MP100"),
    ROW("{FDFEB312-ABD8-4DFE-BA75-5E9942A5ABBA}", "{EFF87F7A-092B-44E4-AA73-0C2501F26EA2}", "KIRRAWAVE", "KW FLASH"),
    ROW("{9D2BCA20-D8E3-41E3-8A12-F5ED2DF756BE}", "{EC92EBEB-CB15-4B13-91C7-608192BF2E83}", "MERIDO", "POCKETBEAT"),
    ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT,
    ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT,
    ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT, ABSENT,
};

#undef ROW
#undef ABSENT

namespace {

struct NAME_MAPPING {
    const char* Short;  // as the uninstall key shows it
    const char* Long;   // as the product is removed
};
const NAME_MAPPING g_NameMapping[2] = {
    {"Quorvane QVRX3 Manager", "Quorvane QVRX3 Manager and USB Driver"},
    {"Tessaro MiniPlay", "Tessaro MiniPlay Music Transfer"},
};

bool FieldIsText(const char* field, size_t size) {
    return memchr(field, 0, size) != nullptr;
}

}  // namespace

const char* const g_ProductWithFixedKeys = "Quorvane QVRX3 Manager";
const char* const g_FixedProductKeys[2] = {
    "Quorvane\\QVRX3 Format Tool",
    "Quorvane\\QVRX3 Firmware Update",
};

bool IsRowWellFormed(const LEGACY_PLAYER_ROW& row) {
    if (!FieldIsText(row.UninstallGuid, sizeof row.UninstallGuid) || !FieldIsText(row.ClassGuid, sizeof row.ClassGuid) ||
        !FieldIsText(row.ScsiVendor, sizeof row.ScsiVendor) || !FieldIsText(row.ScsiProduct, sizeof row.ScsiProduct))
        return false;
    return IsBracedGuid(row.UninstallGuid) && IsBracedGuid(row.ClassGuid) && IsKeyPart(row.ScsiVendor) &&
           IsKeyPart(row.ScsiProduct);
}

const LEGACY_PLAYER_ROW* GetLegacyPlayer(int index) {
    if (index < 0 || index >= LEGACY_PLAYER_ROWS)
        return nullptr;
    const LEGACY_PLAYER_ROW& row = g_LegacyPlayers[index];
    return IsRowWellFormed(row) ? &row : nullptr;
}

const char* LongDisplayName(const char* displayName) {
    if (!displayName)
        return nullptr;
    for (const NAME_MAPPING& m : g_NameMapping)
        if (strcmp(m.Short, displayName) == 0)
            return m.Long;
    return nullptr;
}

const char* ShortDisplayName(const char* longName) {
    if (!longName)
        return nullptr;
    for (const NAME_MAPPING& m : g_NameMapping)
        if (strcmp(m.Long, longName) == 0)
            return m.Short;
    return nullptr;
}

const char* const PLAYER_SCSI_VENDOR = "Vilo    ";
const char* const PLAYER_SCSI_PRODUCT = "Lark            ";

std::string PlayerUsbIdText() {
    static const char hex[] = "0123456789ABCDEF";
    std::string text = "VID_";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += hex[(PLAYER_USB_VENDOR >> shift) & 0xF];
    text += "&PID_";
    for (int shift = 12; shift >= 0; shift -= 4)
        text += hex[(PLAYER_USB_PRODUCT >> shift) & 0xF];
    return text;
}

}  // namespace devsweep
