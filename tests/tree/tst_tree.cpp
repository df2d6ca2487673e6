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
        lines.append(node.key + u'|' + node.text + u'|' + QString::number(node.icon) + u'|' +
                     (node.parent < 0 ? QString() : tree.nodes[size_t(node.parent)].key));
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
        QTest::newRow("quote any case") << u"&QUOT;Да&quot; &Amp; нет"_s << u"\"Да\" & нет"_s;
        QTest::newRow("doubly escaped") << u"&amp;quot;"_s << u"&quot;"_s;
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
            texts.append(tree.nodes[i].text + u'|' + QString::number(tree.nodes[i].icon));
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
        for (const TreeNode& node : f.build(filter).nodes) {
            keys.append(node.key.section(u'-', 0, 1));
        }
        QCOMPARE(keys.mid(5), QStringList({u"key-anna"_s, u"key-vova"_s, u"friendpostkey-4"_s,
                                           u"friendpostkey-1"_s, u"commkey-10"_s}));
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
        for (const TreeNode& node : f.build().nodes) {
            keys.append(node.key.section(u'-', 0, 1));
        }
        // The two newest, and the new one beyond the limit; no comments.
        QCOMPARE(keys.mid(5), QStringList({u"key-anna"_s, u"friendpostkey-105"_s,
                                           u"friendpostkey-104"_s, u"friendpostkey-101"_s}));
    }
};

QTEST_GUILESS_MAIN(TreeTest)
#include "tst_tree.moc"
