// The tree model over snapshots built from a real store: what a view walks
// (rows, parents, indexes) is the snapshot's tree, after removals and resets
// too, with Qt's model checker watching every change.
#include "TestFolder.h"
#include "TreeModel.h"
#include "store/Database.h"
#include "store/Settings.h"
#include "tree/TreeBuilder.h"

#include <QAbstractItemModelTester>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture {
    test::TestFolder dir;
    Database db{dir.file(u"database.mdb"_s)};
    Settings settings;
    TreeModel model;
    QAbstractItemModelTester checker{&model,
                                     QAbstractItemModelTester::FailureReportingMode::QtTest};

    // Three diaries of four posts with two comments each; every third post
    // and every fifth comment new.
    Fixture() {
        db.open();
        settings.UserName = u"me"_s;
        settings.PostsToShow = u"50"_s;
        settings.CommentsInTree = true;
        int number = 0;
        for (const QString& author : {u"anna"_s, u"boris"_s, u"me"_s}) {
            for (int i = 0; i < 4; ++i, ++number) {
                QSqlQuery post = db.prepare(u"INSERT INTO Posts (uName, PostID, Header, New, "
                                            u"Sent) VALUES (?, ?, ?, ?, 1)"_s);
                post.addBindValue(author);
                post.addBindValue(QString::number(100 + number));
                post.addBindValue(QString(u"Пост "_s + QString::number(number)));
                post.addBindValue(number % 3 == 0 ? 1 : 0);
                Database::exec(post);
                for (int c = 0; c < 2; ++c) {
                    const int id = 2 * number + c;
                    QSqlQuery comment =
                        db.prepare(u"INSERT INTO Comments (uName, PostID, CommentID, New, Sent) "
                                   u"VALUES ('Ёжик', ?, ?, ?, 1)"_s);
                    comment.addBindValue(QString::number(100 + number));
                    comment.addBindValue(QString::number(9000 + id));
                    comment.addBindValue(id % 5 == 0 ? 1 : 0);
                    Database::exec(comment);
                }
            }
        }
    }

    TreeSnapshot build() { return TreeBuilder(settings, &db).build(); }
};

// The tree as the model gives it to a view, everything expanded: a line a
// node, "depth|key|shown text". An index that does not lead back to its
// parent or to its own row breaks the walk.
QStringList viewed(const TreeModel& model, const QModelIndex& parent = {}, int depth = 0) {
    QStringList lines;
    for (int row = 0; row < model.rowCount(parent); ++row) {
        const QModelIndex index = model.index(row, 0, parent);
        if (model.parent(index) != parent || model.indexOfNode(model.nodeOf(index)) != index) {
            return {u"broken at "_s + model.keyOf(index)};
        }
        lines.append(QString::number(depth) + u'|' + model.keyOf(index) + u'|' +
                     index.data().toString());
        lines += viewed(model, index, depth + 1);
    }
    return lines;
}

// The same from the snapshot's nodes alone: each node's children are the
// nodes naming it as parent, in node order; `gone` nodes are left out.
QStringList expected(const TreeSnapshot& tree, const QSet<int>& gone = {}, int parent = -1,
                     int depth = 0) {
    QStringList lines;
    for (int n = 0; n < int(tree.nodes.size()); ++n) {
        if (tree.nodes[size_t(n)].parent != parent || gone.contains(n)) {
            continue;
        }
        lines.append(QString::number(depth) + u'|' + tree.key(n) + u'|' + tree.text(n));
        lines += expected(tree, gone, n, depth + 1);
    }
    return lines;
}

// Shown texts carry the new counts of diaries and the root: taken off here.
QStringList withoutCounts(QStringList lines) {
    static const QRegularExpression count(u" \\(\\d+\\)$"_s);
    for (QString& line : lines) {
        line.remove(count);
    }
    return lines;
}

} // namespace

