// The composer's windows as the user meets them: each fits the screen and
// shows every caption whole. With ORV_SCREENSHOT_DIR set, each window is also
// saved there as a PNG (run under xvfb-run with QT_QPA_PLATFORM=xcb to see
// the desktop's style).
#include "AddForm.h"
#include "AddUserForm.h"
#include "CommForm.h"
#include "GuiFixture.h"
#include "GuiPrompts.h"
#include "RunProgress.h"
#include "SetMesForm.h"
#include "SetUpdForm.h"
#include "SettingsForm.h"
#include "SmileForm.h"
#include "StandinServer.h"
#include "TrayForm.h"
#include "TreeModel.h"
#include "store/SearchIndex.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTextEdit>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::GuiFixture {
    Fixture() {
        configure(u"me"_s);
        start();
        ctx->options.veiw_setcomm = true;
        ctx->db.execute(u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, "
                        u"Messagedate, Sent) VALUES ('700', '9', 'anna', 'Её пост', "
                        u"'Сегодня &laquo;хороший&raquo; день.' || char(10) || 'И вечер.', "
                        u"'2006-03-05 10:00:00', 1)"_s);
        ctx->db.execute(u"INSERT INTO AddressBook (Nick, Status) VALUES ('anna', 'BUDDY'), "
                        u"('boris', 'READER')"_s);
        ctx->db.execute(u"INSERT INTO Smiles (Smile, SmileURL) VALUES (':)', 'smile.gif'), "
                        u"(':(', 'sad.gif')"_s);
        QVERIFY(reloadTree());
    }
};

// Every caption of the window shows whole, and the window fits the screen.
void checkFits(QWidget* window) {
    QVERIFY(QTest::qWaitForWindowExposed(window));
    const QRect screen = window->screen()->availableGeometry();
    QVERIFY2(window->frameGeometry().width() <= screen.width() &&
                 window->frameGeometry().height() <= screen.height(),
             qPrintable(window->objectName()));
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w->parentWidget())) {
            continue; // the box's own clear button
        }
        const auto* label = qobject_cast<QLabel*>(w);
        // A label that wraps its text is never cut, only made taller.
        const bool captioned = (label && !label->wordWrap()) || qobject_cast<QAbstractButton*>(w);
        if (captioned && w->isVisible()) {
            QVERIFY2(w->width() >= w->minimumSizeHint().width(),
                     qPrintable(window->objectName() + u'/' + w->objectName() + u'/' +
                                QString::fromLatin1(w->metaObject()->className()) + u'/' +
                                QString::number(w->width()) + u'<' +
                                QString::number(w->minimumSizeHint().width())));
        }
    }
    const QString dir = qEnvironmentVariable("ORV_SCREENSHOT_DIR");
    if (!dir.isEmpty()) {
        QTest::qWait(100);
        window->grab().save(dir + u'/' + window->objectName() + u".png"_s);
    }
}

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT

