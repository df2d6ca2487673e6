#include "TreeModel.h"

using namespace Qt::StringLiterals;

namespace orv {

TreeModel::TreeModel(QObject* parent)
    : QAbstractItemModel(parent) {
    m_bold.setBold(true);
}

void TreeModel::setIcons(QList<QIcon> icons) {
    m_icons = std::move(icons);
    if (!m_tree.nodes.empty()) {
        beginResetModel();
        endResetModel();
    }
}

void TreeModel::reset(TreeSnapshot tree) {
    if (!tree.isSealed()) {
        tree.seal();
    }
    beginResetModel();
    std::swap(m_tree, tree);
    endResetModel();
    // The old tree is freed as `tree` goes: a few large blocks.
}

std::span<const int> TreeModel::childrenOf(const QModelIndex& parent) const {
    return m_tree.shape().children(parent.isValid() ? int(parent.internalId()) : -1);
}

QModelIndex TreeModel::indexOfNode(int node) const {
    if (node < 0 || size_t(node) >= m_tree.nodes.size()) {
        return {};
    }
    return createIndex(m_tree.shape().row(node), 0, quintptr(node));
}

QModelIndex TreeModel::firstNew() const {
    return nextNew({});
}

QModelIndex TreeModel::nextNew(const QModelIndex& after) const {
    if (newItems() <= 0) {
        return {};
    }
    const int start = nodeOf(after);
    int node = start;
    // Each node is looked at once at most, the given one last.
    for (size_t step = 0; step <= m_tree.nodes.size(); ++step) {
        node = nextTowardsNew(node);
        if (node < 0) {
            node = nextTowardsNew(-1); // past the last: from the top again
        }
        if (node < 0) {
            break;
        }
        if (m_tree.nodes[size_t(node)].isNew) {
            return indexOfNode(node);
        }
        if (node == start) {
            break;
        }
    }
    return {};
}

int TreeModel::nextTowardsNew(int node) const {
    const TreeShape& shape = m_tree.shape();
    if (node < 0) {
        const auto top = shape.children(-1);
        return top.empty() ? -1 : top.front();
    }
    if (const auto children = shape.children(node); shape.newBelow(node) > 0 && !children.empty()) {
        return children.front();
    }
    // The next sibling of the node or of its nearest ancestor that has one.
    for (int n = node; n >= 0; n = m_tree.nodes[size_t(n)].parent) {
        const auto siblings = shape.children(m_tree.nodes[size_t(n)].parent);
        const size_t next = size_t(shape.row(n)) + 1;
        if (next < siblings.size()) {
            return siblings[next];
        }
    }
    return -1;
}

int TreeModel::nodeOf(const QModelIndex& index) const {
    return index.isValid() ? int(index.internalId()) : -1;
}

QModelIndex TreeModel::indexOfKey(const QString& key) const {
    return indexOfNode(m_tree.indexOfKey(key));
}

QString TreeModel::keyOf(const QModelIndex& index) const {
    return index.isValid() ? m_tree.key(int(index.internalId())) : QString();
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

void TreeModel::setNew(int node, bool isNew) {
    if (!m_tree.setNew(node, isNew)) {
        return;
    }
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index, {Qt::FontRole});
    countsChangedAbove(node);
}

void TreeModel::countsChangedAbove(int node) {
    for (int n = m_tree.nodes[size_t(node)].parent; n >= 0; n = m_tree.nodes[size_t(n)].parent) {
        if (showsCount(n)) {
            const QModelIndex index = indexOfNode(n);
            emit dataChanged(index, index, {Qt::DisplayRole});
        }
    }
}

void TreeModel::removeNode(int node) {
    const QModelIndex index = indexOfNode(node);
    if (!index.isValid()) {
        return;
    }
    const bool heldNew = m_tree.shape().newBelow(node) > 0 || m_tree.nodes[size_t(node)].isNew;
    beginRemoveRows(index.parent(), index.row(), index.row());
    m_tree.remove(node);
    endRemoveRows();
    if (heldNew) {
        countsChangedAbove(node); // its new items have left the counts
    }
}

QModelIndex TreeModel::index(int row, int column, const QModelIndex& parent) const {
    const auto children = childrenOf(parent);
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

bool TreeModel::showsCount(int node) const {
    return node == FriendPostsRoot || m_tree.nodes[size_t(node)].kind == NodeKind::Diary;
}

QString TreeModel::shownText(int node) const {
    const int count = m_tree.shape().newBelow(node);
    if (count <= 0 || !showsCount(node)) {
        return m_tree.text(node);
    }
    return m_tree.text(node) + u" ("_s + QString::number(count) + u')';
}

QVariant TreeModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    const TreeNode& node = m_tree.nodes[index.internalId()];
    switch (role) {
    case Qt::DisplayRole:
        return shownText(int(index.internalId()));
    case Qt::ToolTipRole:
        return node.icon == IconInDoubt ? m_tree.text(node) + u" — ответ сервера не получен"_s
                                        : m_tree.text(node);
    case Qt::FontRole:
        return node.isNew ? QVariant(m_bold) : QVariant();
    case Qt::DecorationRole:
        return iconFor(node);
    case KeyRole:
        return m_tree.key(node);
    default:
        return {};
    }
}

} // namespace orv
