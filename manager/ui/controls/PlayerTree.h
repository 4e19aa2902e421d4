// CPlayerTree: the player's folder tree (1004). Paths of items below the
// memory's root, hit tests over icon or label only, label edits that keep
// Enter and Escape to themselves.
#pragma once

#include <windows.h>

#include <string>

#include "Controls.h"

class CPlayerTree : public CTreeCtrl {
public:
    BOOL PreTranslateMessage(MSG* msg) override;
    void SetEditCancelled(int flag) { m_editCancelled = flag; }
    // The system's small icons as the tree's images (not owned).
    void InitImageList();
    // root + the texts below the root item down to item, each with a
    // backslash: "E:\A\B\" for B under A; the root item gives root itself.
    std::string GetItemPath(HTREEITEM item, const std::string& root) const;
    std::string GetSelectedPath(const std::string& root) const { return GetItemPath(GetSelectedItem(), root); }
    // Deletes every child of item; false (with m_error) when one would not go.
    bool DeleteChildren(HTREEITEM item);
    // The first child of parent (the selected item when null) named name
    // (case-insensitive), or null.
    HTREEITEM FindChild(const std::string& name, HTREEITEM parent = nullptr) const;
    HTREEITEM HitTest(POINT screen) const;
    // Highlights the item under the point as drop target; false when none.
    bool DropHitTest(POINT screen);

    std::string m_error;
    int m_editCancelled = 0;
};
