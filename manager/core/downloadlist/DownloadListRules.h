// Rules of the download list that need no window: which entries the filter
// shows, the row numbers, how many queued entries fit the memory, and where
// the moved rows of a reorder land. Windows-free.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum DOWNLOAD_FILTER : int {
    DOWNLOAD_FILTER_MUSIC = 0,  // ".mp3" and ".wma"
    DOWNLOAD_FILTER_VOICE = 1,  // ".wav"
    DOWNLOAD_FILTER_ALL = 2,    // any other value as well
};

// What the space check of a start decided.
struct DOWNLOAD_PICK {
    std::vector<std::size_t> Taken;  // indexes of the entries given, in order
    bool NoSpace = false;            // the first entry alone does not fit
};

class CDownloadListRules {
public:
    static bool PassesFilter(const std::string& name, int filter);
    // Column 0: the row's number from 1 as three digits ("001").
    static std::string Number(int row);
    // Takes queued entries in order while the running total stays below the
    // free bytes; the first that reaches it ends the taking. A size of -1
    // is an entry whose path is gone: it is passed over.
    static DOWNLOAD_PICK PickForSpace(const std::vector<std::int64_t>& sizes, std::uint64_t freeBytes);
    // The rows of a list after moving the rows named `moved` (in this order,
    // each once) to stand together before row `target` of the list as it
    // was (the row count: at the end). Names compare without case.
    static std::vector<std::string> Reorder(const std::vector<std::string>& rows,
                                            const std::vector<std::string>& moved, int target);
    static bool SameName(const std::string& a, const std::string& b);
};
