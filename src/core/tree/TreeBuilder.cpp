#include "TreeBuilder.h"

#include "TextHash.h"
#include "app/Escaping.h"
#include "store/Settings.h"
#include "store/TreeRows.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <unordered_map>
#include <unordered_set>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The state picture of a post or comment; new items are counted and shown.
int stateIcon(bool isNew, bool sent, bool inDoubt) {
    if (inDoubt) {
        return IconInDoubt;
    }
    if (isNew) {
        return sent ? IconNew : IconNotSent;
    }
    return sent ? IconRead : IconOwnNotSentRead;
}

// PostsToShow as a number of posts per diary; at least 1.
int postsPerDiary(const QString& setting) {
    bool ok = false;
    const int limit = setting.trimmed().toInt(&ok);
    return ok && limit > 0 ? limit : 1;
}

// A number's decimal digits, as QString::number() writes them, made without
// an allocation.
class Decimal {
public:
    explicit Decimal(qint64 value) {
        quint64 rest = value < 0 ? 0 - quint64(value) : quint64(value);
        do {
            m_digits[--m_start] = char16_t(u'0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        if (value < 0) {
            m_digits[--m_start] = u'-';
        }
    }
    QStringView view() const { return QStringView(m_digits + m_start, Size - m_start); }

private:
    static constexpr qsizetype Size = 20;
    char16_t m_digits[Size];
    qsizetype m_start = Size;
};

// The node of each shown post by its ThisID, for its comments to find. While
// ThisIDs are dense, as AUTOINCREMENT keeps them, a table indexed by ThisID;
// otherwise a hash.
// QHash's string hash cost more than the rest of a comment's node.
struct NameHash {
    size_t operator()(const QString& name) const noexcept { return TextHash::of(name); }
};

// The shown post of each PostID, for placing comments: a flat table probed by
// the identifier's hash, a short identifier kept in its slot, so that a
// look-up touches one slot where a node-based map touched several scattered
// allocations. Of posts that share a PostID, the first stored (the lowest
// ThisID) is kept.
class PostsById {
public:
    void add(const QString& id, qint64 thisId, int node) {
        if (4 * (m_count + 1) > 3 * m_slots.size()) {
            grow();
        }
        const quint32 hash = TextHash::of(id);
        Slot& slot = m_slots[probe(id, hash)];
        if (slot.node < 0) {
            slot.hash = hash;
            slot.node = node;
            slot.thisId = thisId;
            slot.size = qint32(id.size());
            if (id.size() <= Slot::Inline) {
                std::copy(id.utf16(), id.utf16() + id.size(), slot.text);
            } else {
                slot.longId = qint32(m_longIds.size());
                m_longIds.push_back(id);
            }
            ++m_count;
        } else if (thisId < slot.thisId) {
            slot.thisId = thisId;
            slot.node = node;
        }
    }

    // -1 for a PostID without a shown post.
    int nodeOf(const QString& id) const {
        return m_slots.empty() ? -1 : m_slots[probe(id, TextHash::of(id))].node;
    }

private:
    struct Slot {
        static constexpr qsizetype Inline = 8;

        quint32 hash = 0;
        qint32 node = -1; // -1: free
        qint64 thisId = 0;
        qint32 size = 0;
        qint32 longId = -1; // in m_longIds, for an identifier longer than Inline
        char16_t text[Inline] = {};
    };

    bool holds(const Slot& slot, const QString& id) const {
        if (id.size() != slot.size) {
            return false;
        }
        return id.size() <= Slot::Inline ? std::equal(slot.text, slot.text + id.size(), id.utf16())
                                         : m_longIds[size_t(slot.longId)] == id;
    }

    // The slot holding the identifier, or the free one where it would go.
    size_t probe(const QString& id, quint32 hash) const {
        const size_t mask = m_slots.size() - 1;
        size_t at = hash & mask;
        while (m_slots[at].node >= 0 && (m_slots[at].hash != hash || !holds(m_slots[at], id))) {
            at = (at + 1) & mask;
        }
        return at;
    }