class TreeModelTest : public QObject {
    Q_OBJECT

private slots:
    void theModelShowsTheSnapshotAsBuilt() {
        Fixture f;
        const TreeSnapshot tree = f.build();
        const QStringList nodes = expected(tree);
        QCOMPARE(nodes.size(), qsizetype(5 + 2 + 12 + 24));
        f.model.reset(tree);
        QCOMPARE(withoutCounts(viewed(f.model)), nodes);
        for (int n = 0; n < int(tree.nodes.size()); ++n) {
            const QModelIndex index = f.model.indexOfKey(tree.key(n));
            QCOMPARE(f.model.nodeOf(index), n);
            QCOMPARE(index.data(TreeModel::KeyRole).toString(), tree.key(n));
        }
        QCOMPARE(f.model.indexOfKey(u"key-"_s), QModelIndex());
        // Posts 0, 3, 6, 9 and comments 0, 5, 10, ... 20 are new.
        QCOMPARE(f.model.newItems(), 4 + 5);
        QCOMPARE(f.model.indexOfKey(u"FriendPostsRoot"_s).data().toString(),
                 u"Дневники друзей (7)"_s);
    }

    void removedNodesLeaveTheirSiblingsInOrder() {
        Fixture f;
        const TreeSnapshot tree = f.build();
        f.model.reset(tree);
        const QModelIndex anna = f.model.indexOfKey(u"key-anna"_s);
        QCOMPARE(anna.data().toString(), u"anna (4)"_s);
        QSet<int> gone;
        // A post in the middle of its diary with a new comment, then the first
        // post left (new itself), then a new comment; each time the rest
        // moves up.
        for (const int row : {1, 0}) {
            const int post = f.model.nodeOf(f.model.index(row, 0, anna));
            gone.insert(post);
            f.model.removeNode(post);
            QCOMPARE(withoutCounts(viewed(f.model)), expected(tree, gone));
        }
        QCOMPARE(f.model.rowCount(anna), 2);
        QCOMPARE(anna.data().toString(), u"anna (2)"_s);
        const QModelIndex post = f.model.index(1, 0, anna);
        const int comment = f.model.nodeOf(f.model.index(0, 0, post));
        gone.insert(comment);
        f.model.removeNode(comment);
        QCOMPARE(withoutCounts(viewed(f.model)), expected(tree, gone));
        QCOMPARE(f.model.rowCount(post), 1);
        QCOMPARE(f.model.index(0, 0, post).row(), 0);
        QCOMPARE(anna.data().toString(), u"anna (1)"_s);
        QCOMPARE(f.model.newItems(), 9 - 3);
        QCOMPARE(f.model.indexOfKey(u"FriendPostsRoot"_s).data().toString(),
                 u"Дневники друзей (4)"_s);
        // "Следующее новое" passes over what is gone.
        QVERIFY(!gone.contains(f.model.nodeOf(f.model.firstNew())));

        // A whole diary: every count above it and every key under it go.
        const QModelIndex boris = f.model.indexOfKey(u"key-boris"_s);
        const QString borisPost = f.model.keyOf(f.model.index(0, 0, boris));
        f.model.removeNode(f.model.nodeOf(boris));
        QCOMPARE(f.model.rowCount(f.model.indexOfKey(u"FriendPostsRoot"_s)), 1);
        QCOMPARE(f.model.indexOfKey(borisPost), QModelIndex());
        QCOMPARE(f.model.indexOfKey(u"FriendPostsRoot"_s).data().toString(),
                 u"Дневники друзей (1)"_s);
        QCOMPARE(f.model.newItems(), 6 - 3);
    }

    void aResetReplacesTheWholeTree() {
        Fixture f;
        f.model.reset(f.build());
        f.settings.PostsToShow = u"1"_s;
        f.settings.CommentsInTree = false;
        TreeSnapshot smaller = f.build();
        // A node added after building is shown too: the model lays it out.
        smaller.addNode(NodeKind::Fixed, smaller.addText({u"Extra"}), smaller.addText({u"Ещё"}),
                        IconFolder, MyForums);
        QVERIFY(!smaller.isSealed());
        f.model.reset(smaller);
        QCOMPARE(withoutCounts(viewed(f.model)), expected(smaller));
        QCOMPARE(f.model.indexOfKey(u"Extra"_s).parent(), f.model.indexOfNode(MyForums));
        f.model.reset(TreeSnapshot());
        QCOMPARE(f.model.rowCount(), 0);
        QCOMPARE(f.model.firstNew(), QModelIndex());
        QCOMPARE(f.model.newItems(), 0);
    }
};

QTEST_MAIN(TreeModelTest)
#include "tst_treemodel.moc"
