// The new play order of a player folder, worked out from the rows of the
// player list and the folder's live directory entries. No Windows call.
#pragma once

#include <string>
#include <vector>

#include "PlayerPaneRules.h"

namespace playerpane {

enum MoveKind { MOVE_UP = 0, MOVE_NONE = 1, MOVE_DOWN = 2, MOVE_TO_ROW = 3 };

struct MovedRows {
    std::vector<std::string> Names;  // every row in its new place
    std::vector<int> Selected;       // the selected rows' new indexes, ascending
};

// Moves the selected file rows (indexes at or after folderRows; folder rows
// never move and stay selected where they are) by one row up or down, or as
// one block to the drop row.
MovedRows MoveRows(MoveKind kind, const std::vector<std::string>& rows, int folderRows,
                   const std::vector<int>& selected, int dropRow);

// The order of every directory entry after the move: each row's old name is
// found among the entries and its place given the row's new name; entries the
// list does not show keep their places. Refused (false) unless the rows are
// exactly the entries the view shows, each once: a stale list, or a name that
// does not match its entry (a character the code page cannot show), would
// otherwise name an entry twice or leave one out.
bool DirectoryOrder(const std::vector<DirEntry>& entries, const std::vector<std::string>& oldRows,
                    const std::vector<std::string>& newRows, int filter, bool atRoot,
                    std::vector<std::string>* order, const NameEquals& equals = AsciiNameEquals,
                    const NameKey& key = nullptr);

}  // namespace playerpane
