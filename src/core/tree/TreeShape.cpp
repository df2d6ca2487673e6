#include "TreeShape.h"

namespace orv {

TreeShape::TreeShape(const std::vector<TreeNode>& nodes)
    : m_children(nodes.size())
    , m_start(nodes.size() + 2, 0)
    , m_row(nodes.size())
    , m_newBelow(nodes.size(), 0) {
    // A node's place is its parent + 1, so that the top level has one too.
    // Its row is the count of its siblings before it; the counts summed
    // give each place's start.
    for (size_t i = 0; i < nodes.size(); ++i) {
        m_row[i] = m_start[size_t(nodes[i].parent + 2)]++;
    }
    for (size_t place = 1; place < m_start.size(); ++place) {
        m_start[place] += m_start[place - 1];
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        m_children[size_t(m_start[size_t(nodes[i].parent + 1)] + m_row[i])] = int(i);
    }
    // A parent comes before its children: one pass from the last node back.
    for (size_t i = nodes.size(); i-- > 0;) {
        const int own = m_newBelow[i] + (nodes[i].isNew ? 1 : 0);
        if (nodes[i].parent >= 0) {
            m_newBelow[size_t(nodes[i].parent)] += own;
        } else {
            m_newTotal += own;
        }
    }
}

std::span<const int> TreeShape::children(int node) const {
    const size_t place = size_t(node + 1);
    if (place + 1 >= m_start.size()) {
        return {};
    }
    return {m_children.data() + m_start[place], size_t(m_start[place + 1] - m_start[place])};
}

void TreeShape::countAbove(const std::vector<TreeNode>& nodes, int node, int delta) {
    m_newTotal += delta;
    for (int n = nodes[size_t(node)].parent; n >= 0; n = nodes[size_t(n)].parent) {
        m_newBelow[size_t(n)] += delta;
    }
}

void TreeShape::unlink(int parent, int node) {
    const size_t place = size_t(parent + 1);
    const int at = m_start[place] + m_row[size_t(node)];
    m_children.erase(m_children.begin() + at);
    for (size_t later = place + 1; later < m_start.size(); ++later) {
        --m_start[later];
    }
    for (int moved = at; moved < m_start[place + 1]; ++moved) {
        --m_row[size_t(m_children[size_t(moved)])];
    }
}

} // namespace orv