private slots:
    void theEditorWithFormatting() {
        Fixture f;
        f.mainForm->mnu_NewPost_Click();
        AddForm* editor = f.mainForm->editor();
        editor->setObjectName(u"AddForm-new"_s);
        editor->HeadText->setText(u"Первый пост из офлайна"_s);
        editor->Text_nast->setText(u"бодрое"_s);
        editor->txtSrcCode->setPlainText(
            u"<b>Жирный</b>, <i>курсив</i>, <u>подчёркнутый</u> и <font face='Georgia' "
            u"size='5' color='#C00000'>цветной</font> текст.<br>Ссылка: <a "
            u"href='http://kordenet.ru/'>Корденет</a> :)"_s);
        editor->Form_Activate();
        checkFits(editor);
    }

    void theEditorReplying() {
        Fixture f;
        f.mainForm->tree()->setCurrentIndex(
            f.mainForm->treeModel()->indexOfKey(u"friendpostkey-700-1"_s));
        f.mainForm->mnu_Comment_Click();
        AddForm* editor = f.mainForm->editor();
        QVERIFY(editor);
        editor->setObjectName(u"AddForm-reply"_s);
        editor->Form_Activate();
        checkFits(editor);
    }

    void theSmallWindows() {
        Fixture f;
        CommForm comments(*f.ctx, f.mainForm.get());
        comments.show();
        checkFits(&comments);
        f.mainForm->mnu_setMes_Click();
        checkFits(f.mainForm->findChild<SetMesForm*>());
        f.mainForm->mnu_NewPost_Click();
        AddUserForm names(*f.ctx, f.mainForm->editor());
        names.show();
        checkFits(&names);
        auto* smileys = new SmileForm(*f.ctx, f.mainForm->editor());
        smileys->showCatalogue();
        checkFits(smileys);
        f.mainForm->mnu_update_Click();
        checkFits(f.mainForm->findChild<SetUpdForm*>());
        f.mainForm->mnu_Setting_Click();
        SettingsForm* settings = f.mainForm->settingsForm();
        settings->ListVars->setCurrentRow(2); // the service's address
        checkFits(settings);
    }

    // The tree of a reader with new items: bold, counted beside each diary
    // and "Дневники друзей", each count shown whole.
    void theSearchHits() {
        Fixture f;
        f.ctx->db.execute(u"INSERT INTO Comments (CommentID, PostID, JournalID, uName, Message, "
                          u"Messagedate, Sent) VALUES ('950', '700', '9', 'boris', 'Хороший "
                          u"вопрос, а день и правда хороший.', '2006-03-05 12:00:00', 1)"_s);
        SearchIndex(f.ctx->db).rebuild(); // the rows above went in by hand
        QVERIFY(f.reloadTree());
        f.mainForm->SearchText->setText(u"хорош*"_s);
        f.mainForm->runSearch();
        QCOMPARE(f.mainForm->SearchHits->count(), 2);
        f.mainForm->setObjectName(u"MainForm-search"_s);
        checkFits(f.mainForm.get());
        f.mainForm->setObjectName(u"MainForm"_s);
    }

    void theMainWindowWithNewItems() {
        Fixture f;
        f.ctx->db.execute(
            u"INSERT INTO Posts (PostID, JournalID, uName, Header, Message, Messagedate, New, "
            u"Sent) VALUES "
            u"('701', '9', 'anna', '&laquo;Весна&raquo; &mdash; наконец-то!', 'Текст.', "
            u"'2006-03-06 10:00:00', 1, 1),"
            u"('702', '9', 'anna', 'Про погоду и про то, что будет завтра', 'Текст.', "
            u"'2006-03-07 10:00:00', 0, 1),"
            u"('801', '10', 'boris', 'Новости&#8230;', 'Текст.', '2006-03-07 11:00:00', 1, 1),"
            u"('802', '10', 'boris', 'Без новостей', 'Текст.', '2006-03-04 11:00:00', 0, 1),"
            u"('901', '11', 'marta', 'Старое', 'Текст.', '2006-03-01 11:00:00', 0, 1),"
            u"('601', '12', 'me', 'Мой пост', 'Текст.', '2006-03-02 11:00:00', 0, 1)"_s);
        f.ctx->db.execute(
            u"INSERT INTO Comments (CommentID, PostID, JournalID, uName, Message, Messagedate, "
            u"New, Sent) VALUES "
            u"('5001', '702', '9', 'marta', 'Да.', '2006-03-07 12:00:00', 1, 1),"
            u"('5002', '702', '9', 'boris', 'Нет.', '2006-03-07 13:00:00', 1, 1),"
            u"('5003', '702', '9', 'anna', 'Ладно.', '2006-03-07 14:00:00', 0, 1),"
            u"('5004', '601', '12', 'anna', 'Привет.', '2006-03-07 15:00:00', 1, 1)"_s);
        f.ctx->db.execute(u"INSERT INTO PrivateMessages (Out, uName, Message, Messagedate, New, "
                          u"Sent) VALUES (0, 'marta', 'Привет!', '2006-03-07 16:00:00', 1, 1)"_s);
        QVERIFY(f.reloadTree());
        QTreeView* tree = f.mainForm->tree();
        tree->setCurrentIndex(f.mainForm->treeModel()->indexOfKey(u"friendpostkey-702-3"_s));
        QVERIFY(QTest::qWaitForWindowExposed(f.mainForm.get()));
        for (const QString& key : {u"FriendPostsRoot"_s, u"key-anna"_s, u"key-boris"_s}) {
            const QModelIndex index = f.mainForm->treeModel()->indexOfKey(key);
            QStyleOptionViewItem option;
            option.initFrom(tree);
            option.features =
                QStyleOptionViewItem::HasDisplay | QStyleOptionViewItem::HasDecoration;
            option.decorationSize = tree->iconSize();
            QVERIFY2(tree->visualRect(index).width() >=
                         tree->itemDelegateForIndex(index)->sizeHint(option, index).width(),
                     qPrintable(index.data().toString()));
        }
        f.mainForm->setObjectName(u"MainForm-new"_s);
        const QString dir = qEnvironmentVariable("ORV_SCREENSHOT_DIR");
        if (!dir.isEmpty()) {
            QTest::qWait(100);
            f.mainForm->grab().save(dir + u'/' + f.mainForm->objectName() + u".png"_s);
        }
    }

    void theMainWindowDuringAReceive() {
        test::GuiFixture f;
        standin::StandinData data;
        data.seed(40);
        standin::StandinServer server(data);
        QVERIFY(server.listen());
        f.configure({{u"UserName"_s, data.user},
                     {u"Password"_s, data.password},
                     {u"ServiceURL"_s, server.url()},
                     {u"MaxPost"_s, u"10000"_s},
                     {u"PostsToGetPerOneSession"_s, u"5"_s}});
        f.start();
        server.setFault(standin::Fault::Delay, -1, 400);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.mainForm->mnu_Get_Click();
        QTRY_VERIFY_WITH_TIMEOUT(f.mainForm->runProgress()->bar()->value() >= 10, 30000);
        f.mainForm->setObjectName(u"MainForm-receiving"_s);
        checkFits(f.mainForm.get());
        f.mainForm->runProgress()->cancelButton()->click();
        QVERIFY(finished.wait(30000));
    }

    void theAboutBox() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.start();
        GuiPrompts prompts;
        prompts.setParentWindow(f.mainForm.get());
        // The command's text, shown in the box the window program shows.
        f.mainForm->mnu_About_Click();
        const QString text = f.prompts.messages.last().text;
        bool seen = false;
        QTimer::singleShot(200, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            box->setObjectName(u"AboutBox"_s);
            checkFits(box);
            seen = true;
            box->accept();
        });
        prompts.inform(u"О программе"_s, text, UserPrompts::Icon::Information);
        QVERIFY(seen);
    }

    void theFirstStartInAnEmptyFolder() {
        test::GuiFixture f(test::TestFolder::Icons::None);
        f.start();
        QVERIFY(f.mainForm->isVisible());
        SettingsForm* settings = f.mainForm->settingsForm();
        QVERIFY(settings && settings->isVisible());
        f.mainForm->setObjectName(u"MainForm-first-start"_s);
        checkFits(f.mainForm.get());
        settings->setObjectName(u"SettingsForm-first-start"_s);
        checkFits(settings);
    }

    // The notification icon's two states, where there is a notification area
    // (under Xvfb: start trayer first).
    void theBlinkingIcon() {
        Fixture f;
        f.mainForm->Timer->stop();
        QSystemTrayIcon* icon = f.tray->icon();
        const qint64 program = icon->icon().cacheKey();
        f.tray->blink(true);
        QVERIFY(icon->icon().cacheKey() != program);
        const QString dir = qEnvironmentVariable("ORV_SCREENSHOT_DIR");
        if (dir.isEmpty() || !TrayForm::notificationAreaAvailable()) {
            return;
        }
        for (const QString& state : {u"tray-friends"_s, u"tray-program"_s}) {
            QTest::qWait(500);
            const QRect where = icon->geometry().adjusted(-40, -4, 40, 4);
            QGuiApplication::primaryScreen()
                ->grabWindow(0, where.x(), where.y(), where.width(), where.height())
                .scaled(where.size() * 4)
                .save(dir + u'/' + state + u".png"_s);
            f.tray->blink(true);
        }
    }
};

QTEST_MAIN(ScreensTest)
#include "tst_screens.moc"
