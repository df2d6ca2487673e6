#include "TreeSnapshot.h"

namespace orv {

int TreeSnapshot::indexOfKey(const QString& key) const {
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].key == key) {
            return int(i);
        }
    }
    return -1;
}

std::vector<int> TreeSnapshot::newItemsBelow() const {
    std::vector<int> below(nodes.size(), 0);
    for (size_t i = nodes.size(); i-- > 0;) {
        const TreeNode& node = nodes[i];
        if (node.parent >= 0) {
            below[size_t(node.parent)] += below[i] + (node.isNew ? 1 : 0);
        }
    }
    return below;
}

void TreeSnapshot::makeVisible(int node) {
    for (int parent = nodes[size_t(node)].parent; parent >= 0;
         parent = nodes[size_t(parent)].parent) {
        nodes[size_t(parent)].expanded = true;
    }
}

void TreeSnapshot::compact() {
    std::vector<int> renumbered(nodes.size(), -1);
    std::vector<TreeNode> kept;
    kept.reserve(nodes.size());
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].parent == Dropped) {
            continue;
        }
        renumbered[i] = int(kept.size());
        kept.push_back(std::move(nodes[i]));
        if (kept.back().parent >= 0) {
            kept.back().parent = renumbered[size_t(kept.back().parent)];
        }
    }
    nodes = std::move(kept);
}

} // namespace orv
