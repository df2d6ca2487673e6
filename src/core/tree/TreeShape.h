#pragma once

#include "TreeNode.h"

#include <span>
#include <vector>

namespace orv {

// The shape of a snapshot's nodes, laid out once so that a view can walk it:
// the children of every node in one array (by node order, which is the tree's
// order among siblings), each node's row among its siblings, and the new items
// below each node. Node -1 stands for the top level.
class TreeShape {
public:
    TreeShape() = default;
    explicit TreeShape(const std::vector<TreeNode>& nodes);

    // Nodes laid out.
    size_t size() const { return m_row.size(); }
    std::span<const int> children(int node) const;
    int row(int node) const { return m_row[size_t(node)]; }
    // New items among the node's descendants.
    int newBelow(int node) const { return m_newBelow[size_t(node)]; }
    // New items in the whole tree.
    int newTotal() const { return m_newTotal; }

    // The node's own new items (itself and below) changed by delta: the
    // counts of its ancestors, and the total, follow.
    void countAbove(const std::vector<TreeNode>& nodes, int node, int delta);
    // Takes the node out of its parent's children; the rows after it move up.
    void unlink(int parent, int node);

private:
    // The children of node n are m_children[m_start[n + 1]] up to
    // m_children[m_start[n + 2]]; the top level's start at m_start[0].
    std::vector<int> m_children;
    std::vector<int> m_start;
    std::vector<int> m_row;
    std::vector<int> m_newBelow;
    int m_newTotal = 0;
};

} // namespace orv
