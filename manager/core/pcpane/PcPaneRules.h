// Rules of the manager's PC pane (folder tree, drive box, file list) that
// need no Windows call. Texts are ANSI bytes; a lead-byte test keeps
// double-byte characters whole where a rule looks at single characters.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace pcpane {

// Tells whether a byte starts a double-byte character (the system code page).
using LeadByteTest = std::function<bool(unsigned char)>;

// ---- drive records

// GetDriveType values the type text is chosen by (same numbers as Windows).
enum DriveType { DRIVE_TYPE_UNKNOWN = 0, DRIVE_TYPE_NO_ROOT = 1, DRIVE_TYPE_REMOVABLE = 2, DRIVE_TYPE_FIXED = 3,
                 DRIVE_TYPE_REMOTE = 4, DRIVE_TYPE_CDROM = 5, DRIVE_TYPE_RAMDISK = 6 };

// "Removable Disk", "Fixed Disk", "Network Disk", "CD-ROM Disk", or empty.
std::string DriveTypeText(unsigned type);

// The letters (bit 0 = A) the PC pane lists: those of the logical mask, less
// the first two player drives met from A on; a third player drive is a PC drive.
std::uint32_t PcDriveMask(std::uint32_t logicalDrives, std::uint32_t playerDrives);

// A drive's display name from the shell, "Local Disk (C:)", split into its
// drive text (the last four characters, "(C:)") and its name (all but the
// last five, "Local Disk"). Names shorter than that give what there is: the
// drive text is the whole name when it has fewer than four characters, the
// name is empty when it has fewer than five. A double-byte character is never
// cut in two.
void SplitDriveDisplayName(const std::string& display, std::string& driveText, std::string& name,
                           const LeadByteTest& isLead = nullptr);

// The tree text of a drive: "(C:) Local Disk"; the name alone without a
// drive text.
std::string DriveTreeText(const std::string& driveText, const std::string& name);

// "C:\" from a tree text or drive text holding "(C:)"; empty when the text has
// no colon.
std::string DriveRootFromText(const std::string& text);

// ---- names

// The first byte of name that a file or folder name must not hold
// (\ / : ? " < > |), or std::string::npos. Bytes inside double-byte
// characters are not looked at.
std::size_t FindInvalidNameChar(const std::string& name, const LeadByteTest& isLead = nullptr);

// The name of a new folder among the given entry names: "New Folder" when no
// entry begins with "New Folder" (any case), else "New Folder(n)" with n one
// more than the largest number in "New Folder(n)" names (a matching name
// without a number counts as 0).
std::string NewFolderName(const std::vector<std::string>& entryNames);

// ---- drive box

// Kinds of the drive box lines.
enum BoxKind { BOX_DESKTOP = 0, BOX_PC_ROOT = 1, BOX_DRIVE = 2, BOX_FOLDER = 3, BOX_NETWORK = 4, BOX_SHELL_FOLDER = 5 };

struct BoxLine {
    std::string text;
    std::string key;  // a drive's "C:", else the text
    int kind = BOX_DESKTOP;
    int indent = 0;
    int image = 0;
    int selectedImage = 0;
};

// The lines of the drive records: desktop (indent 0), PC root, drives
// (indent 2), network root (indent 1). records[i] is {tree text, drive text}
// with kinds: first desktop, second PC root, last network, the rest drives.
struct DriveLineSource {
    std::string treeText;
    std::string driveText;
    int image = 0;
    int selectedImage = 0;
};
std::vector<BoxLine> DriveBoxLines(const std::vector<DriveLineSource>& records);

// Inserts the chain of folders below the line at anchor (drive, network root
// or desktop), each one step further in, and returns the index of the deepest
// line (anchor when the chain is empty or anchor is out of range). The box
// takes as many lines as the chain needs.
int InsertFolderChain(std::vector<BoxLine>& lines, int anchor, const std::vector<BoxLine>& chain);

// For a chosen folder line: how many levels above the deepest folder line of
// its chain it lies (0 for the deepest). -1 when the line is not a folder line.
int LevelsAboveDeepest(const std::vector<BoxLine>& lines, int chosen);

// ---- list order

// One row of the PC list as the sort sees it.
struct ListRow {
    std::vector<std::string> columns;
    bool folder = false;
    long long tag = 0;  // the caller's own (image, item data, ...)
};

// Size texts ("1,234KB", "12MB", "3.5GB", "100 bytes") as a number of bytes
// for the numeric column; 0 for an empty or unreadable text.
double SizeTextValue(const std::string& text);

// Sorts the rows by the column: folders first, then files, each group by the
// column's text (case-insensitive, then as is) or number, ascending for
// direction 1 and descending for 0. Equal keys keep their order.
void SortRows(std::vector<ListRow>& rows, int column, bool numeric, int direction);

}  // namespace pcpane
