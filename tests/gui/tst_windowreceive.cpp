#include "GuiFixture.h"
#include "RunProgress.h"
#include "StandinServer.h"
#include "StoreCheck.h"
#include "TrayForm.h"
#include "TreeModel.h"
#include "app/RunControl.h"
#include "store/FetchStack.h"

#include <QAction>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

struct Fixture : test::GuiFixture {
    standin::StandinData data;
    standin::StandinServer server{data};

    explicit Fixture(const QString& postsPerBatch = u"10"_s) {
        data.seed(20);
        QVERIFY(server.listen());
        configure({{u"UserName"_s, data.user},
                   {u"Password"_s, data.password},
                   {u"ServiceURL"_s, server.url()},
                   {u"MaxPost"_s, u"10000"_s},
                   {u"PostsToGetPerOneSession"_s, postsPerBatch}});
        start();
    }

    int count(const QString& table) {
        QSqlQuery q = ctx->db.prepare(u"SELECT count(*) FROM "_s + table);
        Database::exec(q);
        return q.next() ? q.value(0).toInt() : -1;
    }
    QAction* getAction() { return mainForm->findChild<QAction*>(u"mnu_Get"_s); }
};

} // namespace

class WindowReceiveTest : public QObject {
    Q_OBJECT

private slots:
    void receiveRunsBesideTheWindow() {
        Fixture f;
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.getAction()->trigger();
        QVERIFY(!f.getAction()->isEnabled());
        QVERIFY(finished.wait(30000));
        QVERIFY(f.getAction()->isEnabled());
        QCOMPARE(f.count(u"Posts"_s), int(f.data.posts.size()));
        QCOMPARE(f.count(u"Comments"_s), int(f.data.comments.size()));
        QVERIFY2(f.mainForm->statusList()->currentText().endsWith(
                     u"Получено: постов - 20, комментариев - "_s +
                     QString::number(f.data.comments.size())),
                 qPrintable(f.mainForm->statusList()->currentText()));
        // The friends reports were shown by the window's thread.
        QCOMPARE(f.prompts.texts.size(), 2);
        QCOMPARE(f.prompts.askedOn, QThread::currentThread());
        QVERIFY(!f.ctx->settings.CheckTime_Posts.isEmpty()); // read back from the store

        f.getAction()->trigger(); // nothing new: no question about private messages
        QVERIFY(finished.wait(30000));
        QVERIFY(f.prompts.questions.isEmpty());
        QVERIFY(f.mainForm->statusList()->findText(u"Нет непрочитанных приватных сообщений"_s,
                                                   Qt::MatchEndsWith) >= 0);
    }

