#pragma once

#include "TreeNode.h"
#include "TreeShape.h"

#include <QSet>
#include <QString>
#include <QStringView>
#include <functional>
#include <initializer_list>
#include <vector>

namespace orv {

// The whole tree as data, nodes in insertion order: a parent always comes
// before its children. Keys and captions are kept in one buffer of UTF-16
// text, each with its length in front, so a tree of hundreds of thousands of
// nodes is a handful of allocations, made and freed at once; nodes with the
// same caption ("От: " and a name) share it. Once sealed it carries its shape
// too, so whoever shows it has nothing left to lay out. A snapshot is a plain
// value: built on one thread, it can be moved to another.
class TreeSnapshot {
public:
    TreeSnapshot();

    std::vector<TreeNode> nodes;
    int NewInTree = 0; // new posts and comments found

    QString key(const TreeNode& node) const;
    QString key(int node) const { return key(nodes[size_t(node)]); }
    QString text(const TreeNode& node) const { return textView(node.textAt).toString(); }
    QString text(int node) const { return text(nodes[size_t(node)]); }
    // The first node with the key; -1 when there is none. One pass over the nodes.
    int indexOfKey(const QString& key) const;
    // Expands the nodes whose key is one of these. One pass over the nodes.
    void expandKeys(const QSet<QString>& keys);
    // Visits the nodes in the tree's order, each with its depth (0 at the top
    // level): a node, then the whole branch of each of its children in turn.
    // Nodes taken out with remove() are not visited.
    void walk(const std::function<void(int node, int depth)>& visit) const;

    // Building. Puts a text in the pool (the pieces one after another) and
    // gives where it stands, for TreeNode::keyAt and textAt.
    quint32 addText(std::initializer_list<QStringView> pieces);
    // Adds a node; its parent must be there already. Gives its index.
    int addNode(NodeKind kind, quint32 keyAt, quint32 textAt, int icon, int parent);
    // Expands every ancestor of the node.
    void makeVisible(int node);
    // A node whose parent is set to this is dropped by compact().
    static constexpr int Dropped = -2;
    // Removes the dropped nodes (which have no children) and renumbers the rest.
    void compact();
    // Done once the nodes are in: gives back the room kept for growth and
    // lays out the shape. Nodes added or moved later need it again.
    void seal();
    bool isSealed() const { return m_sealed && m_shape.size() == nodes.size(); }

    // Valid while sealed.
    const TreeShape& shape() const { return m_shape; }
    // Marks the node new or not, the counts above it following; false when
    // it already was.
    bool setNew(int node, bool isNew);
    // Takes the node and everything under it out of the tree: their new items
    // leave the counts, their keys no longer find them. The nodes stay in the
    // vector, so node numbers keep their meaning.
    void remove(int node);

private:
    QStringView textView(quint32 at) const;

    QString m_pool;
    quint32 m_empty = 0; // an empty text
    TreeShape m_shape;
    bool m_sealed = false;
};

} // namespace orv
