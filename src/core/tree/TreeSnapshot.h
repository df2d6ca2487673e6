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

// Where the five fixed nodes stand in every tree.
enum FixedNode : int {
    MyDiaryRoot = 0,
    MyPosts = 1,
    MyPrivates = 2,
    MyForums = 3,
    FriendPostsRoot = 4,
};

struct TreeNode {
    QString key;  // unique within the tree
    QString text; // caption
    int icon = IconFolder;
    int parent = -1; // index of the parent node, -1 for a top-level node
    bool expanded = false;
    // A new item: a post, comment or private message whose stored New flag is
    // set (the user has not opened it yet), whatever its picture.
    bool isNew = false;
    int selectedIcon = 0; // shown while selected; 0: the icon itself
};

// The whole tree as data, nodes in insertion order: a parent always comes
// before its children.
struct TreeSnapshot {
    std::vector<TreeNode> nodes;
    int NewInTree = 0; // new posts and comments found

    int indexOfKey(const QString& key) const;
    // For each node, the new items among its descendants; one pass from the
    // last node back, as a parent always comes before its children.
    std::vector<int> newItemsBelow() const;
    // Expands every ancestor of the node.
    void makeVisible(int node);

    // A node whose parent is set to this is dropped by compact().
    static constexpr int Dropped = -2;
    // Removes the dropped nodes (which have no children) and renumbers the rest.
    void compact();
};

} // namespace orv
