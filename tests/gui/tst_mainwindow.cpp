#include "AddForm.h"
#include "CommForm.h"
#include "GuiFixture.h"
#include "MessageView.h"
#include "RelForm.h"
#include "SettingsForm.h"
#include "TreeModel.h"
#include "app/Cp1251.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// A started window over a store with a friend's post and its comments, an own
// unsent post, a private message and the friends lists.
struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        sql(u"INSERT INTO Posts (ThisID, PostID, JournalID, uName, Header, Message, Messagedate, "
            u"New, Sent, AddDate) VALUES "
            u"(1, '1001', '71', 'anna', 'Про погоду', '[b]Снег[/b]', '2006-03-05 14:07:00', 1, 1, "
            u"'2006-03-06 09:00:00'),"
            u"(2, 'tmp2', NULL, 'me', 'Черновик', 'Ещё пишу', '2006-03-07 10:00:00', 0, 0, NULL),"
            u"(3, '1002', '72', 'bo-ris', 'Дефис', 'Текст', '2006-03-05 10:00:00', 0, 1, "
            u"'2006-03-06 09:00:00')"_s);
        sql(u"INSERT INTO Comments (ThisID, CommentID, PostID, JournalID, uName, Message, "
            u"Messagedate, New, Sent) VALUES "
            u"(1, '5003', '1001', '71', 'Ёжик', 'третий', '2006-03-05 15:03:00', 0, 1),"
            u"(2, '5001', '1001', '71', 'marta', 'первый', '2006-03-05 15:01:00', 1, 1),"
            u"(3, '5002', '1001', '71', 'anna', 'второй', '2006-03-05 15:02:00', 0, 1)"_s);
        sql(u"INSERT INTO PrivateMessages (ID, Out, uName, Message, Messagedate, New, Sent) "
            u"VALUES (1, 0, 'marta', 'Привет!', '2006-03-05 12:00:00', 1, 1)"_s);
        sql(u"INSERT INTO AddressBook (Nick, Status, New, Old) VALUES ('vova', 'BUDDY', 0, 1), "
            u"('anna', 'BUDDY', 0, 1), ('marta', 'READER', 0, 1)"_s);
        QVERIFY(reloadTree());
    }

    void sql(const QString& statement) { ctx->db.execute(statement); }
    int count(const QString& sqlText) {
        QSqlQuery q = ctx->db.prepare(sqlText);
        Database::exec(q);
        return q.next() ? q.value(0).toInt() : -1;
    }
    // In the tree shown once the last rebuild asked for has arrived.
    void select(const QString& key) {
        QVERIFY(waitForTree());
        mainForm->tree()->setCurrentIndex(mainForm->treeModel()->indexOfKey(key));
    }
    QString page() { return Cp1251::decode(dir.read(u"tmp/out.htm"_s)); }
    const TreeNode& node(const QString& key) {
        return mainForm->treeModel()
            ->snapshot()
            .nodes[size_t(mainForm->treeModel()->snapshot().indexOfKey(key))];
    }
    QAction* action(const QString& name) { return mainForm->findChild<QAction*>(name); }
};

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void postPageWithCommentsAndReadMarking() {
        Fixture f;
        const QString key = u"friendpostkey-1001-1"_s;
        QCOMPARE(f.node(key).icon, int(IconNew));
        f.select(key);
        const QString page = f.page();
        QVERIFY(page.contains(u"<b>Снег</b>"_s));
        const qsizetype first = page.indexOf(u"первый"_s);
        QVERIFY(first > 0 && first < page.indexOf(u"второй"_s) &&
                page.indexOf(u"второй"_s) < page.indexOf(u"третий"_s));
        QVERIFY(f.mainForm->browser()->toPlainText().contains(u"Про погоду"_s));
        QCOMPARE(f.count(u"SELECT New FROM Posts WHERE ThisID = 1"_s), 0);
        QCOMPARE(f.node(key).icon, int(IconRead));
        QCOMPARE(f.node(key).selectedIcon, int(IconSelected));

        // The selection survives a rebuild by its key.
        QVERIFY(f.reloadTree());
        QCOMPARE(f.mainForm->selectedKey(), key);
        QCOMPARE(f.node(key).selectedIcon, int(IconSelected));
    }

    void otherNodesShowTheirPages() {
        Fixture f;
        f.select(u"privkey-1"_s);
        QVERIFY(f.page().contains(u"<b>Приватное сообщение&nbsp;</b>"_s));
        QCOMPARE(f.count(u"SELECT New FROM PrivateMessages"_s), 0);

        f.select(u"key-bo-ris"_s); // a name with a hyphen
        QVERIFY(
            f.page().contains(u"Дневник - <A href='https://kordenet.ru/users/72/'>bo-ris</A>"_s));

        f.select(u"MyForums"_s);
        QVERIFY(f.mainForm->browser()->toPlainText().isEmpty());

        f.select(u"friendpostkey-1002-3"_s);
        const QString before = f.mainForm->browser()->toHtml();
        f.sql(u"DELETE FROM Posts WHERE uName = 'me'"_s);
        f.select(u"key-me"_s); // no own post: the view keeps its page
        QCOMPARE(f.mainForm->browser()->toHtml(), before);
        QVERIFY(f.ctx->log.lines().size() == 1); // only "Программа запущена"
    }

    void contextMenuFollowsTheNodeKind() {
        Fixture f;
        const auto enabled = [&](const QString& key) {
            f.select(key);
            f.mainForm->Tree_MouseUp(QPoint(5, 5));
            QStringList on;
            for (QAction* a : f.mainForm->contextMenu()->actions()) {
                if (!a->isSeparator() && a->isEnabled()) {
                    on.append(a->text());
                }
            }
            f.mainForm->contextMenu()->hide();
            return on;
        };
        QCOMPARE(enabled(u"friendpostkey-1001-1"_s),
                 QStringList({u"Новое сообщение"_s, u"Комментировать"_s, u"Получить все комменты"_s,
                              u"Удалить сообщение"_s, u"Свернуть дерево"_s}));
        QCOMPARE(enabled(u"friendpostkey-tmp2-2"_s),
                 QStringList({u"Новое сообщение"_s, u"Редактировать"_s, u"Удалить сообщение"_s,
                              u"Свернуть дерево"_s}));
        QCOMPARE(enabled(u"commkey-5001-2"_s),
                 QStringList({u"Новое сообщение"_s, u"Комментировать"_s, u"Удалить сообщение"_s,
                              u"Свернуть дерево"_s}));
        QCOMPARE(enabled(u"key-me"_s),
                 QStringList({u"Новое сообщение"_s, u"Удалить дневник"_s, u"Свернуть дерево"_s,
                              u"Отметить дневник прочтенным"_s}));
        f.select(u"MyPrivates"_s);
        f.mainForm->Tree_MouseUp(QPoint(5, 5));
        QVERIFY(!f.mainForm->contextMenu()->isVisible());
        // The node decides for the context menu only: the menu bar's commands
        // on the selected message stay enabled after a diary's menu.
        for (const QString& name : {u"mnu_NewPost2"_s, u"mnu_Comment2"_s, u"mnu_EditPost2"_s,
                                    u"mnu_DelPost2"_s, u"mnu_CollapseAll2"_s}) {
            QVERIFY2(f.action(name)->isEnabled(), qPrintable(name));
        }
    }

    void toolbarButtonsRunTheirCommandsWhateverTheMenus() {
        Fixture f;
        f.ctx->options.veiw_setcomm = true; // a reply opens no modal settings window
        for (QAction* a : f.mainForm->findChildren<QAction*>()) {
            if (a->objectName().startsWith(u"mnu"_s)) {
                a->setEnabled(false);
            }
        }
        f.action(u"tb_setting"_s)->trigger();
        QVERIFY(f.mainForm->settingsForm() && f.mainForm->settingsForm()->isVisible());
        f.action(u"tb_friends"_s)->trigger();
        QVERIFY(f.mainForm->relForm() && f.mainForm->relForm()->isVisible());
        f.action(u"tb_setcom"_s)->trigger();
        QCOMPARE(f.mainForm->findChildren<CommForm*>().size(), 1);
        QVERIFY(f.mainForm->findChild<CommForm*>()->isVisible());

        f.action(u"tb_new"_s)->trigger();
        QVERIFY(f.mainForm->editor() && f.mainForm->editor()->isVisible());
        QVERIFY(!f.mainForm->editor()->writesComment() && !f.mainForm->editor()->editedKey());
        f.select(u"friendpostkey-1001-1"_s);
        f.action(u"tb_comment"_s)->trigger();
        QVERIFY(f.mainForm->editor()->writesComment());

        f.prompts.answers = {true};
        f.action(u"tb_recicle"_s)->trigger();
        QCOMPARE(f.prompts.questions, QStringList({u"ORV v.0.7.31c|Удалить?"_s}));
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE ThisID = 1"_s), 0);
    }

    void deletingAPostTakesItsComments() {
        Fixture f;
        f.select(u"friendpostkey-1001-1"_s);
        f.prompts.answers = {false};
        f.action(u"mnu_DelPost2"_s)->trigger();
        QCOMPARE(f.prompts.questions.last(), u"ORV v.0.7.31c|Удалить?"_s);
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 3);

        f.prompts.answers = {true};
        f.action(u"mnu_DelPost2"_s)->trigger();
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE ThisID = 1"_s), 0);
        QCOMPARE(f.count(u"SELECT count(*) FROM Comments"_s), 0);
        QVERIFY(!f.mainForm->treeModel()->indexOfKey(u"friendpostkey-1001-1"_s).isValid());
        QVERIFY(!f.mainForm->treeModel()->indexOfKey(u"commkey-5001-2"_s).isValid());
    }

    void deletingADiaryAsksAndKeepsTheUnsent() {
        Fixture f;
        f.select(u"key-me"_s);
        f.prompts.answers = {true};
        f.action(u"mnu_DelDiary"_s)->trigger();
        QVERIFY(f.prompts.questions.last().contains(u"Удалить дневник me"_s));
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts WHERE uName = 'me'"_s), 1); // unsent stays
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 3);

        f.select(u"key-bo-ris"_s);
        f.prompts.answers = {true};
        f.action(u"mnu_DelDiary"_s)->trigger();
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 2);
        QVERIFY(f.waitForTree());
        QVERIFY(!f.mainForm->treeModel()->indexOfKey(u"key-bo-ris"_s).isValid());
    }

    void markingRead() {
        Fixture f;
        f.select(u"key-anna"_s);
        f.action(u"mnu_MakeDiaryRead"_s)->trigger();
        QCOMPARE(f.count(u"SELECT sum(New) FROM Posts"_s), 0);
        QCOMPARE(f.count(u"SELECT sum(New) FROM Comments"_s), 0);
        QVERIFY(f.waitForTree());
        QCOMPARE(f.mainForm->NewInTree(), 0);

        f.sql(u"UPDATE Comments SET New = 1"_s);
        f.action(u"mnu_SetAllRead"_s)->trigger();
        QCOMPARE(f.count(u"SELECT sum(New) FROM Comments"_s), 0);
        QCOMPARE(f.count(u"SELECT sum(New) FROM PrivateMessages"_s), 1);
    }

    void viewCommands() {
        Fixture f;
        f.mainForm->tree()->expandAll();
        f.action(u"mnu_CollapseAll2"_s)->trigger();
        QTreeView* tree = f.mainForm->tree();
        QVERIFY(tree->isExpanded(f.mainForm->treeModel()->indexOfKey(u"MyDiaryRoot"_s)));
        QVERIFY(tree->isExpanded(f.mainForm->treeModel()->indexOfKey(u"FriendPostsRoot"_s)));
        QVERIFY(!tree->isExpanded(f.mainForm->treeModel()->indexOfKey(u"key-anna"_s)));

        QAction* onlyNew = f.action(u"mnu_OnlyNew"_s);
        onlyNew->trigger();
        QVERIFY(onlyNew->isChecked());
        QVERIFY(f.waitForTree());
        QVERIFY(!f.mainForm->treeModel()->indexOfKey(u"commkey-5003-1"_s).isValid());
        QVERIFY(f.mainForm->treeModel()->indexOfKey(u"commkey-5001-2"_s).isValid());
        onlyNew->trigger();
        QVERIFY(f.waitForTree());
        QVERIFY(f.mainForm->treeModel()->indexOfKey(u"commkey-5003-1"_s).isValid());
    }

    void menusShortcutsAndToolbar() {
        Fixture f;
        QStringList menus;
        for (QAction* a : f.mainForm->menuBar()->actions()) {
            menus.append(a->text().remove(u'&'));
        }
        QCOMPARE(menus, QStringList(
                            {u"Сервер"_s, u"Настройки"_s, u"Вид"_s, u"Сообщения"_s, u"Справка"_s}));
        const QList<QPair<QString, QKeySequence>> shortcuts = {
            {u"mnu_Get"_s, Qt::Key_F2},
            {u"mnu_Send"_s, Qt::Key_F3},
            {u"mnu_NewPost2"_s, Qt::Key_F4},
            {u"mnu_Comment2"_s, Qt::Key_F5},
            {u"mnu_EditPost2"_s, Qt::Key_F6},
            {u"mnu_OnlyNew"_s, Qt::Key_F9},
            {u"mnu_CollapseAll2"_s, Qt::Key_F12},
            {u"mnu_DelPost2"_s, Qt::Key_Delete},
            {u"mnu_SetAllRead"_s, QKeySequence(Qt::CTRL | Qt::Key_R)},
        };
        for (const auto& [name, keys] : shortcuts) {
            QCOMPARE(f.action(name)->shortcut(), keys);
        }
        QStringList tips;
        for (QAction* a : f.mainForm->findChild<QToolBar*>(u"Toolbar"_s)->actions()) {
            tips.append(a->isSeparator() ? u"|"_s : a->toolTip());
        }
        QCOMPARE(tips, QStringList({u"Получить "_s, u"Отправить"_s, u"Получить список смайликов"_s,
                                    u"|"_s, u"Настройки"_s, u"Настройки комментариев"_s,
                                    u"Списки друзей и ПЧ"_s, u"|"_s, u"Новое сообщение"_s,
                                    u"Комментировать текущее сообщение"_s, u"Удалить"_s, u"|"_s,
                                    QString() /* the search box */}));
    }

    void singlePostByNumber() {
        Fixture f;
        f.prompts.typed = {u"12345"_s, u"12a"_s};
        f.action(u"mnuSinglePost"_s)->trigger();
        QCOMPARE(f.count(u"SELECT count(*) FROM tmp_MessagesToGet WHERE ID = '12345'"_s), 1);
        f.action(u"mnuSinglePost"_s)->trigger();
        QCOMPARE(f.prompts.messages.last().text,
                 u"Введенный номер не корректен. Попробуй еще раз."_s);
        QCOMPARE(f.prompts.messages.last().title, u"Запрос на ввод номера поста"_s);
        QCOMPARE(f.count(u"SELECT count(*) FROM tmp_MessagesToGet"_s), 1);
    }

    void friendsDialog() {
        Fixture f;
        f.action(u"mnu_Friends"_s)->trigger();
        RelForm* form = f.mainForm->relForm();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->ListFriends->count(), 2);
        QCOMPARE(form->ListFriends->item(0)->text(), u"anna"_s);
        QCOMPARE(form->ListFriends->item(1)->text(), u"vova"_s);
        QCOMPARE(form->ListPCh->item(0)->text(), u"marta"_s);

        emit form->ListFriends->customContextMenuRequested(QPoint(2, 2));
        QVERIFY(!form->mnuFr->actions()[0]->isEnabled());
        QVERIFY(form->mnuFr->actions()[1]->isEnabled());
        form->mnuFr->hide();

        QTest::mouseClick(form->ListPCh->viewport(), Qt::LeftButton, {},
                          form->ListPCh->visualItemRect(form->ListPCh->item(0)).center());
        QCOMPARE(form->ListPCh->currentRow(), -1);
        form->ButOK->click();
        QTRY_VERIFY(!f.mainForm->relForm());
    }
};

QTEST_MAIN(MainWindowTest)
#include "tst_mainwindow.moc"
