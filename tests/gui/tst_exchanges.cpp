// The exchanges as the main window runs them: beside the window, one at a
// time, with progress, the clock's automatic checks and their notification.
// Runs under dbus-run-session, with a fake desktop notification service on
// that private bus.
#include "Dialog.h"
#include "GuiFixture.h"
#include "GuiPrompts.h"
#include "MessageView.h"
#include "RunProgress.h"
#include "SetUpdForm.h"
#include "app/RunControl.h"
#include "store/Outbox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

const QString kBusy = u"  Обмен с сервером уже идёт, дождитесь его окончания."_s;
const QString kChecking = u"  Автозакачивание::Соединяюсь с сервером..."_s;

// Stands in for the desktop's notification service: keeps what it was asked
// to show.
class FakeNotifications : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList bodies;
    QStringList icons;
    bool fails = false; // present, but answers each call with an error

    FakeNotifications() {
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "run under dbus-run-session");
        QVERIFY(bus.registerObject(kPath, this, QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(kName));
    }
    ~FakeNotifications() override {
        QDBusConnection::sessionBus().unregisterService(kName);
        QDBusConnection::sessionBus().unregisterObject(kPath);
    }
    static inline const QString kName = u"org.freedesktop.Notifications"_s;
    static inline const QString kPath = u"/org/freedesktop/Notifications"_s;

public slots:
    uint Notify(const QString&, uint, const QString& icon, const QString&, const QString& body,
                const QStringList& actions, const QVariantMap&, int) {
        if (fails) {
            sendErrorReply(QDBusError::Failed, u"broken"_s);
            return 0;
        }
        bodies.append(body);
        icons.append(icon + u' ' + actions.join(u' '));
        return uint(bodies.size());
    }
};

struct Fixture : test::ServiceGuiFixture {
    explicit Fixture(int seedPosts = 20, const QString& perBatch = u"10"_s)
        : ServiceGuiFixture(seedPosts, perBatch) {}

    qint64 writePost(Database& db, const QString& header) {
        OutgoingMessage post;
        post.header = header;
        post.message = u"Текст"_s;
        post.userName = data.user;
        return Outbox(db).addPost(post);
    }
    void checksEvery(const QString& minutes) {
        ctx->options.check_update = true;
        ctx->options.time_update = minutes;
    }
};

} // namespace

