#include "TreeSnapshot.h"

#include "NodeKey.h"
#include "TextHash.h"

#include <optional>
#include <unordered_set>

namespace orv {
namespace {

static_assert(sizeof(TreeNode) == 16, "a node stays small: hundreds of thousands are kept");

// The kind's name before the "-" of a key; empty for a fixed node.
const QString& kindName(NodeKind kind) {
    static const QString fixed;
    switch (kind) {
    case NodeKind::Diary:
        return NodeKey::Diary;
    case NodeKind::Post:
        return NodeKey::Post;
    case NodeKind::Comment:
        return NodeKey::Comment;
    case NodeKind::Private:
        return NodeKey::Private;
    case NodeKind::Fixed:
        break;
    }
    return fixed;
}

constexpr int KindCount = int(NodeKind::Private) + 1;

// A text's length stands in front of it, in two UTF-16 units.
constexpr quint32 LengthUnits = 2;

} // namespace

TreeSnapshot::TreeSnapshot() {
    m_empty = addText({});
}

QStringView TreeSnapshot::textView(quint32 at) const {
    const QChar* const head = m_pool.constData() + at;
    const quint32 length = quint32(head[0].unicode()) | quint32(head[1].unicode()) << 16;
    return QStringView(head + LengthUnits, qsizetype(length));
}

quint32 TreeSnapshot::addText(std::initializer_list<QStringView> pieces) {
    qsizetype length = 0;
    for (const QStringView piece : pieces) {
        length += piece.size();
    }
    const auto at = quint32(m_pool.size());
    m_pool.append(QChar(char16_t(quint32(length) & 0xFFFF)));
    m_pool.append(QChar(char16_t(quint32(length) >> 16)));
    for (const QStringView piece : pieces) {
        m_pool.append(piece.data(), piece.size());
    }
    return at;
}

int TreeSnapshot::addNode(NodeKind kind, quint32 keyAt, quint32 textAt, int icon, int parent) {
    m_sealed = false;
    TreeNode& node = nodes.emplace_back();
    node.kind = kind;
    node.keyAt = keyAt;
    node.textAt = textAt;
    node.icon = icon;
    node.parent = parent;
    return int(nodes.size()) - 1;
}

QString TreeSnapshot::key(const TreeNode& node) const {
    const QString& kind = kindName(node.kind);
    const QStringView rest = textView(node.keyAt);
    if (kind.isEmpty()) {
        return rest.toString();
    }
    QString key(kind.size() + 1 + rest.size(), Qt::Uninitialized);
    QChar* out = key.data();
    out = std::copy(kind.cbegin(), kind.cend(), out);
    *out++ = u'-';
    std::copy(rest.cbegin(), rest.cend(), out);
    return key;
}

int TreeSnapshot::indexOfKey(const QString& key) const {
    // What the rest of the key would be for each kind of node, or none when
    // the key does not start with that kind's prefix: most nodes are passed
    // over without reading their text.
    std::optional<QStringView> rests[KindCount];
    for (int kind = 0; kind < KindCount; ++kind) {
        const QString& name = kindName(NodeKind(kind));
        if (name.isEmpty()) {
            rests[kind] = key;
        } else if (key.size() > name.size() && key.startsWith(name) && key[name.size()] == u'-') {
            rests[kind] = QStringView(key).sliced(name.size() + 1);
        }
    }
    for (size_t i = 0; i < nodes.size(); ++i) {
        const auto& rest = rests[int(nodes[i].kind)];
        if (rest && *rest == textView(nodes[i].keyAt)) {
            return int(i);
        }
    }
    return -1;
}

void TreeSnapshot::expandKeys(const QSet<QString>& keys) {
    if (keys.isEmpty()) {
        return;
    }
    // A node's key is made, and looked for, only when its hash is among the
    // keys' hashes; the hash is made from the key's pieces where they lie.
    std::unordered_set<quint32> hashes;
    for (const QString& key : keys) {
        hashes.insert(TextHash::of(key));
    }
    quint32 kindHash[KindCount];
    for (int kind = 0; kind < KindCount; ++kind) {
        const QString& name = kindName(NodeKind(kind));
        kindHash[kind] = name.isEmpty() ? TextHash::Start : TextHash::add(TextHash::of(name), u"-");
    }
    QString key; // made again in the same buffer for each node
    for (TreeNode& node : nodes) {
        const QStringView rest = textView(node.keyAt);
        if (node.expanded || !hashes.contains(TextHash::add(kindHash[int(node.kind)], rest))) {
            continue;
        }
        const QString& kind = kindName(node.kind);
        key.resize(0);
        if (!kind.isEmpty()) {
            key.append(kind).append(u'-');
        }
        key.append(rest);
        node.expanded = keys.contains(key);
    }
}

void TreeSnapshot::walk(const std::function<void(int node, int depth)>& visit) const {
    const TreeShape unsealed = isSealed() ? TreeShape() : TreeShape(nodes);
    const TreeShape& shape = isSealed() ? m_shape : unsealed;
    // Branches still to visit, the next one last.
    std::vector<std::pair<int, int>> pending;
    const auto push = [&](int parent, int depth) {
        const auto children = shape.children(parent);
        for (auto child = children.rbegin(); child != children.rend(); ++child) {
            pending.emplace_back(*child, depth);
        }
    };
    push(-1, 0);
    while (!pending.empty()) {
        const auto [node, depth] = pending.back();
        pending.pop_back();
        visit(node, depth);
        push(node, depth + 1);
    }
}

void TreeSnapshot::seal() {
    m_pool.squeeze();
    nodes.shrink_to_fit();
    m_shape = TreeShape(nodes);
    m_sealed = true;
}

bool TreeSnapshot::setNew(int node, bool isNew) {
    TreeNode& changed = nodes[size_t(node)];
    if (changed.isNew == isNew) {
        return false;
    }
    changed.isNew = isNew;
    m_shape.countAbove(nodes, node, isNew ? 1 : -1);
    return true;
}

void TreeSnapshot::remove(int node) {
    const int parent = nodes[size_t(node)].parent;
    if (const int own = m_shape.newBelow(node) + (nodes[size_t(node)].isNew ? 1 : 0); own != 0) {
        m_shape.countAbove(nodes, node, -own);
    }
    m_shape.unlink(parent, node);
    std::vector<int> below = {node};
    while (!below.empty()) {
        const int n = below.back();
        below.pop_back();
        nodes[size_t(n)].kind = NodeKind::Fixed;
        nodes[size_t(n)].keyAt = m_empty;
        const auto children = m_shape.children(n);
        below.insert(below.end(), children.begin(), children.end());
    }
}

void TreeSnapshot::makeVisible(int node) {
    for (int parent = nodes[size_t(node)].parent; parent >= 0;
         parent = nodes[size_t(parent)].parent) {
        nodes[size_t(parent)].expanded = true;
    }
}

void TreeSnapshot::compact() {
    m_sealed = false;
    std::vector<int> renumbered(nodes.size(), -1);
    size_t kept = 0;
    for (size_t i = 0; i < nodes.size(); ++i) {
        if (nodes[i].parent == Dropped) {
            continue;
        }
        renumbered[i] = int(kept);
        TreeNode& node = nodes[kept++] = nodes[i];
        if (node.parent >= 0) {
            node.parent = renumbered[size_t(node.parent)];
        }
    }
    nodes.resize(kept);
}

} // namespace orv
