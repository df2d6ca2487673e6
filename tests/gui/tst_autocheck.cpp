// The clock of the main window: blinking, automatic checks, their settings
// and the notification. Runs under dbus-run-session, with a fake desktop
// notification service on that private bus.
#include "GuiFixture.h"
#include "SetUpdForm.h"
#include "StandinServer.h"
#include "StoreCheck.h"
#include "TreeModel.h"
#include "store/Outbox.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// Stands in for the desktop's notification service: keeps what it was asked
// to show.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    QStringList bodies;

public slots:
    uint Notify(const QString&, uint, const QString&, const QString&, const QString& body,
                const QStringList&, const QVariantMap&, int) {
        bodies.append(body);
        return uint(bodies.size());
    }
};

struct Fixture : test::GuiFixture {
    standin::StandinData data;
    standin::StandinServer server{data};

    Fixture() {
        data.seed(10);
        QVERIFY(server.listen());
        configure({{u"UserName"_s, data.user},
                   {u"Password"_s, data.password},
                   {u"ServiceURL"_s, server.url()},
                   {u"MaxPost"_s, u"10000"_s}});
        start();
        mainForm->Timer->stop(); // the tests tick by hand
    }

    void ticks(int count) {
        for (int i = 0; i < count; ++i) {
            mainForm->Timer_Timer();
        }
    }
    QStringList messages() {
        QStringList texts;
        for (const QString& line : ctx->log.lines()) {
            texts.append(line.mid(10));
        }
        return texts;
    }
    void checksEvery(const QString& minutes) {
        ctx->options.check_update = true;
        ctx->options.time_update = minutes;
    }
};

} // namespace

class AutoCheckTest : public QObject {
    Q_OBJECT

private slots:
    void theInterval() {
        QCOMPARE(AutoCheck::intervalSeconds(u"10"_s), 600);
        QCOMPARE(AutoCheck::intervalSeconds(u" 3 "_s), 180);
        for (const QString& bad : {u"abc"_s, u"0"_s, u"-5"_s, u"1.5"_s, u"1441"_s, QString()}) {
            QCOMPARE(AutoCheck::intervalSeconds(bad), 600); // never a check every second
        }
        Options options;
        options.check_update = true;
        AutoCheck clock;
        for (int tick = 1; tick < 600; ++tick) {
            QVERIFY(!clock.tick(options));
        }
        QVERIFY(clock.tick(options)); // the 600th tick
        options.check_update = false;
        clock.restart();
        for (int tick = 0; tick < 100000; ++tick) {
            QVERIFY(!clock.tick(options));
        }
        QCOMPARE(clock.AutoCheckSeconds(), 600); // counting stops: nothing overflows
    }

    void theIconBlinksWhileTheTreeHoldsNewItems() {
        Fixture f;
        QVERIFY(f.mainForm->NewInTree() == 0);
        f.ticks(3);
        QVERIFY(!f.tray->showsFriendsIcon());
        f.mainForm->mnu_Get_Click();
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        QVERIFY(finished.wait(30000));
        QVERIFY(f.mainForm->NewInTree() > 0);
        f.ticks(1);
        QVERIFY(f.tray->showsFriendsIcon());
        f.ticks(1);
        QVERIFY(!f.tray->showsFriendsIcon());
        f.ticks(1);
        QVERIFY(f.tray->showsFriendsIcon());
        f.mainForm->mnu_SetAllRead_Click();
        QVERIFY(f.reloadTree());
        QCOMPARE(f.mainForm->NewInTree(), 0);
        f.ticks(2); // back to the program's icon, and it stays
        QVERIFY(!f.tray->showsFriendsIcon());
    }

    void anIdleTickTouchesNothing() {
        Fixture f;
        const qsizetype lines = f.ctx->log.lines().size();
        f.ctx->db.close(); // any use of the store would now fail and be logged
        f.ticks(1000);
        QCOMPARE(f.ctx->log.lines().size(), lines);
        QCOMPARE(f.ctx->log.failureCount(), 0);
        QVERIFY(f.server.received().isEmpty());
    }

    void aCheckRunsAtItsIntervalAndEndsSending() {
        Fixture f;
        f.checksEvery(u"1"_s);
        f.ctx->options.check_post = f.ctx->options.check_comment = false;
        f.ctx->options.check_privat = f.ctx->options.check_friends = false;
        OutgoingMessage post;
        post.header = u"Автоматом"_s;
        post.message = u"Текст"_s;
        post.userName = f.data.user;
        Outbox(f.ctx->db).addPost(post);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.ticks(59);
        QVERIFY(!finished.wait(200));
        QVERIFY(f.server.received().isEmpty());
        f.ticks(1);
        QVERIFY(finished.wait(30000));
        const QStringList lines = f.messages();
        QVERIFY(lines.contains(u"Автозакачивание::Соединяюсь с сервером..."_s));
        const QRegularExpression report(
            u"^В \\d{1,2}:\\d\\d:\\d\\d получено: постов - 0, комментариев - 0$"_s);
        QVERIFY2(std::any_of(lines.begin(), lines.end(),
                             [&](const QString& l) { return report.match(l).hasMatch(); }),
                 qPrintable(lines.join(u'\n')));
        QCOMPARE(lines.last(), u"Операция завершена"_s);
        // Nothing was received, but the outbox went out.
        QCOMPARE(f.server.service().documents.size(), 1);
        QCOMPARE(f.server.service().documents.first().queries.first().type, u"3"_s);
        QCOMPARE(Outbox(f.ctx->db).unsentCount(MessageRef::Kind::Post), 0);
        QCOMPARE(f.mainForm->autoCheck().AutoCheckSeconds(), 0);
    }

