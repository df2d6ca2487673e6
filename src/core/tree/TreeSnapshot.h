#pragma once

#include <QString>
#include <vector>

namespace orv {

// Image indexes of the tree's icons.
enum TreeIcon : int {
    IconFolder = 1,
    IconNew = 2,
    IconRead = 3,
    IconPerson = 4,
    IconNotSent = 5,
    IconOwnNotSentRead = 6,
    IconSelected = 7,
};

struct TreeNode {
    QString key;  // unique within the tree
    QString text; // caption
    int icon = IconFolder;
    int parent = -1; // index of the parent node, -1 for a top-level node
    bool expanded = false;
};

// The whole tree as data, nodes in insertion order: a parent always comes
// before its children.
struct TreeSnapshot {
    std::vector<TreeNode> nodes;
    int NewInTree = 0; // new posts and comments found

    int indexOfKey(const QString& key) const;
};

} // namespace orv
