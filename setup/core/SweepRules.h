// DevSweep's Windows-free rules: the earlier-player table, the Windows line a
// version belongs to, and the checks every path and key name passes before
// anything is deleted with it. Nothing here includes a Windows header.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace devsweep {

// ---- The earlier-player table --------------------------------------------

// One row of 102 bytes, laid out as installers and older tools read it.
struct LEGACY_PLAYER_ROW {
    char UninstallGuid[40];  // "{...}" text, NUL-terminated
    char ClassGuid[40];      // device class "{...}"
    char ScsiVendor[10];     // SCSI INQUIRY vendor text
    char ScsiProduct[12];    // SCSI INQUIRY product text
};
static_assert(sizeof(LEGACY_PLAYER_ROW) == 102, "a table row is 102 bytes");

constexpr int LEGACY_PLAYER_ROWS = 38;
extern const LEGACY_PLAYER_ROW g_LegacyPlayers[LEGACY_PLAYER_ROWS];

// The row at index, or nullptr when the index is outside 0..37 or the row is
// absent (a row is present only when all four fields are well formed).
const LEGACY_PLAYER_ROW* GetLegacyPlayer(int index);
bool IsRowWellFormed(const LEGACY_PLAYER_ROW& row);

// Two earlier products are removed under a longer name than the display name
// their uninstall key shows.
const char* LongDisplayName(const char* displayName);   // nullptr: not mapped
const char* ShortDisplayName(const char* longName);     // nullptr: not mapped
// The one mapped product that also leaves two fixed keys under SOFTWARE.
extern const char* const g_ProductWithFixedKeys;
extern const char* const g_FixedProductKeys[2];

// ---- Identity of our own player ---------------------------------------------

extern const char* const PLAYER_SCSI_VENDOR;   // "Vilo    "
extern const char* const PLAYER_SCSI_PRODUCT;  // "Lark            "
constexpr unsigned PLAYER_USB_VENDOR = 0x0E56;
constexpr unsigned PLAYER_USB_PRODUCT = 0x6013;
// "VID_0E56&PID_6013"
std::string PlayerUsbIdText();

// ---- Windows lines ----------------------------------------------------------

enum WIN_LINE {
    WINLINE_NT,     // NT 4.0, 2000, XP and later
    WINLINE_9X,     // Windows 95 and 98 (4.0 to 4.10 on the 9x platform)
    WINLINE_ME,     // Windows ME (4.90 on the 9x platform)
    WINLINE_OTHER,  // anything else (Win32s, an unknown 9x minor)
};
// platformId: 1 for the 9x platform (VER_PLATFORM_WIN32_WINDOWS), 2 for NT.
WIN_LINE ClassifyWindows(unsigned long platformId, unsigned long major, unsigned long minor);

// ---- Texts ----------------------------------------------------------------------

// First 11 characters, filled up to 11 with '_'.
std::string PadName11(const std::string& text);
// Cuts blanks at the end; a text of blanks keeps its first character.
std::string TrimTrailingBlanks(const std::string& text);
bool StartsWithNoCase(const std::string& text, const std::string& prefix);
bool EqualsNoCase(const std::string& a, const std::string& b);
// The strings of a REG_MULTI_SZ buffer of size bytes; stops at the empty
// string or the buffer's end, whichever comes first (an unterminated last
// string is taken as far as the buffer goes).
std::vector<std::string> SplitMultiSz(const char* buffer, size_t size);
// A registry text value of size bytes as a string: up to its first NUL.
std::string TextOfValue(const char* buffer, size_t size);

// ---- Paths and key names ---------------------------------------------------------

constexpr size_t MAX_PATH_CHARS = 260;  // including the terminating NUL

// "a" "b" "c" joined unchanged (no separator added); false when the result
// with its NUL does not fit in MAX_PATH_CHARS.
bool JoinBounded(std::string& out, const std::vector<std::string>& parts);
// parts joined by '\'; false when a part is not a key part or the result does
// not fit in MAX_PATH_CHARS.
bool JoinKey(std::string& out, const std::vector<std::string>& parts);

// One registry key name: not empty, no '\', not "." or "..", under 256 chars.
bool IsKeyPart(const std::string& part);
// "{8-4-4-4-12}" with hexadecimal digits.
bool IsBracedGuid(const std::string& text);
// A device's driver key below the class root: "<class>\<instance>", two key parts.
bool IsDriverKeyName(const std::string& text);
// A class key that belongs to the system: a system class GUID or class name.
bool IsSystemClass(const std::string& guidOrName);
// A class name (95/98/ME class key) that may be deleted: a key part that is
// no system class.
bool IsRemovableClassName(const std::string& name);
// A class GUID whose class key may be deleted: braced, and no system class.
bool IsRemovableClassGuid(const std::string& guid);

// A folder whose files may be deleted: "X:\a\b..." at least two levels deep,
// no empty, "." or ".." level, no wildcard, and neither one of the protected
// folders (the Windows folder, the system folder, Program Files, ...) nor a
// folder that holds one of them. Comparison ignores case and a final '\'.
bool IsRemovableFolder(const std::string& folder, const std::vector<std::string>& protectedFolders);

// A Start-menu folder or product name used as one key or folder level.
inline bool IsNamePart(const std::string& name) { return IsKeyPart(name); }

// ---- The device classes of the system ---------------------------------------------

struct SYSTEM_CLASS {
    const char* Guid;
    const char* Name;
};
extern const SYSTEM_CLASS g_SystemClasses[];
extern const size_t g_SystemClassCount;
extern const char* const g_SystemClassNames9x[];
extern const size_t g_SystemClassNames9xCount;

}  // namespace devsweep