    void aCheckWaitsForARunningReceive() {
        Fixture f;
        f.checksEvery(u"1"_s);
        f.ticks(59);
        f.server.setFault(standin::Fault::Delay, 1, 700);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.mainForm->mnu_Get_Click();
        f.ticks(5); // due, but the receive runs: no second run, not even a refusal
        QCOMPARE(f.ctx->log.failureCount(), 0);
        QVERIFY(!f.messages().contains(u"Обмен с сервером уже идёт, дождитесь его окончания."_s));
        QVERIFY(!f.messages().contains(u"Автозакачивание::Соединяюсь с сервером..."_s));
        QVERIFY(finished.wait(30000));
        f.ticks(1); // the next tick starts it
        QVERIFY(finished.wait(30000));
        QVERIFY(f.messages().contains(u"Автозакачивание::Соединяюсь с сервером..."_s));
    }

    void theSettingsWindow() {
        Fixture f;
        f.mainForm->Timer->start();
        f.ticks(30);
        f.mainForm->mnu_update_Click();
        QVERIFY(!f.mainForm->Timer->isActive()); // no ticks while it is open
        auto* form = f.mainForm->findChild<SetUpdForm*>();
        QVERIFY(form && form->isVisible());
        form->CheckUpd->setChecked(true);
        form->Check_privat->setChecked(false);
        form->timeText->setText(u"0"_s);
        form->Command1_Click();
        QVERIFY(f.prompts.messages.last().text.startsWith(
            u"Интервал проверки - целое число минут от 1 до 1440"_s));
        QVERIFY(form->isVisible());
        form->timeText->setText(u"5"_s);
        form->Command1_Click();
        QVERIFY(!form->isVisible());
        QVERIFY(f.mainForm->Timer->isActive());
        QCOMPARE(f.mainForm->autoCheck().AutoCheckSeconds(), 0); // a full interval from now
        QVERIFY(f.ctx->options.check_update && !f.ctx->options.check_privat);
        QCOMPARE(f.userStore.value(u"options/time_update"_s).toString(), u"5"_s);
        QCOMPARE(f.userStore.value(u"options/check_privat"_s).toString(), u"0"_s);

        // Closed without saving: the changes go, the clock goes on.
        f.mainForm->mnu_update_Click();
        form->CheckUpd->setChecked(false);
        form->reject();
        QVERIFY(f.mainForm->Timer->isActive());
        QVERIFY(f.ctx->options.check_update);
    }

    void aCheckThatFindsSomethingNotifiesWhileHidden() {
        FakeNotifications service;
        QDBusConnection bus = QDBusConnection::sessionBus();
        QVERIFY2(bus.isConnected(), "run under dbus-run-session");
        QVERIFY(bus.registerObject(u"/org/freedesktop/Notifications"_s, &service,
                                   QDBusConnection::ExportAllSlots));
        QVERIFY(bus.registerService(u"org.freedesktop.Notifications"_s));

        Fixture f;
        f.checksEvery(u"1"_s);
        f.mainForm->hide(); // in the notification area
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.ticks(60);
        QVERIFY(finished.wait(30000));
        QTRY_COMPARE(service.bodies.size(), 1);
        QVERIFY2(QRegularExpression(u"^Kordenet: новых постов [1-9]\\d*, комментариев \\d+, "
                                    u"личных \\d+$"_s)
                     .match(service.bodies.first())
                     .hasMatch(),
                 qPrintable(service.bodies.first()));

        // Its click opens the window on the first new item.
        const QString firstNew =
            f.mainForm->treeModel()->keyOf(f.mainForm->treeModel()->firstNew());
        QVERIFY(!firstNew.isEmpty());
        bus.send(QDBusMessage::createSignal(u"/org/freedesktop/Notifications"_s,
                                            u"org.freedesktop.Notifications"_s, u"ActionInvoked"_s)
                 << 1u << u"default"_s);
        QTRY_VERIFY(f.mainForm->isVisible());
        QCOMPARE(f.mainForm->selectedKey(), firstNew);

        // Off in the settings: the next finding stays quiet.
        f.ctx->options.show_notifications = false;
        f.mainForm->hide();
        f.data.addPost(f.data.buddies.first(), u"Ещё"_s, u"Новое"_s,
                       standin::StandinData::now().addSecs(60));
        f.ticks(60);
        QVERIFY(finished.wait(30000));
        QCOMPARE(service.bodies.size(), 1);
        bus.unregisterService(u"org.freedesktop.Notifications"_s);
        bus.unregisterObject(u"/org/freedesktop/Notifications"_s);
    }
};

QTEST_MAIN(AutoCheckTest)
#include "tst_autocheck.moc"
