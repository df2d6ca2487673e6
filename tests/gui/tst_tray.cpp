#include "AddForm.h"
#include "CommForm.h"
#include "Dialog.h"
#include "GuiFixture.h"
#include "RelForm.h"
#include "SetMesForm.h"
#include "SetUpdForm.h"
#include "SettingsForm.h"
#include "SmileForm.h"
#include "app/Constants.h"

#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
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

    void exitClosesEveryWindowInOrderAndRemovesTheIcon() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        MainForm& form = f.start();
        const QString caption = form.windowTitle();
        form.mnu_NewPost_Click();
        QPointer<AddForm> editor = form.editor();
        emit editor->smileysRequested();
        QPointer<SmileForm> picker = editor->findChild<SmileForm*>();
        QVERIFY(picker && picker->isVisible());
        form.mnu_setcom_Click();
        QPointer<CommForm> comments = form.findChild<CommForm*>();
        QVERIFY(comments && comments->isVisible());
        QPointer<Dialog> dialog =
            new Dialog(u"Отчёт"_s, u"текст"_s, &form); // as the prompts make it
        dialog->show();
        form.mnu_Friends_Click();
        form.mnu_Setting_Click();
        form.mnu_update_Click();
        QPointer<SetUpdForm> checks = form.findChild<SetUpdForm*>();
        form.mnu_setMes_Click();
        QPointer<SetMesForm> captions = form.findChild<SetMesForm*>();
        const QList<QPointer<QWidget>> windows = {
            editor.get(),   picker.get(),        comments.get(), dialog.get(),  &form,
            form.relForm(), form.settingsForm(), checks.get(),   captions.get()};
        for (const QPointer<QWidget>& window : windows) {
            QVERIFY2(window && window->isVisible(), qPrintable(window->objectName()));
        }
        // A window of the same name that the main window does not own stays.
        QWidget stranger;
        stranger.setObjectName(u"RelForm"_s);
        stranger.show();

        CloseRecorder recorder;
        qApp->installEventFilter(&recorder);
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        QAction* exit = f.tray->mnutr_popup()->findChild<QAction*>(u"mnutr_exit"_s);
        QVERIFY(exit);
        exit->trigger();
        qApp->removeEventFilter(&recorder);

        QCOMPARE(recorder.closed, QStringList({u"AddForm"_s, u"CommForm"_s, u"Dialog"_s,
                                               u"MainForm"_s, u"RelForm"_s, u"SettingsForm"_s,
                                               u"SmileForm"_s, u"SetUpdForm"_s, u"SetMesForm"_s}));
        for (const QPointer<QWidget>& window : windows) {
            QVERIFY2(!window || !window->isVisible(), qPrintable(window->objectName()));
        }
        QVERIFY(stranger.isVisible());
        QVERIFY(form.isExiting());
        QCOMPARE(form.windowTitle(), caption); // the caption is no signal
        QVERIFY(!f.tray->icon()->isVisible());
        QCOMPARE(exited.count(), 1);
    }

    void exitSkipsClosedWindowsAndGoesOnPastAKeptEditor() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        MainForm& form = f.start();
        form.mnu_Setting_Click();
        form.settingsForm()->close();
        form.mnu_setMes_Click();
        form.findChild<SetMesForm*>()->hide(); // a dialog closed by the user is only hidden
        form.hide();                           // the main window sits in the notification area
        form.mnu_NewPost_Click();
        QPointer<AddForm> editor = form.editor();
        editor->Form_Activate();
        editor->HeadText->setText(u"Черновик"_s);

        CloseRecorder recorder;
        qApp->installEventFilter(&recorder);
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        f.prompts.answers = {false}; // the editor is not closed without saving
        f.tray->mnutr_exit_Click();
        qApp->removeEventFilter(&recorder);

        QCOMPARE(f.prompts.questions, QStringList({VersionTag + u"|Закрыть без сохранения?"_s}));
        QCOMPARE(recorder.closed, QStringList({u"AddForm"_s, u"MainForm"_s}));
        QVERIFY(editor && editor->isVisible()); // it keeps its text; the program ends all the same
        QCOMPARE(exited.count(), 1);
    }

    void closingHidesTheWindowUntilTheExitBegins() {
        {
            test::GuiFixture f;
            f.configure(u"me"_s);
            MainForm& form = f.start();
            QSignalSpy exited(f.tray.get(), &TrayForm::exited);
            QVERIFY(!form.close()); // refused: the window lives on
            QVERIFY(!form.isExiting());
            if (TrayForm::notificationAreaAvailable()) {
                QVERIFY(!form.isVisible()); // reached again through the icon
                QCoreApplication::processEvents();
                QCOMPARE(exited.count(), 0);
            } else {
                // Without a notification area a hidden window could not be
                // reached again: closing it ends the program.
                QVERIFY(form.isVisible());
                QVERIFY(exited.wait(2000));
                QVERIFY(form.isExiting());
                QVERIFY(!form.isVisible());
            }
        }
        test::GuiFixture f;
        f.configure(u"me"_s);
        MainForm& form = f.start();
        const QString caption = form.windowTitle();
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        form.beginExit();
        QVERIFY(form.close());
        QVERIFY(!form.isVisible());
        QCOMPARE(form.windowTitle(), caption);
        QCoreApplication::processEvents();
        QCOMPARE(exited.count(), 0); // closing is part of the exit, not its start
    }
};

QTEST_MAIN(TrayTest)
#include "tst_tray.moc"
