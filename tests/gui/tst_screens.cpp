// The composer's windows as the user meets them: each fits the screen and
// shows every caption whole. With ORV_SCREENSHOT_DIR set, each window is also
// saved there as a PNG (run under xvfb-run with QT_QPA_PLATFORM=xcb to see
// the desktop's style).
#include "AddForm.h"
#include "AddUserForm.h"
#include "CommForm.h"
#include "GuiFixture.h"
#include "SetMesForm.h"
#include "SetUpdForm.h"
#include "SmileForm.h"
#include "TrayForm.h"
#include "TreeModel.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
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
        mainForm->ReLoadTree();
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
        const bool captioned = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w);
        if (captioned && w->isVisible()) {
            QVERIFY2(w->width() >= w->minimumSizeHint().width(),
                     qPrintable(window->objectName() + u'/' + w->objectName()));
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
