// What the player pane shows of a folder on the player and the rules for
// names typed into it. No Windows call: the pane feeds in what it enumerated.
#pragma once

#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

namespace playerpane {

// Case-insensitive equality of two names as the system compares them; the
// default folds ASCII letters only.
using NameEquals = std::function<bool(const std::string&, const std::string&)>;
bool AsciiNameEquals(const std::string& a, const std::string& b);
// < 0, 0, > 0 like stricmp, ASCII letters folded.
int AsciiCompareNoCase(const std::string& a, const std::string& b);

// A key that is the same for any two names `equals` calls equal (for the
// system's comparison, its sort key of the name ignoring case). With one, a
// name is looked up among the entries of its key only, not compared with
// every entry: a folder of thousands of entries is then no pause of seconds.
using NameKey = std::function<std::string(const std::string&)>;
// The key that goes with AsciiNameEquals: ASCII letters folded.
std::string AsciiFoldKey(const std::string& name);

// The list's file-kind views (internal and external memory).
enum KindFilter { FILTER_NONE = 0, FILTER_MUSIC = 2, FILTER_VOICE = 4, FILTER_ALL = 8,
                  FILTER_MUSIC_EXT = 512, FILTER_VOICE_EXT = 1024, FILTER_ALL_EXT = 2048 };
bool IsMusicFilter(int filter);

// One directory entry as enumerated, in directory order.
struct DirEntry {
    std::string Name;
    bool IsFolder = false;
};

// Finds, among entries, the first one (in their order) whose name equals a
// given name and that the caller accepts; entries.size() when there is none.
class CNameLookup {
public:
    CNameLookup(const std::vector<DirEntry>& entries, const NameEquals& equals, const NameKey& key);
    size_t Find(const std::string& name, const std::function<bool(size_t)>& accept) const;

private:
    const std::vector<DirEntry>& m_entries;
    NameEquals m_equals;
    NameKey m_key;
    std::unordered_map<std::string, std::vector<size_t>> m_byKey;
};

// The entries put in the order of diskOrder (the names of the directory's
// entries as stored); entries it does not name follow in their own order.
std::vector<DirEntry> OrderByDirectory(const std::vector<DirEntry>& entries, const std::vector<std::string>& diskOrder,
                                       const NameEquals& equals = AsciiNameEquals, const NameKey& key = nullptr);

// Names the list never shows in any view: "." and "..", ".Trashes" folders,
// "._" files, ".DS_Store", "SETTINGS.DAT" in the root, and the volume label
// file some systems show as ".windows-label".
bool IsNeverListed(const DirEntry& entry, bool atRoot);
// Whether the music view's masks ("*.mp3", "*.wma") take the name; returns
// the mask's index (0, 1) or -1.
int MusicMaskIndex(const std::string& name);

// The rows of the player list for one folder: the folders in ascending name
// order, then the files; in the music view the "*.mp3" pass comes before the
// "*.wma" pass (each in directory order), in the other views every file in
// directory order.
struct ListedRow {
    std::string Name;
    bool IsFolder = false;
};
std::vector<ListedRow> PlayerListRows(const std::vector<DirEntry>& entries, int filter, bool atRoot);
// Whether that listing shows the entry.
bool IsShownInView(const DirEntry& entry, int filter, bool atRoot);

// The name of a new folder beside the entries: "New Folder", else
// "New Folder(n)" with n one above the numbers already there.
std::string NextNewFolderName(const std::vector<std::string>& entries);

// Checks a name typed for a rename of a file or folder row.
enum RenameCheck { RENAME_OK = 0, RENAME_UNCHANGED, RENAME_BAD_CHARACTER, RENAME_EMPTY,
                   RENAME_MUSIC_TO_OTHER, RENAME_OTHER_TO_MUSIC };
bool HasInvalidNameCharacter(const std::string& name);
// Music is what the file-kind test calls music for the internal memory
// (".mp3", ".wma"); the kind rule applies to files only.
bool IsMusicName(const std::string& name);
RenameCheck CheckRename(const std::string& oldName, const std::string& newName, bool isFolder);

// A file time as the lists show it: "%d-%.2d-%.2d %s %.2d:%.2d" with the
// hour on the 12-hour clock (0 is 12 AM, 12 is 12 PM), half being the AM or
// PM text; an hour above 23 gives "---".
std::string FileTimeText(int year, int month, int day, int hour, int minute, const std::string& half);

// The list sorter's number key: blanks skipped, an optional sign, then
// digits; 0 when no digit follows; held to the signed 32-bit range.
long SortNumber(const std::string& text);
// Numeric compare of the sorter: 0 equal, else 1 / -1 by direction.
int CompareSortNumbers(long a, long b, bool ascending);

}  // namespace playerpane