    // Slots move by their hash alone: no text is compared while growing.
    void grow() {
        std::vector<Slot> old(std::max<size_t>(4096, 2 * m_slots.size()));
        old.swap(m_slots);
        const size_t mask = m_slots.size() - 1;
        for (const Slot& slot : old) {
            if (slot.node >= 0) {
                size_t at = slot.hash & mask;
                while (m_slots[at].node >= 0) {
                    at = (at + 1) & mask;
                }
                m_slots[at] = slot;
            }
        }
    }

    std::vector<Slot> m_slots; // a power of two in size, at most three quarters full
    std::vector<QString> m_longIds;
    size_t m_count = 0;
};

// Captions made of a fixed start and a name ("От: " + author): each name's
// caption goes into the snapshot's pool once, and its nodes share it.
class SharedCaptions {
public:
    SharedCaptions(TreeSnapshot& tree, QString start)
        : m_tree(tree)
        , m_start(std::move(start)) {}

    quint32 of(const QString& name) {
        const auto [at, added] = m_at.try_emplace(name, 0);
        if (added) {
            at->second = m_tree.addText({m_start, name});
        }
        return at->second;
    }

private:
    TreeSnapshot& m_tree;
    QString m_start;
    std::unordered_map<QString, quint32, NameHash> m_at;
};

} // namespace

TreeBuilder::TreeBuilder(const Settings& settings, Database* db, TreeFilter filter)
    : m_settings(settings)
    , m_db(db)
    , m_view(filter) {}

QString TreeBuilder::postCaption(const QString& header) {
    if (header.isEmpty() || header == u" "_s) {
        return u"Без заголовка"_s;
    }
    // Decoding stops one character past the cut: that tells whether to cut.
    QString caption = Escaping::decode(header, Escaping::Names::Html, CaptionLength + 1);
    if (caption.size() > CaptionLength) {
        // A character made of two UTF-16 units is kept whole or left out.
        const bool splitsPair = caption.at(CaptionLength - 1).isHighSurrogate();
        caption.truncate(splitsPair ? CaptionLength - 1 : CaptionLength);
        caption += u"..."_s;
    }
    return caption;
}

TreeSnapshot TreeBuilder::build() const {
    TreeSnapshot tree;
    addFixedNodes(tree);
    if (m_db) {
        addMessages(tree);
        addPrivates(tree);
    }
    tree.seal();
    return tree;
}

void TreeBuilder::addFixedNodes(TreeSnapshot& tree) const {
    const auto fixed = [&](NodeKind kind, const QString& key, const QString& text, int parent) {
        return tree.addNode(kind, tree.addText({key}), tree.addText({text}), IconFolder, parent);
    };
    fixed(NodeKind::Fixed, u"MyDiaryRoot"_s, u"Мой дневник"_s, -1);
    fixed(NodeKind::Diary, m_settings.UserName, u"Мои посты"_s, MyDiaryRoot);
    fixed(NodeKind::Fixed, u"MyPrivates"_s, u"Мои личные сообщения"_s, MyDiaryRoot);
    fixed(NodeKind::Fixed, u"MyForums"_s, u"Сообщения из форумов"_s, MyDiaryRoot);
    fixed(NodeKind::Fixed, u"FriendPostsRoot"_s, u"Дневники друзей"_s, -1);
    tree.nodes[MyDiaryRoot].expanded = true;
    tree.nodes[FriendPostsRoot].expanded = true;
}

