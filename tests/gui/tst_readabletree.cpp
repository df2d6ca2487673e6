// The message tree as a reader of years of diaries meets it: new items in
// bold, the number of new items beside each diary and beside "Дневники друзей",
// and "Следующее новое" walking the new items in the tree's order.
#include "GuiFixture.h"
#include "MessageView.h"
#include "TreeModel.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyledItemDelegate>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// A started window over friends' diaries with new posts and comments, an own
// post with a new comment and a new private message. In tree order the new
// items are: commkey-5004-4 (under "Мои посты"), privkey-1, friendpostkey-1003-1,
// commkey-5005-5, commkey-5001-1, commkey-5002-2, friendpostkey-2001-4; in the
// order the nodes were made, boris's post comes before every comment.
struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        sql(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, Messagedate, "
            u"New, Sent) VALUES "
            u"(1, '1003', '71', 'anna', 'Про весну', 'текст', '2006-03-07 10:00:00', 1, 1),"
            u"(2, '1002', '71', 'anna', 'Про лето', 'текст', '2006-03-06 10:00:00', 0, 1),"
            u"(3, '1001', '71', 'anna', 'Про осень', 'текст', '2006-03-05 10:00:00', 0, 1),"
            u"(4, '2001', '72', 'boris', '&laquo;Зима&raquo;', 'текст', '2006-03-05 10:00:00', "
            u"1, 1),"
            u"(5, '3001', '73', 'me', 'Мой пост', 'текст', '2006-03-05 10:00:00', 0, 1),"
            u"(6, '4001', '74', 'vova', 'Старое', 'текст', '2006-03-01 10:00:00', 0, 1)"_s);
        sql(u"INSERT INTO Comments (ThisID, CommentID, PostID, JournalID, uName, Message, "
            u"Messagedate, New, Sent) VALUES "
            u"(1, '5001', '1002', '71', 'marta', 'первый', '2006-03-06 11:00:00', 1, 1),"
            u"(2, '5002', '1002', '71', 'Ёжик', 'второй', '2006-03-06 12:00:00', 1, 1),"
            u"(3, '5003', '1001', '71', 'anna', 'старый', '2006-03-05 11:00:00', 0, 1),"
            u"(4, '5004', '3001', '73', 'anna', 'мне', '2006-03-05 11:00:00', 1, 1),"
            u"(5, '5005', '1003', '71', 'boris', 'весне', '2006-03-07 11:00:00', 1, 1)"_s);
        sql(u"INSERT INTO PrivateMessages (ID, Out, uName, Message, Messagedate, New, Sent) "
            u"VALUES (1, 0, 'marta', 'Привет!', '2006-03-05 12:00:00', 1, 1)"_s);
        QVERIFY(reloadTree());
    }

    void sql(const QString& statement) { ctx->db.execute(statement); }
    int stored(const QString& sqlText) {
        QSqlQuery q = ctx->db.prepare(sqlText);
        Database::exec(q);
        return q.next() ? q.value(0).toInt() : -1;
    }
    TreeModel* model() { return mainForm->treeModel(); }
    QModelIndex index(const QString& key) { return model()->indexOfKey(key); }
    QString shown(const QString& key) { return index(key).data().toString(); }
    bool bold(const QString& key) {
        const QVariant font = index(key).data(Qt::FontRole);
        return font.isValid() && font.value<QFont>().bold();
    }
    // The width the view's delegate gives the row: wider when drawn in bold.
    int drawnWidth(const QString& key) {
        QStyleOptionViewItem option;
        option.initFrom(mainForm->tree());
        option.font = mainForm->tree()->font();
        option.features = QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
        option.decorationSize = mainForm->tree()->iconSize();
        return mainForm->tree()
            ->itemDelegateForIndex(index(key))
            ->sizeHint(option, index(key))
            .width();
    }
    void select(const QString& key) { mainForm->tree()->setCurrentIndex(index(key)); }
    QAction* nextNew() { return mainForm->findChild<QAction*>(u"mnu_NextNew"_s); }
    // The keys "Следующее новое" selects, pressed until it stops moving.
    QStringList walk() {
        QStringList keys;
        for (int i = 0; i < 20; ++i) {
            const QString before = mainForm->selectedKey();
            nextNew()->trigger();
            if (mainForm->selectedKey() == before) {
                break;
            }
            keys.append(mainForm->selectedKey());
        }
        return keys;
    }
};

} // namespace