class ExchangesTest : public QObject {
    Q_OBJECT

private slots:
    void aReceiveRunsBesideTheWindowAndASecondRunIsRefused() {
        Fixture f;
        // No keyring on the test's bus: the password stays in the store, said once.
        QCOMPARE(f.ctx->log.lines()
                     .filter(u"Пароль хранится в базе: хранилище паролей "
                             u"недоступно"_s)
                     .size(),
                 1);
        f.server.setFault(standin::Fault::Delay, 1, 500);
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.action(u"mnu_Get"_s)->trigger();
        for (const QString& name : {u"mnu_Get"_s, u"mnu_Send"_s, u"mnu_GetAllComments"_s}) {
            QVERIFY2(!f.action(name)->isEnabled(), qPrintable(name));
        }
        QVERIFY(!f.logged(kBusy));
        f.action(u"tb_send"_s)->trigger(); // the toolbar button is never disabled
        QVERIFY(f.logged(kBusy));
        QVERIFY(finished.wait(30000));
        QTest::qWait(100);
        QCOMPARE(finished.count(), 1);
        QVERIFY(f.action(u"mnu_Get"_s)->isEnabled() && f.action(u"mnu_Send"_s)->isEnabled());
        QVERIFY2(f.mainForm->statusList()->currentText().endsWith(
                     u"Получено: постов - 20, комментариев - "_s +
                     QString::number(f.data.comments.size())),
                 qPrintable(f.mainForm->statusList()->currentText()));
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 20);
        QVERIFY(f.shows(u"key-"_s + f.data.posts.front().author));
        // The friends reports did not hold the run: one window shows both.
        QVERIFY(f.prompts.texts.isEmpty());
        const auto reports = f.mainForm->findChildren<Dialog*>();
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports.first()->isVisible() && !reports.first()->isModal());
        QCOMPARE(reports.first()->windowTitle(), u"Новые друзья, Новые ПЧ"_s);
        QVERIFY(!f.ctx->settings.CheckTime_Posts.isEmpty()); // read back from the store
    }

    void aSendLeavesReceivingEnabledAndTheTreeShowsTheSentPost() {
        Fixture f(3);
        const qint64 key = f.writePost(f.ctx->db, u"Из окна"_s);
        QVERIFY(f.reloadTree());
        const QString unsent =
            u"friendpostkey-tmp"_s + QString::number(key) + u'-' + QString::number(key);
        f.select(unsent); // its page is shown
        f.server.setFault(standin::Fault::Delay, 1, 300);
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.action(u"tb_send"_s)->trigger();
        QVERIFY(!f.action(u"mnu_GetAllComments"_s)->isEnabled());
        QVERIFY(f.action(u"mnu_Get"_s)->isEnabled());
        f.action(u"mnu_Get"_s)->trigger(); // refused by name
        QVERIFY(f.logged(kBusy));
        QVERIFY(finished.wait(30000));
        QCOMPARE(Outbox(f.ctx->db).unsentCount(MessageRef::Kind::Post), 0);
        const QString published = u"friendpostkey-"_s + QString::number(f.data.posts.back().id) +
                                  u'-' + QString::number(key);
        QVERIFY(f.shows(published));
        // The message stays selected and its page follows the store.
        QCOMPARE(f.model().keyOf(f.pane().tree()->currentIndex()), published);
        QVERIFY(f.mainForm->browser()->toHtml().contains(QString::number(f.data.posts.back().id)));
    }

    void aRejectionWhileHiddenWaitsForTheWindowAndIsAskedThere_data() {
        QTest::addColumn<bool>("keep");
        QTest::addColumn<bool>("deletedMeanwhile");
        QTest::newRow("kept") << true << false;
        QTest::newRow("deleted") << false << false;
        QTest::newRow("gone meanwhile") << true << true;
    }
    void aRejectionWhileHiddenWaitsForTheWindowAndIsAskedThere() {
        QFETCH(bool, keep);
        QFETCH(bool, deletedMeanwhile);
        FakeNotifications service;
        Fixture f(3);
        GuiPrompts boxes; // real message boxes instead of the script
        AppContext ctx(f.dir.folder(), boxes, f.userStore);
        TrayForm tray(ctx);
        MainForm window(ctx, tray);
        tray.attach(&window);
        boxes.setParentWindow(&window);
        window.Form_Load();
        window.hide(); // as when it sits in the notification area
        const qint64 key = f.writePost(ctx.db, u"Отклонят"_s);
        f.server.service().reject(u"post-"_s + QString::number(key), u"52"_s);
        QStringList asked;
        QTimer answerer; // a box runs a loop of its own: it is answered from there
        connect(&answerer, &QTimer::timeout, &answerer, [&] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                if (auto* box = qobject_cast<QMessageBox*>(widget); box && box->isVisible()) {
                    asked.append(box->text());
                    box->button(keep ? QMessageBox::Yes : QMessageBox::No)->click();
                }
            }
        });
        answerer.start(50);
        QSignalSpy finished(&window.exchanges(), &ExchangeController::exchangeFinished);
        for (int run = 0; run < 2; ++run) { // the second never sends it again
            window.exchanges().mnu_Send_Click();
            QVERIFY(finished.wait(30000));
        }
        QCOMPARE(asked, QStringList());
        QCOMPARE(f.server.received().size(), 1);
        QTRY_COMPARE(
            service.bodies,
            QStringList(u"Сервер отклонил сообщение «Отклонят»: Слишком длинное сообщение"_s));
        QCOMPARE(Outbox(ctx.db).unsentCount(MessageRef::Kind::Post), 0);
        if (deletedMeanwhile) {
            ctx.db.execute(u"DELETE FROM Posts"_s);
        }
        window.show(); // asks now, once
        QTRY_COMPARE(f.count(u"SELECT count(*) FROM PendingDecisions"_s), 0);
        QCOMPARE(asked.size(), deletedMeanwhile ? 0 : 1);
        QVERIFY(deletedMeanwhile || asked.first().startsWith(u"При отправке поста"_s));
        QCOMPARE(Outbox(ctx.db).unsentCount(MessageRef::Kind::Post), keep && !deletedMeanwhile);
    }

    void progressIsShownAndCancelLeavesTheRestWaiting() {
        Fixture f(20, u"5"_s);
        f.server.setFault(standin::Fault::Delay, -1, 300);
        RunProgress* progress = f.exchanges().runProgress();
        QVERIFY(progress->isHidden());
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.exchanges().mnu_Get_Click();
        QVERIFY(progress->isVisible());
        QCOMPARE(f.tray->icon()->toolTip(), u"ORV Client — получение…"_s);
        QTRY_COMPARE_WITH_TIMEOUT(progress->bar()->value(), 5, 20000);
        QCOMPARE(progress->bar()->text(), u"5 из 20"_s);
        progress->setProgress(15100, 20000); // wide figures still fit the bar
        QVERIFY(progress->bar()->minimumWidth() >
                progress->bar()->fontMetrics().horizontalAdvance(progress->bar()->text()));
        progress->setProgress(5, 20);
        QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
        QVERIFY(finished.wait(30000));
        QVERIFY(progress->isHidden());
        QCOMPARE(f.tray->icon()->toolTip(), u"ORV Client"_s);
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 10); // the batch in flight too
        QVERIFY(f.mainForm->statusList()->currentText().endsWith(RunControl::CancelledText));
        QCOMPARE(f.pane().NewInTree(), f.count(u"SELECT count(*) FROM Posts WHERE New = 1"_s));
    }

    void theWindowWritesTheStoreWhileARunWritesIt() {
        Fixture f;
        f.server.setFault(standin::Fault::Delay, -1, 30);
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.exchanges().mnu_Get_Click();
        int actions = 0;
        for (; finished.isEmpty(); ++actions) {
            f.pane().mnu_SetAllRead_Click(); // through the window's own connection
            QTest::qWait(10);
        }
        QVERIFY(actions > 3);
        QCOMPARE(f.ctx->log.failureCount(), 0); // neither side found the store locked
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 20);
    }

    void closingDuringARunEndsIt() {
        // With a deadline of hours, only closing can end the run: were it
        // waited for, this test would not end at all.
        Fixture f(3);
        f.writePost(f.ctx->db, u"Не дождётся"_s);
        f.ctx->exchangeTimeout = std::chrono::hours(5);
        f.server.setFault(standin::Fault::Silent);
        f.exchanges().mnu_Send_Click();
        QTest::qWait(200);
        f.mainForm.reset();
        QCOMPARE(Outbox(f.ctx->db).unsentCount(MessageRef::Kind::Post), 1);
    }

    void theIconBlinksWhileTheTreeHoldsNewItemsAndIdleTicksTouchNothing() {
        Fixture f;
        f.ticks(3);
        QVERIFY(!f.tray->showsFriendsIcon());
        QVERIFY(f.run(&ExchangeController::mnu_Get_Click));
        QVERIFY(f.pane().NewInTree() > 0);
        QList<bool> shown;
        for (int i = 0; i < 3; ++i) {
            f.ticks(1);
            shown.append(f.tray->showsFriendsIcon());
        }
        QCOMPARE(shown, QList<bool>({true, false, true}));
        f.prompts.answers = {false, true}; // more than 100: asked first
        f.pane().mnu_SetAllRead_Click();
        QVERIFY(f.pane().NewInTree() > 100);
        f.pane().mnu_SetAllRead_Click();
        QCOMPARE(f.prompts.questions.filter(u"Отметить все прочитанными"_s).size(), 2);
        QVERIFY(f.waitForTree());
        f.ticks(2); // back to the program's icon, and it stays
        QVERIFY(!f.tray->showsFriendsIcon());

        const qsizetype lines = f.ctx->log.lines().size();
        const qsizetype requests = f.server.received().size();
        f.ctx->db.close(); // any use of the store would now fail and be logged
        f.ticks(1000);
        QCOMPARE(f.ctx->log.lines().size(), lines);
        QCOMPARE(f.server.received().size(), requests);
    }

    void aCheckRunsAtItsIntervalAndEndsSending() {
        Fixture f(3);
        f.checksEvery(u"1"_s);
        f.ctx->options.check_post = f.ctx->options.check_comment = false;
        f.ctx->options.check_privat = f.ctx->options.check_friends = false;
        f.writePost(f.ctx->db, u"Автоматом"_s);
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.ticks(59);
        QVERIFY(!finished.wait(200));
        QVERIFY(f.server.received().isEmpty());
        f.ticks(1);
        QVERIFY(finished.wait(30000));
        QVERIFY(f.logged(kChecking));
        QVERIFY(f.ctx->log.currentText().endsWith(u"Операция завершена"_s));
        QCOMPARE(Outbox(f.ctx->db).unsentCount(MessageRef::Kind::Post), 0);
        QCOMPARE(f.exchanges().autoCheck().AutoCheckSeconds(), 0);
    }

    void aCheckWaitsForARunningReceive() {
        Fixture f(3);
        f.checksEvery(u"1"_s);
        f.ticks(59);
        f.server.setFault(standin::Fault::Delay, 1, 700);
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.exchanges().mnu_Get_Click();
        f.ticks(5); // due, but the receive runs: no second run, not even a refusal
        QVERIFY(!f.logged(kBusy) && !f.logged(kChecking));
        QVERIFY(finished.wait(30000));
        f.ticks(1); // the next tick starts it
        QVERIFY(finished.wait(30000));
        QVERIFY(f.logged(kChecking));
    }

    void theCheckSettingsHoldTheClock() {
        Fixture f(3);
        f.exchanges().Timer->start();
        f.ticks(30);
        f.exchanges().mnu_update_Click();
        QVERIFY(!f.exchanges().Timer->isActive()); // no ticks while it is open
        auto* form = f.mainForm->findChild<SetUpdForm*>();
        QVERIFY(form && form->isVisible());
        form->CheckUpd->setChecked(true);
        form->timeText->setText(u"0"_s);
        form->Command1_Click();
        QVERIFY(f.prompts.messages.last().text.startsWith(
            u"Интервал проверки - целое число минут от 1 до 1440"_s));
        form->timeText->setText(u"5"_s);
        form->Command1_Click();
        QVERIFY(!form->isVisible());
        QVERIFY(f.exchanges().Timer->isActive());
        QCOMPARE(f.exchanges().autoCheck().AutoCheckSeconds(), 0); // a full interval from now
        QCOMPARE(f.userStore.value(u"options/time_update"_s).toString(), u"5"_s);

        f.exchanges().mnu_update_Click();
        form->CheckUpd->setChecked(false);
        form->reject(); // closed without saving: the changes go, the clock goes on
        QVERIFY(f.exchanges().Timer->isActive());
        QVERIFY(f.ctx->options.check_update);
    }

    void aCheckThatFindsSomethingNotifiesWhileHidden() {
        FakeNotifications service;
        Fixture f(10);
        f.checksEvery(u"1"_s);
        f.mainForm->hide(); // in the notification area
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.ticks(60);
        QVERIFY(finished.wait(30000));
        QTRY_COMPARE(service.bodies.size(), 1);
        QVERIFY2(QRegularExpression(u"^Kordenet: новых постов [1-9]\\d*, комментариев \\d+, "
                                    u"личных \\d+(\\n|$)"_s)
                     .match(service.bodies.first())
                     .hasMatch(),
                 qPrintable(service.bodies.first()));

        // Its click opens the window on the first new item.
        const QString firstNew = f.model().keyOf(f.model().firstNew());
        QVERIFY(!firstNew.isEmpty());
        QDBusConnection::sessionBus().send(
            QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                       u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s)
            << 1u << u"default"_s);
        QTRY_VERIFY(f.mainForm->isVisible());
        QCOMPARE(f.pane().selectedKey(), firstNew);

        // Off in the settings: the next finding stays quiet.
        f.ctx->options.show_notifications = false;
        f.mainForm->hide();
        f.data.addPost(f.data.buddies.first(), u"Ещё"_s, u"Новое"_s,
                       standin::StandinData::now().addSecs(60));
        f.ticks(60);
        QVERIFY(finished.wait(30000));
        QCOMPARE(service.bodies.size(), 1);
    }

    void aNotificationGoesToTheDesktopServiceFirstElseToTheStatusList_data() {
        QTest::addColumn<bool>("serviceFails");
        QTest::addColumn<bool>("notificationArea");
        QTest::addColumn<QString>("shownBy");
        QTest::newRow("service") << false << true << u"service"_s;
        QTest::newRow("failing service") << true << true << u"balloon"_s;
        QTest::newRow("neither") << true << false << u"status"_s;
    }
    void aNotificationGoesToTheDesktopServiceFirstElseToTheStatusList() {
        QFETCH(bool, serviceFails);
        QFETCH(bool, notificationArea);
        QFETCH(QString, shownBy);
        FakeNotifications service;
        service.fails = serviceFails;
        test::AssumedNotificationArea area(notificationArea);
        Fixture f(0);
        f.tray->Form_Load();
        f.tray->notify(u"Проверка"_s);
        const bool byService = shownBy == u"service"_s;
        QCOMPARE(service.bodies, byService ? QStringList(u"Проверка"_s) : QStringList());
        QCOMPARE(service.icons,
                 byService ? QStringList(u"orv-client default Открыть"_s) : QStringList());
        QCOMPARE(f.logged(u"Проверка"_s), shownBy == u"status"_s); // the balloon: neither
    }

    void theServiceClockIsOfferedOnceAsTheTimeOffset_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QString>("offset");
        QTest::newRow("three hours behind the service") << QByteArray("UTC") << u"-3"_s;
        QTest::newRow("the service's zone") << QByteArray("Europe/Moscow") << u"0"_s;
    }
    void theServiceClockIsOfferedOnceAsTheTimeOffset() {
        QFETCH(QByteArray, zone);
        QFETCH(QString, offset);
        const QByteArray before = qgetenv("TZ");
        qputenv("TZ", zone); // the stand-in keeps Moscow time
        ::tzset();
        Fixture f(3);
        f.prompts.answers = {true};
        for (int run = 0; run < 2; ++run) {
            QVERIFY(f.run(&ExchangeController::mnu_Get_Click));
        }
        const QString asked = u"Время сервера отличается от вашего на 3 ч. Учитывать это?"_s;
        QCOMPARE(f.prompts.questions.filter(asked).size(), offset == u"0"_s ? 0 : 1);
        QCOMPARE(f.ctx->settings.TimeOffset, offset);
        QCOMPARE(f.rows(u"SELECT iniValue FROM iniSettings WHERE iniVariable = 'TimeOffset'"_s),
                 QStringList(offset));
        before.isNull() ? qunsetenv("TZ") : qputenv("TZ", before);
        ::tzset();
    }

    void theTrayGetCommandStartsAReceiveAndHides() {
        Fixture f(3);
        QSignalSpy finished(&f.exchanges(), &ExchangeController::exchangeFinished);
        f.tray->muntr_Get_Click();
        QVERIFY(!f.mainForm->isVisible());
        QVERIFY(finished.wait(30000));
        QCOMPARE(f.count(u"SELECT count(*) FROM Posts"_s), 3);
    }
};

QTEST_MAIN(ExchangesTest)
#include "tst_exchanges.moc"