void TreeBuilder::addMessages(TreeSnapshot& tree) const {
    TreeRows rows(*m_db);
    const QString& me = m_settings.UserName;

    std::unordered_set<QString, NameHash> postsWithNewComments; // by PostID
    if (m_view.onlyNewComments) {
        rows.comments([&](const CommentRow& c) {
            if (c.isNew) {
                postsWithNewComments.insert(c.postId);
            }
        });
    }
    const int perDiary = postsPerDiary(m_settings.PostsToShow);
    const auto shown = [&](const PostRow& p, int alreadyShown) {
        if (m_view.onlyNewComments) {
            return p.isNew || postsWithNewComments.count(p.postId) != 0;
        }
        // Beyond the limit only what the user has not seen stays.
        return alreadyShown < perDiary || p.isNew || !p.sent;
    };

    // Diaries first, so that they stand in name order whatever their posts. A
    // diary's name is its caption and the rest of its key.
    QHash<QString, int> diaryNode;
    rows.authors([&](const QString& author) {
        if (author != me) {
            const quint32 name = tree.addText({author});
            diaryNode.insert(
                author, tree.addNode(NodeKind::Diary, name, name, IconPerson, FriendPostsRoot));
        }
    });

    // Posts come by author, so the count of shown posts and the parent are
    // looked up once an author.
    PostsById postNode;
    QString author;
    int parent = -1;
    int count = 0;
    bool first = true;
    rows.posts([&](const PostRow& p) {
        if (first || p.uName != author) {
            first = false;
            author = p.uName;
            parent = author == me ? MyPosts : diaryNode.value(author, -1);
            count = 0;
        }
        if (!shown(p, count)) {
            return;
        }
        ++count;
        if (parent < 0) {
            return;
        }
        const quint32 key = tree.addText({p.postId, u"-", Decimal(p.thisId).view()});
        const int node = tree.addNode(NodeKind::Post, key, tree.addText({postCaption(p.header)}),
                                      stateIcon(p.isNew, p.sent, p.inDoubt), parent);
        postNode.add(p.postId, p.thisId, node);
        if (p.isNew) {
            tree.nodes[size_t(node)].isNew = true;
            ++tree.NewInTree;
            tree.makeVisible(node);
        }
    });

    if (m_settings.CommentsInTree) {
        SharedCaptions from(tree, u"От: "_s);
        rows.comments([&](const CommentRow& c) {
            const int parent = postNode.nodeOf(c.postId);
            if (parent < 0 || (m_view.onlyNewComments && !c.isNew)) {
                return;
            }
            const quint32 key = tree.addText({c.commentId, u"-", Decimal(c.thisId).view()});
            const int node = tree.addNode(NodeKind::Comment, key, from.of(c.uName),
                                          stateIcon(c.isNew, c.sent, c.inDoubt), parent);
            if (c.isNew) {
                tree.nodes[size_t(node)].isNew = true;
                ++tree.NewInTree;
                tree.makeVisible(node);
            }
        });
    }

    if (m_view.onlyNewComments) {
        // Diaries left without a post shown are left out too.
        std::vector<bool> hasChild(tree.nodes.size(), false);
        for (const TreeNode& node : tree.nodes) {
            if (node.parent >= 0) {
                hasChild[size_t(node.parent)] = true;
            }
        }
        for (const int diary : diaryNode) {
            if (!hasChild[size_t(diary)]) {
                tree.nodes[size_t(diary)].parent = TreeSnapshot::Dropped;
            }
        }
        tree.compact();
    }
}

void TreeBuilder::addPrivates(TreeSnapshot& tree) const {
    TreeRows rows(*m_db);
    for (const bool outgoing : {true, false}) {
        SharedCaptions captions(tree, outgoing ? u"Кому: "_s : u"От: "_s);
        rows.privates(outgoing, [&](const PrivateRow& m) {
            int icon = IconRead;
            if (m.isNew) {
                icon = IconNew;
                tree.nodes[MyPrivates].expanded = true;
            }
            if (!m.sent) {
                icon = m.inDoubt ? IconInDoubt : IconNotSent;
            }
            const int node = tree.addNode(NodeKind::Private, tree.addText({Decimal(m.id).view()}),
                                          captions.of(m.uName), icon, MyPrivates);
            tree.nodes[size_t(node)].isNew = m.isNew;
        });
    }
}

} // namespace orv
