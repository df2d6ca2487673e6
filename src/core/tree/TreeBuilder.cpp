#include "TreeBuilder.h"

#include "TextHash.h"
#include "app/Escaping.h"
#include "store/Settings.h"
#include "store/TreeRows.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <unordered_map>

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
class PostNodes {
public:
    void add(qint64 thisId, int node) { m_added.push_back({thisId, node}); }

    // Done once every post is added, before the first look-up.
    void index() {
        if (m_added.empty()) {
            return;
        }
        const auto [least, most] =
            std::minmax_element(m_added.cbegin(), m_added.cend(),
                                [](const Added& a, const Added& b) { return a.thisId < b.thisId; });
        m_first = least->thisId;
        const quint64 span = quint64(most->thisId) - quint64(m_first);
        if (span < 4 * m_added.size() + 4096) {
            m_table.assign(size_t(span) + 1, -1);
            for (const Added& post : m_added) {
                m_table[size_t(post.thisId - m_first)] = post.node;
            }
        } else {
            m_hash.reserve(qsizetype(m_added.size()));
            for (const Added& post : m_added) {
                m_hash.insert(post.thisId, post.node);
            }
        }
        m_added = {};
    }

    // -1 for a post not shown.
    int nodeOf(qint64 thisId) const {
        if (m_table.empty()) {
            return m_hash.value(thisId, -1);
        }
        const quint64 at = quint64(thisId) - quint64(m_first);
        return at < m_table.size() ? m_table[size_t(at)] : -1;
    }

private:
    struct Added {
        qint64 thisId;
        int node;
    };
    std::vector<Added> m_added;
    qint64 m_first = 0;
    std::vector<int> m_table;
    QHash<qint64, int> m_hash;
};

// QHash's string hash cost more than the rest of a comment's node.
struct NameHash {
    size_t operator()(const QString& name) const noexcept { return TextHash::of(name); }
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

    QSet<qint64> postsWithNewComments;
    if (m_view.onlyNewComments) {
        rows.comments([&](const CommentRow& c) {
            if (c.isNew) {
                postsWithNewComments.insert(c.postThisId);
            }
        });
    }
    const int perDiary = postsPerDiary(m_settings.PostsToShow);
    const auto shown = [&](const PostRow& p, int alreadyShown) {
        if (m_view.onlyNewComments) {
            return p.isNew || postsWithNewComments.contains(p.thisId);
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
    PostNodes postNode;
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
        postNode.add(p.thisId, node); // ThisID is the table's key: each post comes once
        if (p.isNew) {
            tree.nodes[size_t(node)].isNew = true;
            ++tree.NewInTree;
            tree.makeVisible(node);
        }
    });

    postNode.index();

    if (m_settings.CommentsInTree) {
        SharedCaptions from(tree, u"От: "_s);
        // A comment joined to two posts that share a PostID comes twice, and
        // is shown once. Rows come by CommentID, so both stand in the run of
        // rows with its CommentID: only that run is remembered.
        QString runId;
        std::vector<qint64> runShown;
        rows.comments([&](const CommentRow& c) {
            const int parent = postNode.nodeOf(c.postThisId);
            if (parent < 0 || (m_view.onlyNewComments && !c.isNew)) {
                return;
            }
            if (c.commentId != runId) {
                runId = c.commentId;
                runShown.clear();
            } else if (std::find(runShown.cbegin(), runShown.cend(), c.thisId) != runShown.cend()) {
                return;
            }
            runShown.push_back(c.thisId);
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
