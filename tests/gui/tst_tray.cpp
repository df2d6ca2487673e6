#include "Dialog.h"
#include "GuiFixture.h"
#include "SettingsForm.h"
#include "app/Constants.h"

#include <QAction>
#include <QMenu>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

// Records the names of the windows that are asked to close, in order.
class CloseRecorder : public QObject {
public:
    QStringList closed;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Close && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow()) {
            closed.append(watched->objectName());
        }
        return false;
    }
};

} // namespace

class TrayTest : public QObject {
    Q_OBJECT

private slots:
    void menuAndTip() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.start();
        QCOMPARE(f.tray->icon()->toolTip(), u"ORV Client"_s);
        QStringList items;
        for (const QAction* action : f.tray->mnutr_popup()->actions()) {
            items.append(action->isSeparator() ? u"-"_s : action->text());
        }
        QCOMPARE(items, QStringList({u"Показать главное окно"_s, u"-"_s, u"Получить"_s, u"-"_s,
                                     u"Выход"_s}));
    }

    void iconTogglesTheMainWindow() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        MainForm& form = f.start();
        QVERIFY(form.isVisible());
        f.tray->iconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(!form.isVisible());
        f.tray->iconActivated(QSystemTrayIcon::Trigger); // a click leaves a hidden window hidden
        QVERIFY(!form.isVisible());
        f.tray->iconActivated(QSystemTrayIcon::DoubleClick);
        QVERIFY(form.isVisible());
        f.tray->iconActivated(QSystemTrayIcon::Trigger);
        QVERIFY(form.isVisible());

        form.hide();
        f.tray->mnutr_open_Click();
        QVERIFY(form.isVisible());
    }

    void getRunsTheReceiveCommandAndHides() {
        test::GuiFixture f;
        f.configure({{u"UserName"_s, u"me"_s}, {u"ServiceURL"_s, u"http://127.0.0.1:9"_s}});
        MainForm& form = f.start();
        QSignalSpy finished(&form, &MainForm::exchangeFinished);
        f.tray->muntr_Get_Click();
        QVERIFY(!form.isVisible());
        QVERIFY(finished.wait(30000));
        QVERIFY(f.ctx->log.currentText().endsWith(u"Получено: постов - 0, комментариев - 0"_s));
    }

    void exitClosesWindowsInOrderAndRemovesTheIcon() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        MainForm& form = f.start();
        form.mnu_Setting_Click();
        Dialog dialog(u"Отчёт"_s, u"текст"_s);
        dialog.show();

        CloseRecorder recorder;
        qApp->installEventFilter(&recorder);
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        QAction* exit = f.tray->mnutr_popup()->findChild<QAction*>(u"mnutr_exit"_s);
        QVERIFY(exit);
        exit->trigger();
        qApp->removeEventFilter(&recorder);

        QCOMPARE(recorder.closed, QStringList({u"Dialog"_s, u"MainForm"_s, u"SettingsForm"_s}));
        QCOMPARE(form.windowTitle(), QString());
        QVERIFY(!form.isVisible());
        QVERIFY(!dialog.isVisible());
        QVERIFY(!f.tray->icon()->isVisible());
        QCOMPARE(exited.count(), 1);
    }

    void closingTheWindowWithoutANotificationAreaExits() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        MainForm& form = f.start();
        QVERIFY(!TrayForm::notificationAreaAvailable()); // offscreen has none
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        form.close();
        QVERIFY(exited.wait(2000));
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), QString());
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
