#include "TestFolder.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "tree/NodeKey.h"
#include "tree/TreeBuilder.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture {
    test::TestFolder dir;
    Database db{dir.file(u"database.mdb"_s)};
    Settings settings;

    Fixture() {
        db.open();
        settings.UserName = u"me"_s;
        settings.PostsToShow = u"50"_s;
        settings.CommentsInTree = true;
    }

    qint64 post(const QString& author, const QString& postId, bool isNew = false, bool sent = true,
                const QString& header = u"Заголовок"_s) {
        QSqlQuery q = db.prepare(u"INSERT INTO Posts (uName, PostID, Header, New, Sent) "
                                 u"VALUES (?, ?, ?, ?, ?)"_s);
        q.addBindValue(author);
        q.addBindValue(postId);
        q.addBindValue(header);
        q.addBindValue(isNew ? 1 : 0);
        q.addBindValue(sent ? 1 : 0);
        Database::exec(q);
        return q.lastInsertId().toLongLong();
    }
    qint64 comment(const QString& postId, const QString& commentId, bool isNew = false,
                   bool sent = true) {
        QSqlQuery q = db.prepare(u"INSERT INTO Comments (uName, PostID, CommentID, New, Sent) "
                                 u"VALUES ('Ёжик', ?, ?, ?, ?)"_s);
        q.addBindValue(postId);
        q.addBindValue(commentId);
        q.addBindValue(isNew ? 1 : 0);
        q.addBindValue(sent ? 1 : 0);
        Database::exec(q);
        return q.lastInsertId().toLongLong();
    }
    void privateMessage(bool out, const QString& who, const QString& date, bool isNew, bool sent) {
        QSqlQuery q = db.prepare(u"INSERT INTO PrivateMessages (Out, uName, Messagedate, New, "
                                 u"Sent) VALUES (?, ?, ?, ?, ?)"_s);
        q.addBindValue(out ? 1 : 0);
        q.addBindValue(who);
        q.addBindValue(date);
        q.addBindValue(isNew ? 1 : 0);
        q.addBindValue(sent ? 1 : 0);
        Database::exec(q);
    }

    TreeSnapshot build(TreeFilter filter = {}) {
        return TreeBuilder(settings, &db, filter).build();
    }
};

// "key|text|icon|parent key" a node, in tree order.
QStringList describe(const TreeSnapshot& tree) {
    QStringList lines;
    for (const TreeNode& node : tree.nodes) {
        lines.append(tree.key(node) + u'|' + tree.text(node) + u'|' + QString::number(node.icon) +
                     u'|' + (node.parent < 0 ? QString() : tree.key(node.parent)));
    }
    return lines;
}

// Every field of every node in tree order: "key|text|icon|parent key|flags",
// the flags E (expanded), N (new) and S (a selected picture of its own).
QStringList describeFully(const TreeSnapshot& tree) {
    QStringList lines;
    for (const TreeNode& node : tree.nodes) {
        QString flags;
        flags += node.expanded ? u"E"_s : QString();
        flags += node.isNew ? u"N"_s : QString();
        flags += node.selectedIcon != 0 ? u"S"_s : QString();
        lines.append(tree.key(node) + u'|' + tree.text(node) + u'|' + QString::number(node.icon) +
                     u'|' + (node.parent < 0 ? QString() : tree.key(node.parent)) + u'|' + flags);
    }
    return lines;
}

} // namespace

class TreeTest : public QObject {
    Q_OBJECT

private slots:
    void emptyStoreHasTheFixedNodes() {
        Fixture f;
        const TreeSnapshot tree = f.build();
        QCOMPARE(describe(tree),
                 QStringList({u"MyDiaryRoot|Мой дневник|1|"_s, u"key-me|Мои посты|1|MyDiaryRoot"_s,
                              u"MyPrivates|Мои личные сообщения|1|MyDiaryRoot"_s,
                              u"MyForums|Сообщения из форумов|1|MyDiaryRoot"_s,
                              u"FriendPostsRoot|Дневники друзей|1|"_s}));
        QVERIFY(tree.nodes[0].expanded && tree.nodes[4].expanded);
        QVERIFY(!tree.nodes[1].expanded);
        QCOMPARE(tree.NewInTree, 0);
    }