class ReadableTreeTest : public QObject {
    Q_OBJECT

private slots:
    void aRebuildKeepsSelectionExpansionAndScroll() {
        Fixture f;
        // A long diary the user opened, scrolled into and picked a post of.
        f.sql(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
              u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, New, "
              u"Sent) SELECT 10000 + i, '75', 'zoe', 'Пост ' || i, 'т', '2006-03-01 10:00:00', 0, "
              u"1 FROM n"_s);
        f.sql(u"UPDATE iniSettings SET iniValue = '1000' WHERE iniVariable = 'PostsToShow'"_s);
        f.ctx->settings.PostsToShow = u"1000"_s;
        QVERIFY(f.reloadTree());
        QTreeView* tree = f.mainForm->tree();
        tree->resize(300, 300);
        tree->expand(f.index(u"key-zoe"_s));
        tree->expand(f.index(u"key-vova"_s));
        tree->collapse(f.index(u"key-anna"_s)); // holds new items: opened again by a rebuild
        tree->setCurrentIndex(f.index(u"friendpostkey-10150-156"_s));
        tree->scrollTo(f.index(u"friendpostkey-10200-206"_s), QAbstractItemView::PositionAtTop);
        const QString topKey = f.model()->keyOf(tree->indexAt(QPoint(1, 1)));
        QVERIFY(topKey.startsWith(u"friendpostkey-10"_s));

        // Something new arrives in another diary, and the tree is rebuilt.
        f.sql(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, New, "
              u"Sent) VALUES ('9001', '72', 'boris', 'Новое', 'т', '2006-03-08 10:00:00', 1, 1)"_s);
        QVERIFY(f.reloadTree());

        QVERIFY(f.index(u"friendpostkey-9001-307"_s).isValid());
        QCOMPARE(f.model()->keyOf(tree->currentIndex()), u"friendpostkey-10150-156"_s);
        QVERIFY(tree->isExpanded(f.index(u"key-zoe"_s)));
        QVERIFY(tree->isExpanded(f.index(u"key-vova"_s)));
        QVERIFY(tree->isExpanded(f.index(u"key-anna"_s)));
        QCOMPARE(f.model()->keyOf(tree->indexAt(QPoint(1, 1))), topKey);
    }

    void aRebuildAskedForDuringAnotherReplacesIt() {
        Fixture f;
        QSignalSpy shown(f.mainForm.get(), &MainForm::treeShown);
        f.sql(u"UPDATE Posts SET Header = 'Первая правка' WHERE ThisID = 2"_s);
        f.mainForm->ReLoadTree();
        f.sql(u"UPDATE Posts SET Header = 'Вторая правка' WHERE ThisID = 2"_s);
        f.mainForm->ReLoadTree();
        QVERIFY(f.mainForm->isTreeLoading());
        QVERIFY(shown.wait(20000));
        QTest::qWait(100); // nothing else follows
        QCOMPARE(shown.count(), 1);
        QCOMPARE(f.shown(u"friendpostkey-1002-2"_s), u"Вторая правка"_s);
        QVERIFY(!f.mainForm->isTreeLoading());

        // Asked for again once the first is built but not yet shown: only the
        // second is shown.
        shown.clear();
        f.sql(u"UPDATE Posts SET Header = 'Третья правка' WHERE ThisID = 2"_s);
        f.mainForm->ReLoadTree();
        QThread::msleep(300); // the window's thread is busy meanwhile
        f.sql(u"UPDATE Posts SET Header = 'Четвёртая правка' WHERE ThisID = 2"_s);
        f.mainForm->ReLoadTree();
        QVERIFY(shown.wait(20000));
        QTest::qWait(100);
        QCOMPARE(shown.count(), 1);
        QCOMPARE(f.shown(u"friendpostkey-1002-2"_s), u"Четвёртая правка"_s);
    }

    void newItemsAreBold() {
        Fixture f;
        for (const QString& key : {u"friendpostkey-1003-1"_s, u"friendpostkey-2001-4"_s,
                                   u"commkey-5001-1"_s, u"commkey-5004-4"_s, u"privkey-1"_s}) {
            QVERIFY2(f.bold(key), qPrintable(key));
        }
        for (const QString& key : {u"friendpostkey-1002-2"_s, u"commkey-5003-3"_s, u"key-anna"_s,
                                   u"FriendPostsRoot"_s, u"friendpostkey-3001-5"_s}) {
            QVERIFY2(!f.bold(key), qPrintable(key));
        }
        // The view draws it so, and plain once the item has been read.
        const int boldWidth = f.drawnWidth(u"friendpostkey-1003-1"_s);
        f.select(u"friendpostkey-1003-1"_s);
        QCOMPARE(f.stored(u"SELECT New FROM Posts WHERE ThisID = 1"_s), 0);
        QVERIFY(!f.bold(u"friendpostkey-1003-1"_s));
        QVERIFY(f.drawnWidth(u"friendpostkey-1003-1"_s) < boldWidth);
    }

