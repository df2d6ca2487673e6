#include "TreeSwapper.h"

#include "TreeModel.h"
#include "tree/NodeKey.h"

#include <QTreeView>

namespace orv {

TreeSwapper::TreeSwapper(QTreeView& view, TreeModel& model, QObject* parent)
    : QObject(parent)
    , m_view(view)
    , m_model(model) {
    connect(&m_view, &QTreeView::expanded, this,
            [this](const QModelIndex& index) { m_expanded.insert(m_model.keyOf(index)); });
    connect(&m_view, &QTreeView::collapsed, this,
            [this](const QModelIndex& index) { m_expanded.remove(m_model.keyOf(index)); });
}

int TreeSwapper::swapIn(TreeSnapshot snapshot) {
    const QString selected = m_model.keyOf(m_view.currentIndex());
    const QString topRow = m_model.keyOf(m_view.indexAt(QPoint(1, 1)));

    m_model.reset(std::move(snapshot));
    // Right after a reset the view lays out lazily, so each expand only marks
    // its node; the rows are laid out once, when they are next painted.
    m_expanded.clear();
    const auto& nodes = m_model.snapshot().nodes;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].expanded) {
            m_view.expand(m_model.indexOfNode(int(i)));
        }
    }
    int reselected = selected.isEmpty() ? -1 : m_model.snapshot().indexOfKey(selected);
    if (reselected < 0 && !selected.isEmpty()) {
        reselected = nodeOfSameRow(selected);
    }
    if (reselected >= 0) {
        m_view.setCurrentIndex(m_model.indexOfNode(reselected));
    }
    if (const QModelIndex top = m_model.indexOfKey(topRow); top.isValid()) {
        m_view.scrollTo(top, QAbstractItemView::PositionAtTop);
    }
    return reselected;
}

int TreeSwapper::nodeOfSameRow(const QString& key) const {
    const NodeKey wanted(key);
    if (!wanted.message()) {
        return -1; // a diary or a fixed node has no row of its own
    }
    // Only nodes of the same kind are read: a lost selection in a large tree
    // must not make every node's key.
    const NodeKind kind = wanted.kind() == NodeKey::Post      ? NodeKind::Post
                          : wanted.kind() == NodeKey::Comment ? NodeKind::Comment
                                                              : NodeKind::Private;
    const QString localId = wanted.localId();
    const TreeSnapshot& tree = m_model.snapshot();
    for (size_t i = 0; i < tree.nodes.size(); ++i) {
        if (tree.nodes[i].kind == kind && NodeKey(tree.key(tree.nodes[i])).localId() == localId) {
            return int(i);
        }
    }
    return -1;
}

} // namespace orv
