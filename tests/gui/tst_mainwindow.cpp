// The main window over a stored year of diaries: the tree, its pages, its
// commands and the search.
#include "AddForm.h"
#include "CommForm.h"
#include "GuiFixture.h"
#include "MessageView.h"
#include "RelForm.h"
#include "SettingsForm.h"
#include "store/ReceivedMessages.h"
#include "store/SearchIndex.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QScrollBar>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// Friends' diaries with new posts and comments, an own post with a new
// comment, an own unsent post and a new private message. In tree order the
// new items are: commkey-5004-4 (under "Мои посты"), privkey-1,
// friendpostkey-1003-1, commkey-5005-5, commkey-5001-1, commkey-5002-2,
// friendpostkey-2001-4.
struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        sql(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, Messagedate, "
            u"New, Sent) VALUES "
            u"(1, '1003', '71', 'anna', 'Про весну', 'текст', '2006-03-07 10:00:00', 1, 1),"
            u"(2, '1002', '71', 'anna', 'Про лето', '[b]Снег[/b]', '2006-03-06 10:00:00', 0, 1),"
            u"(3, '1001', '71', 'anna', 'Про осень', 'текст', '2006-03-05 10:00:00', 0, 1),"
            u"(4, '2001', '72', 'boris', '&laquo;Зима&raquo;', 'т', '2006-03-05 10:00:00', 1, 1),"
            u"(5, '3001', '73', 'me', 'Мой пост', 'текст', '2006-03-05 10:00:00', 0, 1),"
            u"(6, '4001', '74', 'vova', 'Старое', 'текст', '2006-03-01 10:00:00', 0, 1),"
            u"(7, 'tmp7', NULL, 'me', 'Черновик', 'Ещё пишу', '2006-03-07 10:00:00', 0, 0)"_s);
        sql(u"INSERT INTO Comments (ThisID, CommentID, PostID, JournalID, uName, Message, "
            u"Messagedate, New, Sent) VALUES "
            u"(1, '5001', '1002', '71', 'marta', 'первый<script>alert(1)</script>', "
            u"'2006-03-06 11:00:00', 1, 1),"
            u"(2, '5002', '1002', '71', 'Ёжик', 'второй', '2006-03-06 12:00:00', 1, 1),"
            u"(3, '5003', '1001', '71', 'anna', 'старый', '2006-03-05 11:00:00', 0, 1),"
            u"(4, '5004', '3001', '73', 'anna', 'мне', '2006-03-05 11:00:00', 1, 1),"
            u"(5, '5005', '1003', '71', 'boris', 'весне', '2006-03-07 11:00:00', 1, 1)"_s);
        sql(u"INSERT INTO PrivateMessages (ID, Out, uName, Message, Messagedate, New, Sent) "
            u"VALUES (1, 0, 'marta', 'Привет!', '2006-03-05 12:00:00', 1, 1)"_s);
        sql(u"INSERT INTO AddressBook (Nick, Status, New, Old) VALUES ('vova', 'BUDDY', 0, 1), "
            u"('anna', 'BUDDY', 0, 1), ('marta', 'READER', 0, 1)"_s);
        QVERIFY(reloadTree());
    }

    QTreeView* tree() { return pane().tree(); }
    QModelIndex index(const QString& key) { return model().indexOfKey(key); }
    QString selected() { return pane().selectedKey(); }
    // The commands of the context menu enabled for the node.
    QStringList contextCommands(const QString& key) {
        select(key);
        pane().Tree_MouseUp(QPoint(5, 5));
        QStringList on;
        for (QAction* a : pane().contextMenu()->actions()) {
            if (!a->isSeparator() && a->isEnabled() && pane().contextMenu()->isVisible()) {
                on.append(a->objectName());
            }
        }
        pane().contextMenu()->hide();
        return on;
    }
    void search(const QString& text) {
        pane().SearchText->setText(text);
        pane().runSearch();
    }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void nodesShowTheirPagesAndAreRead_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("shown"); // in this order; none: a blank view
        QTest::addColumn<QString>("unread");    // the count of new rows left
        QTest::newRow("post, comments by date")
            << u"friendpostkey-1002-2"_s << QStringList{u"<b>Снег</b>"_s, u"первый"_s, u"второй"_s}
            << u"SELECT count(*) FROM Posts WHERE New = 1 AND ThisID = 2"_s;
        QTest::newRow("new post") << u"friendpostkey-1003-1"_s << QStringList{u"Про весну"_s}
                                  << u"SELECT New FROM Posts WHERE ThisID = 1"_s;
        QTest::newRow("private") << u"privkey-1"_s
                                 << QStringList{u"<b>Приватное сообщение&nbsp;</b>"_s}
                                 << u"SELECT sum(New) FROM PrivateMessages"_s;
        QTest::newRow("diary")
            << u"key-boris"_s
            << QStringList{u"Дневник - <A href='https://kordenet.ru/users/72/'>boris</A>"_s}
            << u"SELECT 0"_s;
        QTest::newRow("fixed node") << u"MyForums"_s << QStringList{} << u"SELECT 0"_s;
    }
    void nodesShowTheirPagesAndAreRead() {
        QFETCH(QString, key);
        QFETCH(QStringList, shown);
        QFETCH(QString, unread);
        Fixture f;
        f.select(key);
        if (shown.isEmpty()) {
            QVERIFY(f.mainForm->browser()->toPlainText().isEmpty());
        }
        qsizetype at = 0;
        for (const QString& part : shown) {
            at = f.page().indexOf(part, at);
            QVERIFY2(at >= 0, qPrintable(part));
        }
        QVERIFY(!f.page().contains(u"<script"_s)); // what an author wrote is filtered
        QCOMPARE(f.count(unread), 0);
        QCOMPARE(
            f.model().snapshot().nodes[size_t(f.model().snapshot().indexOfKey(key))].selectedIcon,
            int(IconSelected));
        QCOMPARE(f.ctx->log.failureCount(), 0);
    }

    void aRebuildKeepsSelectionExpansionAndScroll() {
        Fixture f;
        // A long diary the user opened, scrolled into and picked a post of.
        f.sql(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 300) "
              u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, New, "
              u"Sent) SELECT 10000 + i, '75', 'zoe', 'Пост ' || i, 'т', '2006-03-01 10:00:00', 0, "
              u"1 FROM n"_s);
        f.ctx->settings.PostsToShow = u"1000"_s;
        QVERIFY(f.reloadTree());
        QTreeView* tree = f.tree();
        tree->resize(300, 300);
        tree->expand(f.index(u"key-zoe"_s));
        tree->expand(f.index(u"key-vova"_s));
        tree->collapse(f.index(u"key-anna"_s)); // holds new items: opened again by a rebuild
        tree->setCurrentIndex(f.index(u"friendpostkey-10150-157"_s));
        tree->scrollTo(f.index(u"friendpostkey-10200-207"_s), QAbstractItemView::PositionAtTop);
        const QString topKey = f.model().keyOf(tree->indexAt(QPoint(1, 1)));
        QVERIFY(topKey.startsWith(u"friendpostkey-10"_s));

        // Something new arrives in another diary, and the tree is rebuilt.
        f.sql(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, New, "
              u"Sent) VALUES ('9001', '72', 'boris', 'Новое', 'т', '2006-03-08 10:00:00', 1, 1)"_s);
        QVERIFY(f.reloadTree());
        QVERIFY(f.shows(u"friendpostkey-9001-308"_s));
        QCOMPARE(f.selected(), u"friendpostkey-10150-157"_s);
        QVERIFY(tree->isExpanded(f.index(u"key-zoe"_s)));
        QVERIFY(tree->isExpanded(f.index(u"key-vova"_s)));
        QVERIFY(tree->isExpanded(f.index(u"key-anna"_s)));
        QCOMPARE(f.model().keyOf(tree->indexAt(QPoint(1, 1))), topKey);
    }

    void aRebuildAskedForDuringAnotherReplacesIt() {
        Fixture f;
        QSignalSpy shown(&f.pane(), &TreePane::treeShown);
        f.sql(u"UPDATE Posts SET Header = 'Первая правка' WHERE ThisID = 2"_s);
        f.pane().ReLoadTree();
        f.sql(u"UPDATE Posts SET Header = 'Вторая правка' WHERE ThisID = 2"_s);
        f.pane().ReLoadTree();
        QVERIFY(shown.wait(20000));
        QTest::qWait(100); // nothing else follows
        QCOMPARE(shown.count(), 1);
        QCOMPARE(f.index(u"friendpostkey-1002-2"_s).data().toString(), u"Вторая правка"_s);
    }

    // Asked for again and again, faster than a tree is built, every build is
    // overtaken before it arrives: the newer trees are shown all the same,
    // and what waits for a tree (the end of an exchange) is not held up.
    void whatWaitsForATreeRunsWhileRebuildsKeepComing() {
        Fixture f;
        // Enough rows that a build takes far longer than asking for one.
        f.sql(u"WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 50000) "
              u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, New, "
              u"Sent) SELECT 20000 + i, '72', 'u' || (i % 100), 'з', 'т', '2006-03-08 10:00:00', "
              u"0, 1 FROM n"_s);
        bool ran = false;
        f.pane().reloadTreeThen([&] { ran = true; });
        for (QDeadlineTimer deadline(20000); !ran && !deadline.hasExpired();) {
            f.pane().ReLoadTree();
            QCoreApplication::processEvents();
        }
        QVERIFY(ran);
        QVERIFY(f.waitForTree());
    }

    void spaceWalksTheNewItemsInTreeOrder() {
        Fixture f;
        QCOMPARE(f.selected(), u"MyDiaryRoot"_s);
        f.pane().mnu_CollapseAll_Click();
        QVERIFY(QTest::qWaitForWindowActive(f.mainForm.get()));
        QCOMPARE(QApplication::focusWidget(), f.tree()); // the keyboard starts in the tree
        QStringList walked;
        for (int i = 0; i < 10; ++i) {
            const QString before = f.selected();
            QTest::keyClick(f.tree(), Qt::Key_Space);
            if (f.selected() == before) {
                break;
            }
            walked.append(f.selected());
        }
        QCOMPARE(walked,
                 QStringList({u"commkey-5004-4"_s, u"privkey-1"_s, u"friendpostkey-1003-1"_s,
                              u"commkey-5005-5"_s, u"commkey-5001-1"_s, u"commkey-5002-2"_s,
                              u"friendpostkey-2001-4"_s}));
        // Each was shown as a click shows it: read now, its branch open.
        QCOMPARE(f.count(u"SELECT sum(New) FROM Posts"_s), 0);
        QCOMPARE(f.count(u"SELECT sum(New) + (SELECT sum(New) FROM PrivateMessages) "
                         u"FROM Comments"_s),
                 0);
        QVERIFY(f.tree()->isExpanded(f.index(u"friendpostkey-1002-2"_s)));
        QVERIFY(f.mainForm->browser()->toPlainText().contains(u"«Зима»"_s));
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Новых сообщений нет"_s));

        // In the view Space pages down, and at the page's end goes on.
        f.sql(u"UPDATE Posts SET New = 1 WHERE ThisID = 6"_s);
        QVERIFY(f.reloadTree());
        MessageView* view = f.mainForm->browser();
        view->setFocus();
        view->setHtml(u"<p>строка</p>"_s.repeated(400));
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(f.selected(), u"friendpostkey-2001-4"_s);
        QVERIFY(view->verticalScrollBar()->value() > 0);
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        QTest::keyClick(view, Qt::Key_Space);
        QCOMPARE(f.selected(), u"friendpostkey-4001-6"_s);
    }

    void theContextMenuFollowsTheNode_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QStringList>("enabled");
        QTest::newRow("sent post")
            << u"friendpostkey-1003-1"_s
            << QStringList{u"mnu_NewPost"_s, u"mnu_Comment"_s, u"mnu_GetAllComments"_s,
                           u"mnu_DelPost"_s, u"mnu_CollapseAll"_s};
        QTest::newRow("unsent post") << u"friendpostkey-tmp7-7"_s
                                     << QStringList{u"mnu_NewPost"_s, u"mnu_EditPost"_s,
                                                    u"mnu_DelPost"_s, u"mnu_CollapseAll"_s};
        QTest::newRow("comment") << u"commkey-5001-1"_s
                                 << QStringList{u"mnu_NewPost"_s, u"mnu_Comment"_s,
                                                u"mnu_DelPost"_s, u"mnu_CollapseAll"_s};
        QTest::newRow("diary") << u"key-anna"_s
                               << QStringList{u"mnu_NewPost"_s, u"mnu_DelDiary"_s,
                                              u"mnu_CollapseAll"_s, u"mnu_MakeDiaryRead"_s,
                                              u"mnu_ExportDiary"_s};
        QTest::newRow("fixed node: no menu") << u"MyPrivates"_s << QStringList{};
    }
    void theContextMenuFollowsTheNode() {
        QFETCH(QString, key);
        QFETCH(QStringList, enabled);
        Fixture f;
        QCOMPARE(f.contextCommands(key), enabled);
        // The node decides for the context menu only: the menu bar's twins stay.
        for (const QString& name : {u"mnu_Comment2"_s, u"mnu_EditPost2"_s, u"mnu_DelPost2"_s}) {
            QVERIFY2(f.action(name)->isEnabled(), qPrintable(name));
        }
    }

    void deletingAPostTakesItsCommentsADiaryKeepsTheUnsent() {
        Fixture f;
        f.select(u"friendpostkey-1002-2"_s);
        f.prompts.answers = {false, true};
        f.action(u"mnu_DelPost2"_s)->trigger();
        QCOMPARE(f.prompts.questions.last(), u"ORV v.0.7.31c|Удалить?"_s);
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE ThisID = 2"_s), 1);
        f.action(u"mnu_DelPost2"_s)->trigger();
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE ThisID = 2"_s), 0);
        QCOMPARE(f.count(u"SELECT count(*) FROM Comments WHERE PostID = '1002'"_s), 0);
        QVERIFY(!f.shows(u"friendpostkey-1002-2"_s) && !f.shows(u"commkey-5001-1"_s));
        QCOMPARE(f.index(u"key-anna"_s).data().toString(), u"anna (2)"_s); // counted down

        f.select(u"key-me"_s);
        f.prompts.answers = {true};
        f.action(u"mnu_DelDiary"_s)->trigger();
        QVERIFY(f.prompts.questions.last().contains(u"Удалить дневник me"_s));
        QCOMPARE(f.rows(u"SELECT ThisID FROM Posts WHERE uName = 'me'"_s), QStringList{u"7"_s});
        QVERIFY(f.waitForTree());
        QVERIFY(f.shows(u"friendpostkey-tmp7-7"_s));
    }

    void markingReadAndTheViewCommands() {
        Fixture f;
        f.select(u"key-anna"_s);
        f.action(u"mnu_MakeDiaryRead"_s)->trigger();
        QCOMPARE(f.count(u"SELECT sum(New) FROM Posts WHERE uName = 'anna'"_s), 0);
        QCOMPARE(f.count(u"SELECT sum(New) FROM Comments WHERE PostID = '1003'"_s), 0);
        QCOMPARE(f.count(u"SELECT sum(New) FROM Posts"_s), 1); // boris's stays new
        f.action(u"mnu_SetAllRead"_s)->trigger();
        QCOMPARE(f.count(u"SELECT sum(New) FROM Posts"_s), 0);
        QVERIFY(f.waitForTree());
        QCOMPARE(f.pane().NewInTree(), 0);

        f.tree()->expandAll();
        f.action(u"mnu_CollapseAll2"_s)->trigger();
        QVERIFY(f.tree()->isExpanded(f.index(u"MyDiaryRoot"_s)));
        QVERIFY(f.tree()->isExpanded(f.index(u"FriendPostsRoot"_s)));
        QVERIFY(!f.tree()->isExpanded(f.index(u"key-anna"_s)));

        f.sql(u"UPDATE Comments SET New = 1 WHERE ThisID = 1"_s);
        f.action(u"mnu_OnlyNew"_s)->trigger();
        QVERIFY(f.waitForTree());
        QVERIFY(f.shows(u"commkey-5001-1"_s) && !f.shows(u"commkey-5002-2"_s));
        f.action(u"mnu_OnlyNew"_s)->trigger();
        QVERIFY(f.waitForTree());
        QVERIFY(f.shows(u"commkey-5002-2"_s));
    }

    void toolbarButtonsRunTheirCommandsWhateverTheMenus() {
        Fixture f;
        f.ctx->options.veiw_setcomm = true; // a reply opens no modal settings window
        for (QAction* a : f.mainForm->findChildren<QAction*>()) {
            a->setEnabled(!a->objectName().startsWith(u"mnu"_s));
        }
        f.action(u"tb_setting"_s)->trigger();
        QVERIFY(f.mainForm->settingsForm() && f.mainForm->settingsForm()->isVisible());
        f.action(u"tb_friends"_s)->trigger();
        QVERIFY(f.mainForm->relForm() && f.mainForm->relForm()->isVisible());
        QCOMPARE(f.mainForm->relForm()->ListFriends->count(), 2);
        f.action(u"tb_setcom"_s)->trigger();
        QVERIFY(f.mainForm->findChild<CommForm*>()->isVisible());
        f.action(u"tb_new"_s)->trigger();
        QVERIFY(f.mainForm->editor() && !f.mainForm->editor()->writesComment());
        f.select(u"friendpostkey-1003-1"_s);
        f.action(u"tb_comment"_s)->trigger();
        QVERIFY(f.mainForm->editor()->writesComment());
        f.prompts.answers = {true};
        f.action(u"tb_recicle"_s)->trigger();
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE ThisID = 1"_s), 0);
    }

    void aSinglePostByNumberWaitsForTheNextRun() {
        Fixture f;
        f.prompts.typed = {u"12345"_s, u"12a"_s};
        f.action(u"mnuSinglePost"_s)->trigger();
        f.action(u"mnuSinglePost"_s)->trigger();
        QCOMPARE(f.rows(u"SELECT ID FROM tmp_MessagesToGet"_s), QStringList{u"12345"_s});
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages.last().text,
                 u"Введенный номер не корректен. Попробуй еще раз."_s);
    }

    void searchHitsLeadToTheirNodes() {
        Fixture f;
        ReceivedMessages(f.ctx->db).savePosts(
            {{u"Читаю «Мастера и Маргариту»"_s, u"О книгах"_s, u"05.03.2006 10:00:00"_s, u"anna"_s,
              u"100"_s, u"71"_s}});
        QVERIFY(f.reloadTree());
        QListWidget* hits = f.pane().SearchHits;
        f.ctx->settings.TimeOffset = u"3"_s; // hits are dated in local time
        f.search(u"маргари"_s);              // the last word as typed so far
        QVERIFY(hits->isVisibleTo(f.mainForm.get()));
        QCOMPARE(hits->count(), 1);
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Поиск: найдено 1"_s));
        auto* label = qobject_cast<QLabel*>(hits->itemWidget(hits->item(0)));
        QVERIFY(label->text().contains(u"<b>Маргариту</b>"_s) && label->text().contains(u"anna"_s));
        QVERIFY(label->text().contains(u"05.03.2006 13:00:00"_s));
        QTest::mouseClick(hits->viewport(), Qt::LeftButton, {},
                          hits->visualItemRect(hits->item(0)).center());
        QCOMPARE(f.selected().section(u'-', 0, 1), u"friendpostkey-100"_s);
        QVERIFY(f.page().contains(u"Маргариту"_s)); // its page is shown
        QTest::keyClick(hits, Qt::Key_Escape);
        QVERIFY(!hits->isVisibleTo(f.mainForm.get()));

        f.sql(u"INSERT INTO Posts (PostID, uName, Message, Messagedate, Sent) WITH RECURSIVE "
              u"n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 120) SELECT 'x' || i, "
              u"'vova', 'снег', '2006-03-01 10:00:00', 1 FROM n"_s);
        SearchIndex(f.ctx->db).rebuild();
        f.search(u"снег"_s);
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Поиск: показаны первые 100 из 121"_s));
        // The selected hit is drawn in the highlight's text colour, the others not.
        hits->setCurrentRow(1);
        const auto role = [&](int row) {
            return hits->itemWidget(hits->item(row))->foregroundRole();
        };
        QCOMPARE(QList({role(0), role(1)}), QList({QPalette::Text, QPalette::HighlightedText}));

        f.search(u"собаки"_s);
        QVERIFY(!hits->isVisibleTo(f.mainForm.get()));
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Поиск: ничего не найдено"_s));
        f.search(u"\"коты"_s);
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Поиск: В запросе не закрыта кавычка."_s));
        QCOMPARE(f.ctx->log.failureCount(), 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
