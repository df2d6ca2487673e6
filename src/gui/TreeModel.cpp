#include "TreeModel.h"

namespace orv {

TreeModel::TreeModel(QObject* parent)
    : QAbstractItemModel(parent) {}

void TreeModel::setIcons(QList<QIcon> icons) {
    m_icons = std::move(icons);
    if (!m_tree.nodes.empty()) {
        beginResetModel();
        endResetModel();
    }
}

void TreeModel::reset(TreeSnapshot tree) {
    beginResetModel();
    m_tree = std::move(tree);
    const size_t count = m_tree.nodes.size();
    m_topLevel.clear();
    m_children.assign(count, {});
    m_rowInParent.assign(count, 0);
    for (size_t i = 0; i < count; ++i) {
        const int parent = m_tree.nodes[i].parent;
        auto& siblings = parent < 0 ? m_topLevel : m_children[size_t(parent)];
        m_rowInParent[i] = int(siblings.size());
        siblings.push_back(int(i));
    }
    endResetModel();
}

QModelIndex TreeModel::indexOfNode(int node) const {
    if (node < 0 || size_t(node) >= m_tree.nodes.size()) {
        return {};
    }
    return createIndex(m_rowInParent[size_t(node)], 0, quintptr(node));
}

QModelIndex TreeModel::firstNew() const {
    for (size_t node = 0; node < m_tree.nodes.size(); ++node) {
        if (m_tree.nodes[node].icon == IconNew) {
            return indexOfNode(int(node));
        }
    }
    return {};
}

int TreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? int(index.internalId()) : -1;
}

QModelIndex TreeModel::indexOfKey(const QString& key) const {
    return indexOfNode(m_tree.indexOfKey(key));
}

QString TreeModel::keyOf(const QModelIndex& index) const {
    return index.isValid() ? m_tree.nodes[index.internalId()].key : QString();
}

void TreeModel::setIcon(int node, int icon) {
    m_tree.nodes[size_t(node)].icon = icon;
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index, {Qt::DecorationRole});
}

void TreeModel::setSelectedIcon(int node, int icon) {
    m_tree.nodes[size_t(node)].selectedIcon = icon;
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index, {Qt::DecorationRole});
}

void TreeModel::removeNode(int node) {
    const QModelIndex index = indexOfNode(node);
    if (!index.isValid()) {
        return;
    }
    const int parent = m_tree.nodes[size_t(node)].parent;
    auto& siblings = parent < 0 ? m_topLevel : m_children[size_t(parent)];
    const int row = m_rowInParent[size_t(node)];
    beginRemoveRows(index.parent(), row, row);
    siblings.erase(siblings.begin() + row);
    for (size_t i = size_t(row); i < siblings.size(); ++i) {
        m_rowInParent[size_t(siblings[i])] = int(i);
    }
    // The node stays in the vector, out of reach, so indexes keep their meaning;
    // its key no longer finds it.
    std::vector<int> subtree = {node};
    while (!subtree.empty()) {
        const int n = subtree.back();
        subtree.pop_back();
        m_tree.nodes[size_t(n)].key.clear();
        subtree.insert(subtree.end(), m_children[size_t(n)].begin(), m_children[size_t(n)].end());
    }
    endRemoveRows();
}

const std::vector<int>& TreeModel::childrenOf(const QModelIndex& parent) const {
    return parent.isValid() ? m_children[parent.internalId()] : m_topLevel;
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto& children = childrenOf(parent);
    if (column != 0 || row < 0 || size_t(row) >= children.size()) {
        return {};
    }
    return createIndex(row, 0, quintptr(children[size_t(row)]));
}

QModelIndex TreeModel::parent(const QModelIndex& child) const {
    if (!child.isValid()) {
        return {};
    }
    return indexOfNode(m_tree.nodes[child.internalId()].parent);
}

int TreeModel::rowCount(const QModelIndex& parent) const {
    if (parent.column() > 0) {
        return 0;
    }
    return int(childrenOf(parent).size());
}

int TreeModel::columnCount(const QModelIndex&) const {
    return 1;
}

QIcon TreeModel::iconFor(const TreeNode& node) const {
    const auto picture = [this](int icon) {
        return icon >= 1 && icon <= m_icons.size() ? m_icons[icon - 1] : QIcon();
    };
    QIcon icon = picture(node.icon);
    if (node.selectedIcon > 0 && !icon.isNull()) {
        // The view asks for the Selected mode while the node is selected.
        QIcon combined;
        for (const QSize& size : icon.availableSizes()) {
            combined.addPixmap(icon.pixmap(size), QIcon::Normal);
            combined.addPixmap(picture(node.selectedIcon).pixmap(size), QIcon::Selected);
        }
        return combined;
    }
    return icon;
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const TreeNode& node = m_tree.nodes[index.internalId()];
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole:
        return node.text;
    case Qt::DecorationRole:
        return iconFor(node);
    case KeyRole:
        return node.key;
    default:
        return {};
    }
}

} // namespace orv