    void captions_data() {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("caption");
        QTest::newRow("28 characters") << QString(28, u'я') << QString(28, u'я');
        QTest::newRow("29 characters") << QString(29, u'я') << QString(28, u'я') + u"..."_s;
        QTest::newRow("empty") << QString() << u"Без заголовка"_s;
        QTest::newRow("one blank") << u" "_s << u"Без заголовка"_s;
        QTest::newRow("two blanks") << u"  "_s << u"  "_s;
        QTest::newRow("decoded") << u"&QUOT;Да&quot; &laquo;&#x1F600;"_s << u"\"Да\" «\U0001F600"_s;
        // The cut counts decoded characters: 28 of them stay whole.
        QTest::newRow("cut after decoding, whole")
            << QString(27, u'я') + u"&mdash;"_s << QString(27, u'я') + u"—"_s;
        QTest::newRow("cut after decoding, cut")
            << QString(28, u'я') + u"&mdash;"_s << QString(28, u'я') + u"..."_s;
        QString entities;
        for (int i = 0; i < 29; ++i) {
            entities += u"&laquo;"_s;
        }
        QTest::newRow("29 entities") << entities << QString(28, u'«') + u"..."_s;
        QTest::newRow("28 entities") << entities.sliced(7) << QString(28, u'«');
        QTest::newRow("the cut keeps a character whole")
            << QString(27, u'я') + u"&#x1F600;!"_s << QString(27, u'я') + u"..."_s;
    }

