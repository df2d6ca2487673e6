#include "TreeBuilder.h"

#include "PostsById.h"
#include "TextHash.h"
#include "app/Escaping.h"
#include "store/CommentRows.h"
#include "store/Settings.h"
#include "store/TreeRows.h"

#include <QHash>
#include <QSet>
#include <algorithm>
#include <limits>
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

// QHash's string hash cost more than the rest of a comment's node.
struct NameHash {
    size_t operator()(QStringView name) const noexcept { return TextHash::of(name); }
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

// Puts comments under their posts a block of rows at a time. Comments land
// on posts all over the tree, so the look-up of a comment a few rows on is
// started early: waiting for memory was most of a comment's cost.
class CommentPlacer {
public:
    CommentPlacer(TreeSnapshot& tree, const PostsById& posts, bool onlyNew)
        : m_tree(tree)
        , m_posts(posts)
        , m_onlyNew(onlyNew) {}

    void place(const CommentRows& block) {
        m_authors.insert(m_authors.end(), block.newAuthors().begin(), block.newAuthors().end());
        m_captions.resize(m_authors.size(), NoCaption);
        constexpr size_t Ahead = 8;
        const std::vector<CommentRows::Row>& rows = block.rows();
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i + Ahead < rows.size()) {
                m_posts.prefetch(block.postId(rows[i + Ahead]));
            }
            const CommentRows::Row& c = rows[i];
            const int parent = m_posts.nodeOf(block.postId(c));
            if (parent < 0 || (m_onlyNew && !c.isNew)) {
                continue;
            }
            const quint32 key =
                m_tree.addText({block.commentId(c), u"-", Decimal(c.thisId).view()});
            const int node = m_tree.addNode(NodeKind::Comment, key, captionOf(c.author),
                                            stateIcon(c.isNew, c.sent, c.inDoubt), parent);
            if (c.isNew) {
                m_tree.nodes[size_t(node)].isNew = true;
                ++m_tree.NewInTree;
                m_tree.makeVisible(node);
            }
        }
    }

private:
    static constexpr quint32 NoCaption = std::numeric_limits<quint32>::max();

    // "От: " and the author's name, put in the pool once an author.
    quint32 captionOf(quint32 author) {
        quint32& caption = m_captions[author];
        if (caption == NoCaption) {
            caption = m_tree.addText({u"От: ", m_authors[author]});
        }
        return caption;
    }

    TreeSnapshot& m_tree;
    const PostsById& m_posts;
    const bool m_onlyNew;
    std::vector<QString> m_authors;
    std::vector<quint32> m_captions; // in the pool, by author
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
    // The comments are read once the posts are in, or first when only new
    // ones are shown; preparing the query reads nothing yet.
    CommentReader comments(*m_db);

    // Showing only new comments takes them all before the posts: the posts
    // shown are those with a new comment. The PostIDs point into the blocks'
    // text, which moves with each block into allComments.
    std::vector<CommentRows> allComments;
    std::unordered_set<QStringView, NameHash> postsWithNewComments; // by PostID
    if (m_view.onlyNewComments) {
        for (CommentRows block; comments.next(block);) {
            for (const CommentRows::Row& c : block.rows()) {
                if (c.isNew) {
                    postsWithNewComments.insert(block.postId(c));
                }
            }
            allComments.push_back(std::move(block));
            block = CommentRows();
        }
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
    TreeRows rows(*m_db);
    const QString& me = m_settings.UserName;
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
        CommentPlacer placer(tree, postNode, m_view.onlyNewComments);
        for (const CommentRows& block : allComments) {
            placer.place(block);
        }
        for (CommentRows block; !m_view.onlyNewComments && comments.next(block);) {
            placer.place(block);
        }
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
