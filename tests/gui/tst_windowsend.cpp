#include "GuiFixture.h"
#include "GuiPrompts.h"
#include "StandinServer.h"
#include "TreeModel.h"
#include "store/Outbox.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::GuiFixture {
    standin::StandinData data;
    standin::StandinServer server{data};

    Fixture() {
        data.seed(3);
        QVERIFY(server.listen());
        configure({{u"UserName"_s, data.user},
                   {u"Password"_s, data.password},
                   {u"ServiceURL"_s, server.url()}});
    }

    qint64 writePost(Database& db, const QString& header) {
        OutgoingMessage post;
        post.header = header;
        post.message = u"Текст"_s;
        post.date = u"2006-03-05 09:07:00"_s;
        post.userName = data.user;
        return Outbox(db).addPost(post);
    }
    qsizetype unsentPosts() { return Outbox(ctx->db).unsentCount(MessageRef::Kind::Post); }
    QAction* action(const QString& name) { return mainForm->findChild<QAction*>(name); }
    bool logged(const QString& text) {
        return mainForm->statusList()->findText(text, Qt::MatchEndsWith) >= 0;
    }
};

QMessageBox* visibleMessageBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

} // namespace

class WindowSendTest : public QObject {
    Q_OBJECT

private slots:
    void sendRunsBesideTheWindow() {
        Fixture f;
        f.start();
        const qint64 key = f.writePost(f.ctx->db, u"Из окна"_s);
        QVERIFY(f.reloadTree());
        f.server.setFault(standin::Fault::Delay, 1, 300);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.action(u"tb_send"_s)->trigger();
        // Receiving and sending stay enabled and refuse a second run by name.
        QVERIFY(!f.action(u"mnu_GetAllComments"_s)->isEnabled());
        QVERIFY(f.action(u"mnu_Get"_s)->isEnabled());
        QVERIFY(f.action(u"mnu_Send"_s)->isEnabled());
        f.action(u"mnu_Get"_s)->trigger();
        // The run's own lines may come after it: look for the refusal.
        const QStringList lines = f.ctx->log.lines();
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString& line) {
            return line.endsWith(u"  Обмен с сервером уже идёт, дождитесь его окончания."_s);
        }));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(f.unsentPosts(), 0);
        QVERIFY(f.logged(u"  Отправляю сообщения..."_s));
        QVERIFY(f.ctx->log.currentText().endsWith(u"  Операция завершена"_s));
        // The rebuilt tree shows the post under its service identifier.
        const QString sentKey = u"friendpostkey-"_s + QString::number(f.data.posts.back().id) +
                                u'-' + QString::number(key);
        QVERIFY(f.mainForm->treeModel()->indexOfKey(sentKey).isValid());
        QCOMPARE(f.server.service().documents.size(), 1);
    }

    void questionsAreAskedWhileTheWindowIsHidden() {
        Fixture f;
        GuiPrompts boxes; // real message boxes instead of the script
        AppContext ctx(f.dir.folder(), boxes, f.userStore);
        TrayForm tray(ctx);
        MainForm window(ctx, tray);
        tray.attach(&window);
        boxes.setParentWindow(&window);
        window.Form_Load();
        window.hide(); // as when it sits in the notification area
        const qint64 key = f.writePost(ctx.db, u"Отклонят"_s);
        f.server.service().reject(u"post-"_s + QString::number(key), u"63"_s);
        // The box runs a loop of its own: it is answered from a timer there.
        QString asked;
        QTimer answerer;
        connect(&answerer, &QTimer::timeout, &answerer, [&] {
            if (QMessageBox* box = visibleMessageBox()) {
                asked = box->text();
                box->button(QMessageBox::Yes)->click(); // keep it
            }
        });
        answerer.start(50);
        QSignalSpy finished(&window, &MainForm::exchangeFinished);
        window.mnu_Send_Click();
        QVERIFY(finished.wait(30000));
        QVERIFY(asked.contains(u"возникла ошибка №63"_s));
        QVERIFY(asked.endsWith(u"'Нет' - удалить пост"_s));
        QCOMPARE(Outbox(ctx.db).unsentCount(MessageRef::Kind::Post), 1);
    }

    void closingDuringASendKeepsTheOutbox() {
        Fixture f;
        f.start();
        f.writePost(f.ctx->db, u"Не дождётся"_s);
        f.ctx->exchangeTimeout = std::chrono::hours(5);
        f.server.setFault(standin::Fault::Silent);
        f.mainForm->mnu_Send_Click();
        QTest::qWait(200);
        f.mainForm.reset(); // ends the run without waiting for the service
        QCOMPARE(f.unsentPosts(), 1);
    }
};

QTEST_MAIN(WindowSendTest)
#include "tst_windowsend.moc"
