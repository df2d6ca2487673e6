#include "TreeBuilder.h"

#include "NodeKey.h"
#include "app/HtmlEntities.h"
#include "store/Settings.h"
#include "store/TreeRows.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;

namespace orv {
namespace {

// The state picture of a post or comment; new items are counted and shown.
int stateIcon(bool isNew, bool sent) {
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
    QString caption = HtmlEntities::decode(header, CaptionLength + 1);
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
    return tree;
}

void TreeBuilder::addFixedNodes(TreeSnapshot& tree) const {
    auto& nodes = tree.nodes;
    nodes.push_back({u"MyDiaryRoot"_s, u"Мой дневник"_s, IconFolder, -1, true});
    nodes.push_back({NodeKey::diary(m_settings.UserName), u"Мои посты"_s, IconFolder, MyDiaryRoot});
    nodes.push_back({u"MyPrivates"_s, u"Мои личные сообщения"_s, IconFolder, MyDiaryRoot});
    nodes.push_back({u"MyForums"_s, u"Сообщения из форумов"_s, IconFolder, MyDiaryRoot});
    nodes.push_back({u"FriendPostsRoot"_s, u"Дневники друзей"_s, IconFolder, -1, true});
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
    const auto shown = [&](const PostRow& p, int alreadyShown) {
        if (m_view.onlyNewComments) {
            return p.isNew || postsWithNewComments.contains(p.thisId);
        }
        // Beyond the limit only what the user has not seen stays.
        return alreadyShown < postsPerDiary(m_settings.PostsToShow) || p.isNew || !p.sent;
    };

    // Diaries first, so that they stand in name order whatever their posts.
    QHash<QString, int> diaryNode;
    rows.authors([&](const QString& author) {
        if (author != me) {
            diaryNode.insert(author, int(tree.nodes.size()));
            tree.nodes.push_back({NodeKey::diary(author), author, IconPerson, FriendPostsRoot});
        }
    });

    QHash<qint64, int> postNode;
    QHash<QString, int> shownPerDiary;
    rows.posts([&](const PostRow& p) {
        int& count = shownPerDiary[p.uName];
        if (!shown(p, count)) {
            return;
        }
        ++count;
        const int parent = p.uName == me ? MyPosts : diaryNode.value(p.uName, -1);
        if (parent < 0 || postNode.contains(p.thisId)) {
            return;
        }
        postNode.insert(p.thisId, int(tree.nodes.size()));
        tree.nodes.push_back({NodeKey::post(p.postId, p.thisId), postCaption(p.header),
                              stateIcon(p.isNew, p.sent), parent, false, p.isNew});
        if (p.isNew) {
            ++tree.NewInTree;
            tree.makeVisible(int(tree.nodes.size()) - 1);
        }
    });

    if (m_settings.CommentsInTree) {
        QSet<qint64> added;
        rows.comments([&](const CommentRow& c) {
            const int parent = postNode.value(c.postThisId, -1);
            if (parent < 0 || (m_view.onlyNewComments && !c.isNew) || added.contains(c.thisId)) {
                return;
            }
            added.insert(c.thisId);
            tree.nodes.push_back({NodeKey::comment(c.commentId, c.thisId), u"От: "_s + c.uName,
                                  stateIcon(c.isNew, c.sent), parent, false, c.isNew});
            if (c.isNew) {
                ++tree.NewInTree;
                tree.makeVisible(int(tree.nodes.size()) - 1);
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
        rows.privates(outgoing, [&](const PrivateRow& m) {
            int icon = IconRead;
            if (m.isNew) {
                icon = IconNew;
                tree.nodes[MyPrivates].expanded = true;
            }
            if (!m.sent) {
                icon = IconNotSent;
            }
            tree.nodes.push_back({NodeKey::privateMessage(m.id),
                                  (outgoing ? u"Кому: "_s : u"От: "_s) + m.uName, icon, MyPrivates,
                                  false, m.isNew});
        });
    }
}

} // namespace orv
