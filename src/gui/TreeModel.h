#pragma once

#include "tree/TreeSnapshot.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>
#include <vector>

namespace orv {

// Shows a TreeSnapshot: a flat node vector with child lists, so a rebuild of
// hundreds of thousands of nodes is one model reset, not one insert per node.
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
    // The first node shown as new, in tree order; invalid when none is.
    QModelIndex firstNew() const;
    QModelIndex indexOfKey(const QString& key) const;
    // -1 for an invalid index.
    int nodeOf(const QModelIndex& index) const;
    QString keyOf(const QModelIndex& index) const;

    // Changes a node's picture, or the one it shows while selected.
    void setIcon(int node, int icon);
    void setSelectedIcon(int node, int icon);
    // Removes the node and everything under it.
    void removeNode(int node);

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    const std::vector<int>& childrenOf(const QModelIndex& parent) const;
    QIcon iconFor(const TreeNode& node) const;

    TreeSnapshot m_tree;
    QList<QIcon> m_icons;
    std::vector<int> m_topLevel;
    std::vector<std::vector<int>> m_children;
    std::vector<int> m_rowInParent;
};

} // namespace orv
