#include "StoreCheck.h"
#include "TestData.h"
#include "app/OrvError.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "tree/NodeKey.h"
#include "tree/TreeBuilder.h"

#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// A store of this user's: posts, comments and private messages go in as SQL
// (ThisIDs count from 1), values with binding.
struct Fixture : test::StoreFolder {
    Settings settings;

    explicit Fixture(const QString& sql = {}) {
        settings.UserName = u"me"_s;
        settings.PostsToShow = u"50"_s;
        settings.CommentsInTree = true;
        for (const QString& statement : sql.split(u";\n"_s, Qt::SkipEmptyParts)) {
            db.execute(statement);
        }
    }
    TreeSnapshot build(TreeFilter filter = {}) {
        return TreeBuilder(settings, &db, filter).build();
    }
};

// Every node in node order: "key|text|icon|parent key|flags|row|new below",
// the flags E (expanded), N (new) and S (a selected picture of its own), the
// row among its siblings and the new items below it as the shape lays them out.
QStringList describe(const TreeSnapshot& tree) {
    QStringList lines = {u"new "_s + QString::number(tree.NewInTree)};
    for (int n = 0; n < int(tree.nodes.size()); ++n) {
        const TreeNode& node = tree.nodes[size_t(n)];
        const QString flags = QString(node.expanded ? u"E"_s : QString()) +
                              (node.isNew ? u"N"_s : QString()) +
                              (node.selectedIcon != 0 ? u"S"_s : QString());
        lines.append(QStringList{tree.key(node), tree.text(node), QString::number(node.icon),
                                 node.parent < 0 ? QString() : tree.key(node.parent), flags,
                                 QString::number(tree.shape().row(n)),
                                 QString::number(tree.shape().newBelow(n))}
                         .join(u'|'));
    }
    return lines;
}

} // namespace

class TreeTest : public QObject {
    Q_OBJECT

private slots:
    // A store with a bit of everything, checked node by node against a file:
    // entities in headers (decoded) and names (kept), long headers, drafts, a
    // PostID stored twice (its comment is joined to both posts and shown once),
    // rows the tree leaves out, own and foreign diaries, private messages both
    // ways, the new items opened.
    void aWholeStoreNodeByNode_data() {
        QTest::addColumn<bool>("onlyNew");
        QTest::addColumn<QString>("postsToShow");
        QTest::addColumn<bool>("comments");
        QTest::addColumn<QString>("golden");
        QTest::newRow("everything") << false << u"50"_s << true << u"everything"_s;
        QTest::newRow("one post a diary") << false << u"1"_s << true << u"one-post-a-diary"_s;
        QTest::newRow("only new comments") << true << u"50"_s << true << u"only-new-comments"_s;
        QTest::newRow("no comments") << false << u"50"_s << false << u"no-comments"_s;
    }

    void aWholeStoreNodeByNode() {
        QFETCH(bool, onlyNew);
        QFETCH(QString, postsToShow);
        QFETCH(bool, comments);
        QFETCH(QString, golden);
        Fixture f(test::dataText(u"tree/store.sql"_s));
        f.settings.PostsToShow = postsToShow;
        f.settings.CommentsInTree = comments;
        const TreeSnapshot tree = f.build({.onlyNewComments = onlyNew});
        QCOMPARE(describe(tree), test::dataLines(u"tree/"_s + golden + u".txt"_s));
        if (golden == u"everything"_s) {
            // Each node right under its parent, whatever their order in the store.
            QStringList walked;
            tree.walk([&](int node, int depth) {
                walked.append(QString(depth * 2, u' ') + tree.key(node));
            });
            QCOMPARE(walked, test::dataLines(u"tree/everything-walk.txt"_s));
        }
    }

    // Comments that cannot be read fail the build with the engine's words.
    void unreadableCommentsFailTheBuild() {
        Fixture f(test::dataText(u"tree/store.sql"_s));
        f.db.execute(u"ALTER TABLE Comments RENAME TO Gone"_s);
        try {
            f.build();
            QFAIL("the build went on without its comments");
        } catch (const OrvError& error) {
            QVERIFY2(error.text().contains(u"Comments"_s), qPrintable(error.text()));
        }
    }

    void captions_data() { test::addRows(u"tree/captions.tsv"_s, {"header", "caption"}); }

    void captions() {
        const auto [header, caption] = test::cells({"header", "caption"});
        QCOMPARE(TreeBuilder::postCaption(header), caption);
    }