    void diariesShowTheirNewItemsAndTheRootTheTotal() {
        Fixture f;
        QCOMPARE(f.shown(u"key-anna"_s), u"anna (4)"_s);
        QCOMPARE(f.shown(u"key-boris"_s), u"boris (1)"_s);
        QCOMPARE(f.shown(u"key-vova"_s), u"vova"_s); // nothing new: the name alone
        QCOMPARE(f.shown(u"FriendPostsRoot"_s), u"Дневники друзей (5)"_s);
        QCOMPARE(f.shown(u"key-me"_s), u"Мои посты (1)"_s);
        QCOMPARE(f.shown(u"MyDiaryRoot"_s), u"Мой дневник"_s);
        QCOMPARE(f.shown(u"MyPrivates"_s), u"Мои личные сообщения"_s);
        QCOMPARE(f.shown(u"friendpostkey-2001-4"_s), u"«Зима»"_s);
        QCOMPARE(f.mainForm->NewInTree(), 6); // posts and comments, as before
        QCOMPARE(f.model()->newItems(), 7);   // and the private message

        // The nodes keep the owner's name as text and key.
        const TreeSnapshot& tree = f.model()->snapshot();
        const TreeNode& anna = tree.nodes[size_t(tree.indexOfKey(u"key-anna"_s))];
        QCOMPARE(tree.text(anna), u"anna"_s);
        QCOMPARE(f.model()->keyOf(f.index(u"key-anna"_s)), u"key-anna"_s);
        QCOMPARE(f.index(u"key-anna"_s).data(Qt::ToolTipRole).toString(), u"anna"_s);

        // Reading an item counts down at once, up to the root.
        QSignalSpy changed(f.model(), &QAbstractItemModel::dataChanged);
        f.select(u"commkey-5005-5"_s);
        QCOMPARE(f.shown(u"key-anna"_s), u"anna (3)"_s);
        QCOMPARE(f.shown(u"FriendPostsRoot"_s), u"Дневники друзей (4)"_s);
        QVERIFY(std::any_of(changed.cbegin(), changed.cend(), [&](const QList<QVariant>& args) {
            return args[0].toModelIndex() == f.index(u"key-anna"_s);
        }));
        f.select(u"friendpostkey-2001-4"_s);
        QCOMPARE(f.shown(u"key-boris"_s), u"boris"_s);
        QCOMPARE(f.shown(u"FriendPostsRoot"_s), u"Дневники друзей (3)"_s);

        // A deleted post takes its new comments out of the counts.
        f.select(u"friendpostkey-1002-2"_s);
        f.prompts.answers = {true};
        f.mainForm->mnu_DelPost_Click();
        QVERIFY(!f.index(u"friendpostkey-1002-2"_s).isValid());
        QCOMPARE(f.shown(u"key-anna"_s), u"anna (1)"_s);
        QCOMPARE(f.shown(u"FriendPostsRoot"_s), u"Дневники друзей (1)"_s);

        // A rebuild counts from the store again.
        f.sql(u"UPDATE Posts SET New = 1 WHERE ThisID = 6"_s);
        QVERIFY(f.reloadTree());
        QCOMPARE(f.shown(u"key-vova"_s), u"vova (1)"_s);
        QCOMPARE(f.shown(u"FriendPostsRoot"_s), u"Дневники друзей (2)"_s);
    }

