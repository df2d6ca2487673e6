#pragma once

#include "tree/TreeSnapshot.h"

#include <QAbstractItemModel>
#include <QFont>
#include <QIcon>
#include <QList>
#include <span>

namespace orv {

// Shows a TreeSnapshot: a flat node vector whose shape (children, rows, new
// counts) the snapshot brings laid out, so a rebuild of hundreds of thousands
// of nodes is one model reset that swaps a few large blocks, not one insert
// per node.
// New items (TreeNode::isNew) are bold; a diary node, and "Дневники друзей",
// show after their name how many new items they hold, from counts kept beside
// the snapshot: the nodes' own texts and keys stay as they are.
class TreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    static constexpr int KeyRole = Qt::UserRole + 1;

    explicit TreeModel(QObject* parent = nullptr);

    // Icons of the image list, icon index 1 first.
    void setIcons(QList<QIcon> icons);
    void reset(TreeSnapshot tree);
    const TreeSnapshot& snapshot() const { return m_tree; }

    QModelIndex indexOfNode(int node) const;
    // The first new item in tree order; invalid when there is none.
    QModelIndex firstNew() const;
    // The next new item after the given one in tree order (depth first, as the
    // view lists them when all is expanded), from the top again past the last;
    // the given one itself when it is the only one. Invalid when none is new.
    QModelIndex nextNew(const QModelIndex& after) const;
    // New items in the tree.
    int newItems() const { return m_tree.shape().newTotal(); }
    QModelIndex indexOfKey(const QString& key) const;
    // -1 for an invalid index.
    int nodeOf(const QModelIndex& index) const;
    QString keyOf(const QModelIndex& index) const;

    // Changes a node's picture, or the one it shows while selected.
    void setIcon(int node, int icon);
    void setSelectedIcon(int node, int icon);
    // Marks the node new or not, and updates the counts above it.
    void setNew(int node, bool isNew);
    // Removes the node and everything under it.
    void removeNode(int node);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    // The children of the node, or the top-level nodes for an invalid index.
    std::span<const int> childrenOf(const QModelIndex& parent) const;
    QIcon iconFor(const TreeNode& node) const;
    // The node after this one in tree order, -1 past the last; -1 gives the
    // first. Children without a new item among them are passed over.
    int nextTowardsNew(int node) const;
    bool showsCount(int node) const;
    QString shownText(int node) const;
    // The counts shown above the node have changed.
    void countsChangedAbove(int node);

    TreeSnapshot m_tree;
    QList<QIcon> m_icons;
    QFont m_bold; // only its weight is set: the view's font, in bold
};

} // namespace orv