    void settingsChangedDuringARunAreKept() {
        Fixture f;
        f.server.setFault(standin::Fault::Delay, 1, 500);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.mainForm->mnu_Get_Click();
        // Meanwhile the user stores another page size through the settings window.
        f.ctx->db.execute(
            u"UPDATE iniSettings SET iniValue = '77' WHERE iniVariable = 'MaxPost'"_s);
        QVERIFY(finished.wait(30000));
        QSqlQuery q =
            f.ctx->db.prepare(u"SELECT iniValue FROM iniSettings WHERE iniVariable = 'MaxPost'"_s);
        Database::exec(q);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"77"_s);
        QVERIFY(!f.ctx->settings.CheckTime_Posts.isEmpty());
    }

    void secondRunIsRefusedWhileOneRuns() {
        Fixture f;
        f.server.setFault(standin::Fault::Delay, 1, 500);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.mainForm->mnu_Get_Click();
        QVERIFY(!f.getAction()->isEnabled());
        QVERIFY(!f.mainForm->findChild<QAction*>(u"mnu_Send"_s)->isEnabled());
        f.mainForm->findChild<QAction*>(u"tb_get"_s)->trigger(); // the toolbar button
        // The run's own lines may come after it: look for the refusal.
        const QStringList lines = f.ctx->log.lines();
        QVERIFY(std::any_of(lines.cbegin(), lines.cend(), [](const QString& line) {
            return line.endsWith(u"  Обмен с сервером уже идёт, дождитесь его окончания."_s);
        }));
        QVERIFY(finished.wait(30000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(f.count(u"Posts"_s), int(f.data.posts.size()));
    }

    void closingDuringARunEndsIt() {
        // With a deadline of hours, only closing can end the run: were it
        // waited for, this test would not end at all.
        Fixture f;
        f.ctx->exchangeTimeout = std::chrono::hours(5);
        f.server.setFault(standin::Fault::Silent);
        f.mainForm->mnu_Get_Click();
        QTest::qWait(200); // the run waits for an answer that never comes
        f.mainForm.reset();
    }

    void progressIsShownAndCancelLeavesTheRestWaiting() {
        Fixture f(u"5"_s);
        f.server.setFault(standin::Fault::Delay, -1, 300);
        RunProgress* progress = f.mainForm->runProgress();
        QVERIFY(f.mainForm->statusBar()->isAncestorOf(progress));
        QVERIFY(f.mainForm->statusBar()->isAncestorOf(f.mainForm->statusList()));
        QVERIFY(progress->isHidden());
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);

        f.mainForm->mnu_Get_Click();
        QVERIFY(progress->isVisible());
        QCOMPARE(f.tray->icon()->toolTip(), u"ORV Client — получение…"_s);
        // The first batch of five is stored while the second is on its way.
        QTRY_COMPARE_WITH_TIMEOUT(progress->bar()->value(), 5, 20000);
        QCOMPARE(progress->bar()->maximum(), 20);
        QCOMPARE(progress->bar()->text(), u"5 из 20"_s);
        QTest::mouseClick(progress->cancelButton(), Qt::LeftButton);
        QVERIFY(!progress->cancelButton()->isEnabled());
        QVERIFY(finished.wait(30000));

        QVERIFY(progress->isHidden());
        QCOMPARE(f.tray->icon()->toolTip(), u"ORV Client"_s);
        QCOMPARE(f.count(u"Posts"_s), 10); // the batch in flight was stored too
        QCOMPARE(f.count(u"Comments"_s), 0);
        QVERIFY(f.mainForm->statusList()->currentText().endsWith(RunControl::CancelledText));
        QCOMPARE(f.ctx->log.failureCount(), 0);
        QCOMPARE(f.mainForm->treeModel()->snapshot().NewInTree, 10); // the tree shows them

        // The next run fetches exactly the rest.
        f.server.setFault(standin::Fault::None);
        f.mainForm->mnu_Get_Click();
        QVERIFY(progress->cancelButton()->isEnabled());
        QVERIFY(finished.wait(30000));
        QCOMPARE(test::storeDifference(f.ctx->db, f.data), QString());
        QCOMPARE(FetchStack(f.ctx->db).waitingCount(FetchStack::Posts), 0);
    }

    void statusListKeepsTheLatestLines() {
        Fixture f;
        for (int i = 0; i < MainForm::MaxStatusLines + 50; ++i) {
            f.ctx->log.LogStatus(u"Строка "_s + QString::number(i));
        }
        QComboBox* status = f.mainForm->statusList();
        QTRY_COMPARE(status->count(), MainForm::MaxStatusLines);
        QVERIFY(status->itemText(status->count() - 1)
                    .endsWith(u"Строка "_s + QString::number(MainForm::MaxStatusLines + 49)));
        QCOMPARE(status->currentIndex(), status->count() - 1);
    }

    void nodeActionsGoOnDuringALongRun() {
        Fixture f;
        f.server.setFault(standin::Fault::Delay, -1, 30);
        QSignalSpy finished(f.mainForm.get(), &MainForm::exchangeFinished);
        f.mainForm->mnu_Get_Click();
        int actions = 0;
        while (finished.isEmpty()) {
            f.mainForm->mnu_SetAllRead_Click(); // writes through the window's connection
            ++actions;
            QTest::qWait(10);
        }
        QVERIFY(actions > 3);
        QCOMPARE(f.ctx->log.failureCount(), 0); // neither side found the store locked
        QCOMPARE(f.count(u"Posts"_s), int(f.data.posts.size()));
        QCOMPARE(f.count(u"Comments"_s), int(f.data.comments.size()));
    }
};

QTEST_MAIN(WindowReceiveTest)
#include "tst_windowreceive.moc"