    void nextNewFollowsTheTreeOrder() {
        Fixture f;
        QCOMPARE(f.mainForm->selectedKey(), u"MyDiaryRoot"_s);
        f.mainForm->mnu_CollapseAll_Click();
        QCOMPARE(f.walk(),
                 QStringList({u"commkey-5004-4"_s, u"privkey-1"_s, u"friendpostkey-1003-1"_s,
                              u"commkey-5005-5"_s, u"commkey-5001-1"_s, u"commkey-5002-2"_s,
                              u"friendpostkey-2001-4"_s}));
        // Each was shown as a click shows it: read now, its branch open.
        QCOMPARE(f.stored(u"SELECT sum(New) FROM Posts"_s), 0);
        QCOMPARE(f.stored(u"SELECT sum(New) FROM Comments"_s), 0);
        QCOMPARE(f.stored(u"SELECT sum(New) FROM PrivateMessages"_s), 0);
        QVERIFY(f.mainForm->tree()->isExpanded(f.index(u"friendpostkey-1002-2"_s)));
        QVERIFY(f.mainForm->tree()->isExpanded(f.index(u"key-boris"_s)));
        QVERIFY(f.mainForm->browser()->toPlainText().contains(u"«Зима»"_s));
        QCOMPARE(f.mainForm->selectedKey(), u"friendpostkey-2001-4"_s);

        // Nothing new: the selection stays, and a status line says so.
        f.nextNew()->trigger();
        QCOMPARE(f.mainForm->selectedKey(), u"friendpostkey-2001-4"_s);
        QVERIFY(f.ctx->log.lines().last().endsWith(u"  Новых сообщений нет"_s));
    }

    void nextNewStartsAfterTheSelectedAndWraps() {
        Fixture f;
        f.select(u"friendpostkey-1002-2"_s);
        QCOMPARE(f.walk(),
                 QStringList({u"commkey-5001-1"_s, u"commkey-5002-2"_s, u"friendpostkey-2001-4"_s,
                              u"commkey-5004-4"_s, u"privkey-1"_s, u"friendpostkey-1003-1"_s,
                              u"commkey-5005-5"_s}));
        QCOMPARE(f.model()->firstNew(), QModelIndex());
    }

    void theFirstNewIsTheFirstInTreeOrder() {
        Fixture f;
        QCOMPARE(f.model()->keyOf(f.model()->firstNew()), u"commkey-5004-4"_s);
    }

    void theSelectedItemAloneNewIsShown() {
        Fixture f;
        f.sql(u"UPDATE Posts SET New = 0"_s);
        f.sql(u"UPDATE Comments SET New = 0"_s);
        f.sql(u"UPDATE PrivateMessages SET New = 0"_s);
        f.select(u"friendpostkey-1001-3"_s);
        // It became new again while selected; the rebuild selects it without showing it.
        f.sql(u"UPDATE Posts SET New = 1 WHERE ThisID = 3"_s);
        f.mainForm->browser()->showBlank();
        QVERIFY(f.reloadTree());
        QVERIFY(f.bold(u"friendpostkey-1001-3"_s));
        f.nextNew()->trigger();
        QCOMPARE(f.mainForm->selectedKey(), u"friendpostkey-1001-3"_s);
        QVERIFY(f.mainForm->browser()->toPlainText().contains(u"Про осень"_s));
        QCOMPARE(f.stored(u"SELECT New FROM Posts WHERE ThisID = 3"_s), 0);
        QVERIFY(!f.bold(u"friendpostkey-1001-3"_s));
    }

    void spaceInTheTreeAndTheMenuItem() {
        Fixture f;
        QMenu* messages = f.mainForm->menuBar()->findChild<QMenu*>(u"mnu_Message"_s);
        QStringList names;
        for (QAction* a : messages->actions()) {
            names.append(a->objectName());
        }
        QCOMPARE(names.indexOf(u"mnu_NextNew"_s), names.indexOf(u"mnu_SetAllRead"_s) + 1);
        QCOMPARE(f.nextNew()->text(), u"Следующее новое"_s);
        QCOMPARE(f.nextNew()->shortcut(), QKeySequence(Qt::Key_Space));

        QVERIFY(QTest::qWaitForWindowActive(f.mainForm.get()));
        QTreeView* tree = f.mainForm->tree();
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(f.mainForm->selectedKey(), u"commkey-5004-4"_s);
        QTest::keyClick(tree, Qt::Key_Space);
        QCOMPARE(f.mainForm->selectedKey(), u"privkey-1"_s);

        // Elsewhere Space is the widget's own: the view scrolls, nothing is selected.
        f.mainForm->browser()->setFocus();
        QTest::keyClick(f.mainForm->browser(), Qt::Key_Space);
        QCOMPARE(f.mainForm->selectedKey(), u"privkey-1"_s);
    }
};

QTEST_MAIN(ReadableTreeTest)
#include "tst_readabletree.moc"