    void nodeKeysReadFromBothEnds() {
        // A service identifier with "-" must not make the key name another row.
        const NodeKey post(NodeKey::post(u"ab-5-1"_s, 3));
        QCOMPARE(post.kind(), NodeKey::Post);
        QCOMPARE(post.serviceId(), u"ab-5-1"_s);
        QCOMPARE(post.localId(), u"3"_s);
        QCOMPARE(post.message()->localId, 3);
        QCOMPARE(post.message()->kind, MessageRef::Kind::Post);
        QCOMPARE(NodeKey(NodeKey::comment(u"tmp7"_s, 7)).message()->serviceId, u"tmp7"_s);
        QCOMPARE(NodeKey(NodeKey::privateMessage(12)).message()->kind, MessageRef::Kind::Private);
        QCOMPARE(NodeKey(NodeKey::diary(u"anna-maria"_s)).owner(), u"anna-maria"_s);
        QVERIFY(!NodeKey(NodeKey::diary(u"anna"_s)).message());
        QVERIFY(!NodeKey(u"MyDiaryRoot"_s).message());
    }

    // A comment goes under the post of its PostID, compared whole whether it
    // is a number (up to 18 digits), a longer one, one with a leading zero or
    // no number at all, in any letters; one whose post is not stored is left
    // out.
    void commentsFindTheirPostByIdentifier() {
        Fixture f(u"INSERT INTO Posts (uName, PostID, Sent) VALUES ('a', '123456789012345678', "
                  u"1), ('a', '1234567890123456789', 1), ('a', '7', 1), ('a', '007', 1), "
                  u"('a', 'tmp7', 1), ('a', 'ёж7', 1);\nINSERT INTO Comments (uName, PostID, "
                  u"CommentID, Sent) "
                  u"VALUES ('b', '123456789012345678', '1', 1), ('b', '1234567890123456789', '2', "
                  u"1), ('b', '007', '3', 1), ('b', '7', '4', 1), ('b', 'tmp7', '5', 1), "
                  u"('b', '99', '6', 1), ('b', '07', '7', 1), ('b', '12345678901234567890', "
                  u"'8', 1), ('b', 'ёж7', 'кб9', 1)"_s);
        const TreeSnapshot tree = f.build();
        for (const auto& [comment, post] :
             {std::pair(u"commkey-1-1"_s, u"friendpostkey-123456789012345678-1"_s),
              std::pair(u"commkey-2-2"_s, u"friendpostkey-1234567890123456789-2"_s),
              std::pair(u"commkey-3-3"_s, u"friendpostkey-007-4"_s),
              std::pair(u"commkey-4-4"_s, u"friendpostkey-7-3"_s),
              std::pair(u"commkey-5-5"_s, u"friendpostkey-tmp7-5"_s),
              std::pair(u"commkey-кб9-9"_s, u"friendpostkey-ёж7-6"_s)}) {
            const int node = tree.indexOfKey(comment);
            QVERIFY2(node >= 0, qPrintable(comment));
            QCOMPARE(tree.key(tree.nodes[size_t(node)].parent), post);
        }
        for (const QString& left : {u"commkey-6-6"_s, u"commkey-7-7"_s, u"commkey-8-8"_s}) {
            QVERIFY2(tree.indexOfKey(left) < 0, qPrintable(left));
        }
    }

    // Keys are kept without their kind's prefix: a key is found whole, and
    // only whole, whatever it shares with another.
    void keysAreFoundWholeAndOnlyWhole() {
        Fixture f(u"INSERT INTO Posts (uName, PostID, Sent) VALUES ('a', 'ab-5-1', 1), "
                  u"('anna', '5', 1);\nINSERT INTO Comments (uName, PostID, CommentID, Sent) "
                  u"VALUES ('b', '5', '12', 1);\nINSERT INTO PrivateMessages (Out, uName, Sent) "
                  u"VALUES (0, 'vova', 1)"_s);
        f.settings.UserName = u"ab-c"_s;
        const TreeSnapshot tree = f.build();
        for (const QString& key :
             {u"friendpostkey-ab-5-1-1"_s, u"commkey-12-1"_s, u"privkey-1"_s}) {
            QCOMPARE(tree.key(tree.indexOfKey(key)), key);
        }
        QCOMPARE(tree.indexOfKey(u"key-ab-c"_s), int(MyPosts));
        for (const QString& key : {u"friendpostkey-5"_s, u"friendpostkey-5-20"_s, u"commkey-5-2"_s,
                                   u"friendpostkey_5-2"_s, u"5-2"_s, u"key-"_s, u"key"_s, u"anna"_s,
                                   u"privkey-"_s, u""_s, u"mydiaryroot"_s}) {
            QVERIFY2(tree.indexOfKey(key) < 0, qPrintable(key));
        }
    }

