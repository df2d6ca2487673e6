#include "TreeModel.h"

#include "tree/NodeKey.h"

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
    m_newBelow = m_tree.newItemsBelow();
    m_newTotal = 0;
    for (const int top : m_topLevel) {
        m_newTotal += m_newBelow[size_t(top)] + (m_tree.nodes[size_t(top)].isNew ? 1 : 0);
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
    return nextNew({});
}

QModelIndex TreeModel::nextNew(const QModelIndex& after) const {
    if (m_newTotal <= 0) {
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

const std::vector<int>& TreeModel::siblingsOf(int node) const {
    const int parent = m_tree.nodes[size_t(node)].parent;
    return parent < 0 ? m_topLevel : m_children[size_t(parent)];
}

int TreeModel::nextTowardsNew(int node) const {
    if (node < 0) {
        return m_topLevel.empty() ? -1 : m_topLevel.front();
    }
    if (m_newBelow[size_t(node)] > 0 && !m_children[size_t(node)].empty()) {
        return m_children[size_t(node)].front();
    }
    // The next sibling of the node or of its nearest ancestor that has one.
    for (int n = node; n >= 0; n = m_tree.nodes[size_t(n)].parent) {
        const auto& siblings = siblingsOf(n);
        const size_t next = size_t(m_rowInParent[size_t(n)]) + 1;
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

void TreeModel::setNew(int node, bool isNew) {
    TreeNode& changed = m_tree.nodes[size_t(node)];
    if (changed.isNew == isNew) {
        return;
    }
    changed.isNew = isNew;
    const QModelIndex index = indexOfNode(node);
    emit dataChanged(index, index, {Qt::FontRole});
    countAbove(node, isNew ? 1 : -1);
}

void TreeModel::countAbove(int node, int delta) {
    if (delta == 0) {
        return;
    }
    m_newTotal += delta;
    for (int n = m_tree.nodes[size_t(node)].parent; n >= 0; n = m_tree.nodes[size_t(n)].parent) {
        m_newBelow[size_t(n)] += delta;
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
    // Its new items leave the counts above it.
    countAbove(node, -(m_newBelow[size_t(node)] + (m_tree.nodes[size_t(node)].isNew ? 1 : 0)));
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

bool TreeModel::showsCount(int node) const {
    return node == FriendPostsRoot || NodeKey::isDiary(m_tree.nodes[size_t(node)].key);
}

QString TreeModel::shownText(int node) const {
    const QString& text = m_tree.nodes[size_t(node)].text;
    const int count = m_newBelow[size_t(node)];
    if (count <= 0 || !showsCount(node)) {
        return text;
    }
    return text + u" ("_s + QString::number(count) + u')';
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
        return node.text;
    case Qt::FontRole:
        return node.isNew ? QVariant(m_bold) : QVariant();
    case Qt::DecorationRole:
        return iconFor(node);
    case KeyRole:
        return node.key;
    default:
        return {};
    }
}

} // namespace orv
