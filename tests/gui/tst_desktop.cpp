#include "GuiFixture.h"
#include "RussianQt.h"
#include "TreeModel.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

class DesktopTest : public QObject {
    Q_OBJECT

private slots:
    void qtSpeaksRussian() {
        QVERIFY(installRussianQt(*QCoreApplication::instance()));
        QMessageBox box(QMessageBox::Question, u"?"_s, u"?"_s, QMessageBox::Yes | QMessageBox::No);
        QCOMPARE(box.button(QMessageBox::Yes)->text().remove(u'&'), u"Да"_s);
        QCOMPARE(box.button(QMessageBox::No)->text().remove(u'&'), u"Нет"_s);
    }

    void theWindowComesBackAsItWasLeft() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.start();
        f.mainForm->resize(900, 610);
        f.mainForm->tree()->setCurrentIndex(
            f.mainForm->treeModel()->indexOfKey(u"FriendPostsRoot"_s));
        f.mainForm->close(); // hidden in the notification area, or ended
        f.mainForm.reset();
        f.tray.reset();

        f.start(); // the next start
        QCOMPARE(f.mainForm->size(), QSize(900, 610));
        QCOMPARE(f.mainForm->selectedKey(), u"FriendPostsRoot"_s);
    }

    void exitAndAbout() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.start();
        QAction* exit = f.mainForm->findChild<QAction*>(u"mnu_Exit"_s);
        QCOMPARE(exit->shortcut(), QKeySequence(QKeySequence::Quit));
        f.mainForm->findChild<QAction*>(u"mnu_About"_s)->trigger();
        QCOMPARE(f.prompts.messages.last().title, u"О программе"_s);
        QVERIFY(f.prompts.messages.last().text.contains(QDir::toNativeSeparators(f.dir.path())));
        QSignalSpy exited(f.tray.get(), &TrayForm::exited);
        exit->trigger();
        QVERIFY(exited.wait(5000));
        QVERIFY(!f.mainForm->isVisible());
    }
};

QTEST_MAIN(DesktopTest)
#include "tst_desktop.moc"