    // A name or header of any length is kept whole, beyond 16 bits of length.
    void longTextsStayWhole() {
        Fixture f;
        const QString name = QString(70000, u'я') + u"!"_s;
        f.exec(u"INSERT INTO Posts (uName, PostID, Header, Sent) VALUES (?, '1', ?, 1)"_s,
               {name, QString(70000, u'ж')});
        f.exec(u"INSERT INTO PrivateMessages (Out, uName, Sent) VALUES (1, ?, 1)"_s, {name});
        const TreeSnapshot tree = f.build();
        const int diary = tree.indexOfKey(u"key-"_s + name);
        QVERIFY(diary > FriendPostsRoot);
        QCOMPARE(tree.text(diary), name);
        QCOMPARE(tree.text(diary + 1), QString(28, u'ж') + u"..."_s);
        QCOMPARE(tree.text(int(tree.nodes.size()) - 1), u"Кому: "_s + name);
    }

    // The shape follows the nodes as they are read, made new again and taken out.
    void theShapeFollowsTheNodes() {
        Fixture f(u"INSERT INTO Posts (uName, PostID, New, Sent) VALUES ('anna', '101', 1, 1), "
                  u"('anna', '102', 0, 1), ('boris', '201', 0, 1);\nINSERT INTO Comments (uName, "
                  u"PostID, CommentID, New, Sent) VALUES ('b', '101', '9001', 1, 1), "
                  u"('b', '102', '9002', 1, 1), ('b', '101', '9003', 0, 1)"_s);
        TreeSnapshot tree = f.build();
        const TreeShape& shape = tree.shape();
        const int anna = tree.indexOfKey(u"key-anna"_s);
        const int post = tree.indexOfKey(u"friendpostkey-101-1"_s);
        const int later = tree.indexOfKey(u"friendpostkey-102-2"_s);
        QCOMPARE(shape.newBelow(anna), 3);
        QVERIFY(tree.setNew(post, false));
        QVERIFY(!tree.setNew(post, false));
        QCOMPARE(shape.newBelow(anna), 2);
        QCOMPARE(shape.newTotal(), 2);
        QVERIFY(tree.setNew(post, true));
        QCOMPARE(shape.newBelow(FriendPostsRoot), 3);
        tree.remove(later); // with its comment; the node itself stays in the vector
        QCOMPARE(shape.children(anna).size(), size_t(1));
        QCOMPARE(shape.row(post), 0);
        QCOMPARE(shape.newTotal(), 2);
        QCOMPARE(tree.indexOfKey(u"commkey-9002-2"_s), -1);
        int walked = 0;
        tree.walk([&](int node, int) { walked += node == later ? 100 : 1; });
        QCOMPARE(walked, int(tree.nodes.size()) - 2);
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
        for (int i = 0; i < thisIds.size(); ++i) {
            f.exec(u"INSERT INTO Posts (ThisID, uName, PostID, Sent) VALUES (?, 'a', ?, 1)"_s,
                   {thisIds[i], 100 + i});
            f.exec(u"INSERT INTO Comments (uName, PostID, CommentID, Sent) VALUES ('b', ?, ?, 1)"_s,
                   {100 + i, 9000 + i});
            expected.append(u"commkey-%1-%2 under friendpostkey-%3-%4"_s.arg(9000 + i)
                                .arg(i + 1)
                                .arg(100 + i)
                                .arg(thisIds[i]));
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
        Fixture f(u"INSERT INTO Posts (uName, PostID, Sent) VALUES ('anna', '101', 1), "
                  u"('boris', '201', 1);\nINSERT INTO Comments (uName, PostID, CommentID, Sent) "
                  u"VALUES ('b', '101', '9001', 1)"_s);
        TreeSnapshot tree = f.build();
        tree.expandKeys({u"friendpostkey-101-1"_s, u"commkey-9001-1"_s, u"MyForums"_s,
                         u"key-nobody"_s, u"101-1"_s});
        QStringList open;
        for (const TreeNode& node : tree.nodes) {
            if (node.expanded) {
                open.append(tree.key(node));
            }
        }
        QCOMPARE(open, QStringList({u"MyDiaryRoot"_s, u"MyForums"_s, u"FriendPostsRoot"_s,
                                    u"friendpostkey-101-1"_s, u"commkey-9001-1"_s}));
        QVERIFY(tree.isSealed());
    }
};

QTEST_GUILESS_MAIN(TreeTest)
#include "tst_tree.moc"
