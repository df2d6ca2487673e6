#pragma once

#include <QtGlobal>

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
    // An outgoing message whose send answer was lost: it may be published.
    IconInDoubt = 8,
};

// Where the five fixed nodes stand in every tree.
enum FixedNode : int {
    MyDiaryRoot = 0,
    MyPosts = 1,
    MyPrivates = 2,
    MyForums = 3,
    FriendPostsRoot = 4,
};

// What a node's key is made of: a fixed node's whole name, or the prefix of
// its kind ("key-", "friendpostkey-", "commkey-", "privkey-") before the part
// the snapshot keeps.
enum class NodeKind : quint8 { Fixed, Diary, Post, Comment, Private };

// One node in 16 bytes. Its key and caption live in the snapshot's text pool:
// read them with TreeSnapshot::key() and text().
struct TreeNode {
    quint32 keyAt = 0;  // the key past its kind's prefix, in the text pool
    quint32 textAt = 0; // the caption, in the text pool
    qint32 parent = -1; // index of the parent node, -1 for a top-level node
    int icon : 8 = IconFolder;
    int selectedIcon : 8 = 0; // shown while selected; 0: the icon itself
    NodeKind kind = NodeKind::Fixed;
    bool expanded : 1 = false;
    // A new item: a post, comment or private message whose stored New flag is
    // set (the user has not opened it yet), whatever its picture.
    bool isNew : 1 = false;
};

} // namespace orv