    void entitiesChangeOnlyTheCaption() {
        Fixture f;
        const qint64 post =
            f.post(u"a&amp;b"_s, u"7&amp;1"_s, false, true, u"&laquo;Да&raquo; &amp;quot;"_s);
        const TreeSnapshot tree = f.build();
        const QString key = u"friendpostkey-7&amp;1-"_s + QString::number(post);
        const int node = tree.indexOfKey(key);
        QVERIFY(node >= 0);
        QCOMPARE(tree.text(node), u"«Да» &quot;"_s);
        // The diary's name is a name, not a caption: as stored, in its key too.
        QCOMPARE(tree.text(tree.nodes[size_t(node)].parent), u"a&amp;b"_s);
        QCOMPARE(tree.key(tree.nodes[size_t(node)].parent), u"key-a&amp;b"_s);
        QSqlQuery q = f.db.prepare(u"SELECT Header FROM Posts WHERE ThisID = ?"_s);
        q.addBindValue(post);
        Database::exec(q);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"&laquo;Да&raquo; &amp;quot;"_s);
    }

    void newItemsAreFlaggedAndCountedBelow() {
        Fixture f;
        f.post(u"anna"_s, u"101"_s, true);
        f.post(u"anna"_s, u"102"_s);
        f.post(u"boris"_s, u"201"_s, true, false); // new and not sent: new too
        f.post(u"me"_s, u"301"_s);
        f.comment(u"101"_s, u"9001"_s, true);
        f.comment(u"102"_s, u"9002"_s, true);
        f.comment(u"102"_s, u"9003"_s);
        f.comment(u"301"_s, u"9004"_s, true);
        f.privateMessage(false, u"vova"_s, u"2006-03-01 10:00:00"_s, true, true);
        f.privateMessage(false, u"gena"_s, u"2006-03-01 11:00:00"_s, false, true);
        const TreeSnapshot tree = f.build();
        QStringList flagged;
        for (const TreeNode& node : tree.nodes) {
            if (node.isNew) {
                flagged.append(tree.key(node).section(u'-', 0, 1));
            }
        }
        QCOMPARE(flagged,
                 QStringList({u"friendpostkey-201"_s, u"friendpostkey-101"_s, u"commkey-9001"_s,
                              u"commkey-9002"_s, u"commkey-9004"_s, u"privkey-1"_s}));
        const auto count = [&](const QString& key) {
            return tree.shape().newBelow(tree.indexOfKey(key));
        };
        QCOMPARE(count(u"key-anna"_s), 3);
        QCOMPARE(count(u"key-boris"_s), 1);
        QCOMPARE(count(u"FriendPostsRoot"_s), 4);
        QCOMPARE(count(u"key-me"_s), 1);
        QCOMPARE(count(u"MyPrivates"_s), 1);
        QCOMPARE(count(u"MyDiaryRoot"_s), 2);
        QCOMPARE(count(u"MyForums"_s), 0);
    }

    void nodeKeysReadFromBothEnds() {
        // A service identifier with "-" must not make the key name another row.
        const NodeKey post(NodeKey::post(u"ab-5-1"_s, 3));
        QCOMPARE(post.kind(), NodeKey::Post);
        QCOMPARE(post.serviceId(), u"ab-5-1"_s);
        QCOMPARE(post.localId(), u"3"_s);
        QCOMPARE(post.message()->localId, 3);
        QCOMPARE(post.message()->kind, MessageRef::Kind::Post);
        const NodeKey comment(NodeKey::comment(u"tmp7"_s, 7));
        QCOMPARE(comment.message()->serviceId, u"tmp7"_s);
        const NodeKey privateMessage(NodeKey::privateMessage(12));
        QCOMPARE(privateMessage.message()->kind, MessageRef::Kind::Private);
        QCOMPARE(privateMessage.message()->localId, 12);
        QCOMPARE(NodeKey(NodeKey::diary(u"anna-maria"_s)).owner(), u"anna-maria"_s);
        QVERIFY(!NodeKey(NodeKey::diary(u"anna"_s)).message());
        QVERIFY(!NodeKey(u"MyDiaryRoot"_s).message());
    }

    void captions() {
        QFETCH(QString, header);
        QFETCH(QString, caption);
        QCOMPARE(TreeBuilder::postCaption(header), caption);
    }

    void orderKeysAndIcons() {
        Fixture f;
        const qint64 mine = f.post(u"me"_s, u"500"_s);
        const qint64 a = f.post(u"anna"_s, u"101"_s);
        const qint64 c = f.post(u"anna"_s, u"103"_s, true);
        const qint64 b = f.post(u"anna"_s, u"102"_s);
        const qint64 draft = f.post(u"anna"_s, u"tmp9"_s, false, false);
        const qint64 boris = f.post(u"boris"_s, u"200"_s, true, false);
        const qint64 c2 = f.comment(u"101"_s, u"9002"_s, true);
        const qint64 c1 = f.comment(u"101"_s, u"9001"_s);
        f.comment(u"404"_s, u"9003"_s); // its post is not stored: not shown
        const TreeSnapshot tree = f.build();
        const auto k = [](const QString& id, qint64 thisId) -> QString {
            return u"friendpostkey-"_s + id + u'-' + QString::number(thisId);
        };
        QCOMPARE(describe(tree).mid(5),
                 QStringList({
                     u"key-anna|anna|4|FriendPostsRoot"_s,
                     u"key-boris|boris|4|FriendPostsRoot"_s,
                     k(u"500"_s, mine) + u"|Заголовок|3|key-me"_s, // authors in descending order
                     k(u"200"_s, boris) + u"|Заголовок|5|key-boris"_s,
                     k(u"tmp9"_s, draft) + u"|Заголовок|6|key-anna"_s,
                     k(u"103"_s, c) + u"|Заголовок|2|key-anna"_s,
                     k(u"102"_s, b) + u"|Заголовок|3|key-anna"_s,
                     k(u"101"_s, a) + u"|Заголовок|3|key-anna"_s,
                     u"commkey-9001-"_s + QString::number(c1) + u"|От: Ёжик|3|"_s + k(u"101"_s, a),
                     u"commkey-9002-"_s + QString::number(c2) + u"|От: Ёжик|2|"_s + k(u"101"_s, a),
                 }));
        QCOMPARE(tree.NewInTree, 3);
        // New items are made visible: the diary and the post above the new comment open.
        QVERIFY(tree.nodes[size_t(tree.indexOfKey(u"key-anna"_s))].expanded);
        QVERIFY(tree.nodes[size_t(tree.indexOfKey(k(u"101"_s, a)))].expanded);
        QVERIFY(!tree.nodes[size_t(tree.indexOfKey(k(u"102"_s, b)))].expanded);
    }

    void privateMessagesOutgoingFirstNewestFirst() {
        Fixture f;
        f.privateMessage(false, u"anna"_s, u"2006-03-01 10:00:00"_s, true, true);
        f.privateMessage(true, u"boris"_s, u"2006-03-01 09:00:00"_s, false, false);
        f.privateMessage(false, u"vova"_s, u"2006-03-02 10:00:00"_s, false, true);
        f.privateMessage(true, u"gena"_s, u"2006-03-03 10:00:00"_s, false, true);
        const TreeSnapshot tree = f.build();
        QStringList texts;
        for (size_t i = 5; i < tree.nodes.size(); ++i) {
            texts.append(tree.text(int(i)) + u'|' + QString::number(tree.nodes[i].icon));
        }
        QCOMPARE(texts, QStringList({u"Кому: gena|3"_s, u"Кому: boris|5"_s, u"От: vova|3"_s,
                                     u"От: anna|2"_s}));
        QVERIFY(tree.nodes[2].expanded); // a new message opens "Мои личные сообщения"
        QCOMPARE(tree.NewInTree, 0);     // private messages are not counted
    }

    void onlyNewCommentsShowsWhatIsNew() {
        Fixture f;
        f.post(u"anna"_s, u"1"_s);
        f.post(u"anna"_s, u"2"_s);
        f.post(u"boris"_s, u"3"_s);
        f.post(u"vova"_s, u"4"_s, true);
        f.comment(u"1"_s, u"10"_s, true);
        f.comment(u"1"_s, u"11"_s);
        f.comment(u"3"_s, u"12"_s);
        TreeFilter filter;
        filter.onlyNewComments = true;
        QStringList keys;
        const TreeSnapshot tree = f.build(filter);
        for (const TreeNode& node : tree.nodes) {
            keys.append(tree.key(node).section(u'-', 0, 1));
        }
        QCOMPARE(keys.mid(5), QStringList({u"key-anna"_s, u"key-vova"_s, u"friendpostkey-4"_s,
                                           u"friendpostkey-1"_s, u"commkey-10"_s}));
    }

    // A store with a bit of everything, the tree checked node by node: entities
    // and long headers, drafts, a PostID stored twice (its comment is joined to
    // both posts and shown once), rows the tree leaves out, own and foreign
    // diaries, private messages both ways.
    void aWholeStoreNodeByNode_data() {
        QTest::addColumn<bool>("onlyNew");
        QTest::addColumn<QString>("postsToShow");
        QTest::addColumn<QStringList>("nodes");
        QTest::addColumn<int>("newInTree");
        // "Мои посты" opens when one of its nodes is new.
        const auto fixed = [](bool myPostsOpen) {
            return QStringList({
                u"MyDiaryRoot|Мой дневник|1||E"_s,
                u"key-me|Мои посты|1|MyDiaryRoot|"_s + (myPostsOpen ? u"E"_s : QString()),
                u"MyPrivates|Мои личные сообщения|1|MyDiaryRoot|E"_s,
                u"MyForums|Сообщения из форумов|1|MyDiaryRoot|"_s,
                u"FriendPostsRoot|Дневники друзей|1||E"_s,
            });
        };
        QTest::newRow("everything")
            << false << u"50"_s
            << fixed(true) +
                   QStringList({
                       u"key-anna|anna|4|FriendPostsRoot|E"_s,
                       u"key-boris|boris|4|FriendPostsRoot|E"_s,
                       u"key-d'Art&amp;an|d'Art&amp;an|4|FriendPostsRoot|"_s,
                       u"key-gena|gena|4|FriendPostsRoot|"_s,
                       u"key-vova|vova|4|FriendPostsRoot|E"_s,
                       u"friendpostkey-300-7|Второй с 300|2|key-vova|N"_s,
                       u"friendpostkey-tmp2-11|Мой черновик|6|key-me|"_s,
                       u"friendpostkey-500-1|Мой пост|3|key-me|E"_s,
                       u"friendpostkey-600-10|Старое|3|key-gena|"_s,
                       u"friendpostkey-400-8|x|3|key-d'Art&amp;an|"_s,
                       u"friendpostkey-300-6|Первый с 300|3|key-boris|E"_s,
                       u"friendpostkey-tmp1-5|Без заголовка|6|key-anna|"_s,
                       u"friendpostkey-103-4|Очень длинный заголовок пост...|3|key-anna|"_s,
                       u"friendpostkey-102-3|Без заголовка|2|key-anna|N"_s,
                       u"friendpostkey-101-2|«Весна» — Я|3|key-anna|E"_s,
                       u"commkey-10-7|От: d'Art&amp;an|3|friendpostkey-102-3|"_s,
                       u"commkey-9000-2|От: marta|3|friendpostkey-101-2|"_s,
                       u"commkey-9001-1|От: Ёжик|2|friendpostkey-101-2|N"_s,
                       u"commkey-9100-3|От: Ёжик|2|friendpostkey-300-6|N"_s,
                       u"commkey-9200-4|От: anna|2|friendpostkey-500-1|N"_s,
                       u"commkey-9500-9|От: gena|3|friendpostkey-600-10|"_s,
                       u"commkey-tmp5-8|От: me|6|friendpostkey-tmp1-5|"_s,
                       u"privkey-1|Кому: boris|5|MyPrivates|"_s,
                       u"privkey-2|От: anna|2|MyPrivates|N"_s,
                       u"privkey-3|От: vova|3|MyPrivates|"_s,
                   })
            << 5;
        QTest::newRow("one post a diary")
            << false << u"1"_s
            << fixed(false) + QStringList({
                                  u"key-anna|anna|4|FriendPostsRoot|E"_s,
                                  u"key-boris|boris|4|FriendPostsRoot|E"_s,
                                  u"key-d'Art&amp;an|d'Art&amp;an|4|FriendPostsRoot|"_s,
                                  u"key-gena|gena|4|FriendPostsRoot|"_s,
                                  u"key-vova|vova|4|FriendPostsRoot|E"_s,
                                  u"friendpostkey-300-7|Второй с 300|2|key-vova|N"_s,
                                  u"friendpostkey-tmp2-11|Мой черновик|6|key-me|"_s,
                                  u"friendpostkey-600-10|Старое|3|key-gena|"_s,
                                  u"friendpostkey-400-8|x|3|key-d'Art&amp;an|"_s,
                                  u"friendpostkey-300-6|Первый с 300|3|key-boris|E"_s,
                                  u"friendpostkey-tmp1-5|Без заголовка|6|key-anna|"_s,
                                  u"friendpostkey-102-3|Без заголовка|2|key-anna|N"_s,
                                  u"commkey-10-7|От: d'Art&amp;an|3|friendpostkey-102-3|"_s,
                                  u"commkey-9100-3|От: Ёжик|2|friendpostkey-300-6|N"_s,
                                  u"commkey-9500-9|От: gena|3|friendpostkey-600-10|"_s,
                                  u"commkey-tmp5-8|От: me|6|friendpostkey-tmp1-5|"_s,
                                  u"privkey-1|Кому: boris|5|MyPrivates|"_s,
                                  u"privkey-2|От: anna|2|MyPrivates|N"_s,
                                  u"privkey-3|От: vova|3|MyPrivates|"_s,
                              })
            << 3;
        QTest::newRow("only new comments")
            << true << u"50"_s
            << fixed(true) + QStringList({
                                 u"key-anna|anna|4|FriendPostsRoot|E"_s,
                                 u"key-boris|boris|4|FriendPostsRoot|E"_s,
                                 u"key-vova|vova|4|FriendPostsRoot|E"_s,
                                 u"friendpostkey-300-7|Второй с 300|2|key-vova|N"_s,
                                 u"friendpostkey-500-1|Мой пост|3|key-me|E"_s,
                                 u"friendpostkey-300-6|Первый с 300|3|key-boris|E"_s,
                                 u"friendpostkey-102-3|Без заголовка|2|key-anna|N"_s,
                                 u"friendpostkey-101-2|«Весна» — Я|3|key-anna|E"_s,
                                 u"commkey-9001-1|От: Ёжик|2|friendpostkey-101-2|N"_s,
                                 u"commkey-9100-3|От: Ёжик|2|friendpostkey-300-6|N"_s,
                                 u"commkey-9200-4|От: anna|2|friendpostkey-500-1|N"_s,
                                 u"privkey-1|Кому: boris|5|MyPrivates|"_s,
                                 u"privkey-2|От: anna|2|MyPrivates|N"_s,
                                 u"privkey-3|От: vova|3|MyPrivates|"_s,
                             })
            << 5;
    }

    void aWholeStoreNodeByNode() {
        QFETCH(bool, onlyNew);
        QFETCH(QString, postsToShow);
        QFETCH(QStringList, nodes);
        QFETCH(int, newInTree);
        Fixture f;
        f.db.execute(u"INSERT INTO Posts (ThisID, uName, PostID, Header, New, Sent) VALUES "
                     u"(1, 'me', '500', 'Мой пост', 0, 1),"
                     u"(2, 'anna', '101', '&laquo;Весна&raquo; &mdash; &#1071;', 0, 1),"
                     u"(3, 'anna', '102', '', 1, 1),"
                     u"(4, 'anna', '103', 'Очень длинный заголовок поста, длиннее предела', 0, 1),"
                     u"(5, 'anna', 'tmp1', ' ', 0, 0),"
                     u"(6, 'boris', '300', 'Первый с 300', 0, 1),"
                     u"(7, 'vova', '300', 'Второй с 300', 1, 1),"
                     u"(8, 'd''Art&amp;an', '400', 'x', 0, 1),"
                     u"(9, 'anna', NULL, 'Без номера', 1, 0),"
                     u"(10, 'gena', '600', 'Старое', 0, 1),"
                     u"(11, 'me', 'tmp2', 'Мой черновик', 0, 0)"_s);
        f.db.execute(u"INSERT INTO Comments (ThisID, uName, PostID, CommentID, New, Sent) VALUES "
                     u"(1, 'Ёжик', '101', '9001', 1, 1),"
                     u"(2, 'marta', '101', '9000', 0, 1),"
                     u"(3, 'Ёжик', '300', '9100', 1, 1),"
                     u"(4, 'anna', '500', '9200', 1, 1),"
                     u"(5, 'anna', '404', '9300', 1, 1),"
                     u"(6, 'anna', '101', NULL, 1, 1),"
                     u"(7, 'd''Art&amp;an', '102', '10', 0, 1),"
                     u"(8, 'me', 'tmp1', 'tmp5', 0, 0),"
                     u"(9, 'gena', '600', '9500', 0, 1)"_s);
        f.privateMessage(true, u"boris"_s, u"2006-03-01 09:00:00"_s, false, false);
        f.privateMessage(false, u"anna"_s, u"2006-03-02 10:00:00"_s, true, true);
        f.privateMessage(false, u"vova"_s, u"2006-03-01 10:00:00"_s, false, true);
        f.settings.PostsToShow = postsToShow;
        TreeFilter filter;
        filter.onlyNewComments = onlyNew;
        const TreeSnapshot tree = f.build(filter);
        QCOMPARE(describeFully(tree), nodes);
        QCOMPARE(tree.NewInTree, newInTree);
    }

    // Keys are kept without their kind's prefix: a key is found whole, and
    // only whole, whatever it shares with another.
    void keysAreFoundWholeAndOnlyWhole() {
        Fixture f;
        f.settings.UserName = u"ab-c"_s;
        const qint64 dashed = f.post(u"anna"_s, u"ab-5-1"_s);
        const qint64 plain = f.post(u"anna"_s, u"5"_s);
        const qint64 comment = f.comment(u"5"_s, u"12"_s);
        f.privateMessage(false, u"vova"_s, u"2006-03-01 10:00:00"_s, false, true);
        const TreeSnapshot tree = f.build();
        const QString dashedKey = u"friendpostkey-ab-5-1-"_s + QString::number(dashed);
        QCOMPARE(tree.key(tree.indexOfKey(dashedKey)), dashedKey);
        QCOMPARE(tree.indexOfKey(u"key-ab-c"_s), int(MyPosts));
        QCOMPARE(tree.key(MyPosts), u"key-ab-c"_s);
        QCOMPARE(tree.key(tree.indexOfKey(u"privkey-1"_s)), u"privkey-1"_s);
        const QString commentKey = u"commkey-12-"_s + QString::number(comment);
        QCOMPARE(tree.text(tree.indexOfKey(commentKey)), u"От: Ёжик"_s);
        const QStringList missing = {
            u"friendpostkey-5"_s,                                  // the start of one
            u"friendpostkey-5-"_s + QString::number(plain) + u'0', // one past its end
            u"commkey-5-"_s + QString::number(plain),              // another kind
            u"friendpostkey_5-"_s + QString::number(plain),        // another separator
            u"5-"_s + QString::number(plain),                      // no kind
            u"key-"_s,
            u"key"_s,
            u"anna"_s,
            u"privkey-"_s,
            QString(),        // parts
            u"mydiaryroot"_s, // another case
        };
        for (const QString& key : missing) {
            QVERIFY2(tree.indexOfKey(key) < 0, qPrintable(key));
        }
    }

    // A name or header of any length is kept whole, beyond 16 bits of length.
    void longTextsStayWhole() {
        Fixture f;
        const QString name = QString(70000, u'я') + u"!"_s;
        f.post(name, u"1"_s, false, true, QString(70000, u'ж'));
        f.privateMessage(true, name, u"2006-03-01 10:00:00"_s, false, true);
        const TreeSnapshot tree = f.build();
        const int diary = tree.indexOfKey(u"key-"_s + name);
        QVERIFY(diary > FriendPostsRoot);
        QCOMPARE(tree.text(diary), name);
        QCOMPARE(tree.text(diary + 1), QString(28, u'ж') + u"..."_s);
        QCOMPARE(tree.text(int(tree.nodes.size()) - 1), u"Кому: "_s + name);
    }

    // The shape a view walks: children by node order under their parent, rows,
    // and the new items counted up to the top.
    void theShapeFollowsTheNodes() {
        Fixture f;
        f.post(u"anna"_s, u"101"_s, true);
        f.post(u"anna"_s, u"102"_s);
        f.post(u"boris"_s, u"201"_s);
        f.comment(u"101"_s, u"9001"_s, true);
        f.comment(u"102"_s, u"9002"_s, true);
        f.comment(u"101"_s, u"9003"_s);
        TreeSnapshot tree = f.build();
        QVERIFY(tree.isSealed());
        const TreeShape& shape = tree.shape();
        for (int parent = -1; parent < int(tree.nodes.size()); ++parent) {
            std::vector<int> expected;
            for (int n = 0; n < int(tree.nodes.size()); ++n) {
                if (tree.nodes[size_t(n)].parent == parent) {
                    expected.push_back(n);
                }
            }
            const auto children = shape.children(parent);
            QCOMPARE(std::vector<int>(children.begin(), children.end()), expected);
            for (size_t row = 0; row < expected.size(); ++row) {
                QCOMPARE(shape.row(expected[row]), int(row));
            }
        }
        const int anna = tree.indexOfKey(u"key-anna"_s);
        const int post = tree.indexOfKey(u"friendpostkey-101-1"_s);
        const int later = tree.indexOfKey(u"friendpostkey-102-2"_s);
        QCOMPARE(later, post - 1); // PostID descending
        QCOMPARE(shape.newBelow(post), 1);
        QCOMPARE(shape.newBelow(anna), 3);
        QCOMPARE(shape.newBelow(FriendPostsRoot), 3);
        QCOMPARE(shape.newTotal(), 3);

        // Read, new again, and taken out: every count above follows.
        QVERIFY(tree.setNew(post, false));
        QVERIFY(!tree.setNew(post, false));
        QCOMPARE(shape.newBelow(anna), 2);
        QCOMPARE(shape.newTotal(), 2);
        QVERIFY(tree.setNew(post, true));
        QCOMPARE(shape.newBelow(FriendPostsRoot), 3);
        QCOMPARE(shape.row(post), 1);
        tree.remove(later);
        QCOMPARE(shape.children(anna).size(), size_t(1));
        QCOMPARE(shape.row(post), 0);
        QCOMPARE(shape.newBelow(anna), 2);
        QCOMPARE(shape.newTotal(), 2);
        QCOMPARE(tree.indexOfKey(u"friendpostkey-102-2"_s), -1);
        QCOMPARE(tree.indexOfKey(u"commkey-9002-2"_s), -1); // its comment went with it
        QCOMPARE(tree.text(later), u"Заголовок"_s);         // the node itself stays
        tree.remove(post);
        QVERIFY(shape.children(anna).empty());
        QCOMPARE(shape.newTotal(), 0);
        QCOMPARE(shape.children(FriendPostsRoot).size(), size_t(2));
    }

    // Comments find their post by its ThisID whether ThisIDs lie close
    // together, as the store hands them out, or far apart.
    void commentsFindTheirPostWhateverItsThisId_data() {
        QTest::addColumn<QList<qint64>>("thisIds");
        QTest::newRow("close") << QList<qint64>{7, 8, 9};
        QTest::newRow("far apart") << QList<qint64>{-7, 40, 3000000000};
        QTest::newRow("extremes") << QList<qint64>{std::numeric_limits<qint64>::min(), 0,
                                                   std::numeric_limits<qint64>::max()};
    }

    void commentsFindTheirPostWhateverItsThisId() {
        QFETCH(QList<qint64>, thisIds);
        Fixture f;
        QStringList expected;
        for (qsizetype i = 0; i < thisIds.size(); ++i) {
            const QString postId = QString::number(100 + i);
            QSqlQuery q = f.db.prepare(u"INSERT INTO Posts (ThisID, uName, PostID, Header, Sent) "
                                       u"VALUES (?, 'anna', ?, 'Заголовок', 1)"_s);
            q.addBindValue(thisIds[i]);
            q.addBindValue(postId);
            Database::exec(q);
            const qint64 comment = f.comment(postId, QString::number(9000 + i));
            expected.append(u"commkey-"_s + QString::number(9000 + i) + u'-' +
                            QString::number(comment) + u" under friendpostkey-"_s + postId + u'-' +
                            QString::number(thisIds[i]));
        }
        const TreeSnapshot tree = f.build();
        QStringList comments;
        for (const TreeNode& node : tree.nodes) {
            if (node.kind == NodeKind::Comment) {
                comments.append(tree.key(node) + u" under "_s + tree.key(node.parent));
            }
        }
        QCOMPARE(comments, expected);
    }

    // Nodes the user had opened are opened again by key; the builder's own
    // stay open, and keys that name no node change nothing.
    void expandedKeysOpenTheirNodes() {
        Fixture f;
        const qint64 post = f.post(u"anna"_s, u"101"_s);
        const qint64 comment = f.comment(u"101"_s, u"9001"_s);
        f.post(u"boris"_s, u"201"_s);
        TreeSnapshot tree = f.build();
        const QString postKey = u"friendpostkey-101-"_s + QString::number(post);
        tree.expandKeys({postKey, u"commkey-9001-"_s + QString::number(comment), u"MyForums"_s,
                         u"key-nobody"_s, u"101-"_s + QString::number(post)});
        QStringList open;
        for (const TreeNode& node : tree.nodes) {
            if (node.expanded) {
                open.append(tree.key(node).section(u'-', 0, 1));
            }
        }
        QCOMPARE(open, QStringList({u"MyDiaryRoot"_s, u"MyForums"_s, u"FriendPostsRoot"_s,
                                    u"friendpostkey-101"_s, u"commkey-9001"_s}));
        QVERIFY(tree.isSealed());
    }

    void postsToShowAndCommentsInTreeAct() {
        Fixture f;
        for (int i = 1; i <= 5; ++i) {
            f.post(u"anna"_s, QString::number(100 + i), i == 1);
        }
        f.comment(u"105"_s, u"7"_s);
        f.settings.PostsToShow = u"2"_s;
        f.settings.CommentsInTree = false;
        QStringList keys;
        const TreeSnapshot tree = f.build();
        for (const TreeNode& node : tree.nodes) {
            keys.append(tree.key(node).section(u'-', 0, 1));
        }
        // The two newest, and the new one beyond the limit; no comments.
        QCOMPARE(keys.mid(5), QStringList({u"key-anna"_s, u"friendpostkey-105"_s,
                                           u"friendpostkey-104"_s, u"friendpostkey-101"_s}));
    }
};

QTEST_GUILESS_MAIN(TreeTest)
#include "tst_tree.moc"
