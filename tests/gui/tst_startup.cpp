#include "GuiFixture.h"
#include "SetUpdForm.h"
#include "SettingsForm.h"
#include "TreeModel.h"
#include "app/Constants.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QRegularExpression>
#include <QTreeView>
#include <QtTest>

using namespace Qt::StringLiterals;
using namespace orv;

namespace {

QStringList logLines(const test::TestFolder& dir) {
    QStringList lines = QString::fromUtf8(dir.read(u"log.txt"_s)).split(u"\r\n"_s);
    if (!lines.isEmpty() && lines.constLast().isEmpty()) {
        lines.removeLast();
    }
    return lines;
}

QStringList treeKeys(const MainForm& form) {
    QStringList keys;
    const TreeSnapshot& tree = form.treeModel()->snapshot();
    for (const TreeNode& node : tree.nodes) {
        keys.append(tree.key(node));
    }
    return keys;
}

const QRegularExpression kStartedLine(u"^\\d\\d:\\d\\d:\\d\\d  Программа запущена$"_s);

} // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void firstStartInAnEmptyFolder() {
        test::GuiFixture f;
        bool settingsShownFirst = false;
        f.prompts.onInform = [&] {
            settingsShownFirst =
                f.mainForm->settingsForm() && f.mainForm->settingsForm()->isVisible();
        };
        MainForm& form = f.start();

        QVERIFY(QFile::exists(f.dir.file(u"database.mdb"_s)));
        QVERIFY(QFileInfo(f.dir.file(u"tmp"_s)).isDir());
        const QStringList lines = logLines(f.dir);
        QCOMPARE(lines.size(), 1);
        QVERIFY2(kStartedLine.match(lines.first()).hasMatch(), qPrintable(lines.first()));
        QCOMPARE(form.statusList()->currentText(), lines.first());

        QCOMPARE(form.windowTitle(), u" - ORV v.0.7.31c (главная форма)"_s);
        QVERIFY(form.isVisible());
        QVERIFY(form.settingsForm() && form.settingsForm()->isVisible());
        QVERIFY(settingsShownFirst);
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages[0].title, VersionTag);
        QCOMPARE(f.prompts.messages[0].text, u"Перед использованием программы, настройте её."_s);
        QCOMPARE(f.prompts.messages[0].icon, UserPrompts::Icon::Critical);
        QVERIFY(!QApplication::overrideCursor());
    }

    void configuredStartShowsTheUserAndTheFixedNodes() {
        test::GuiFixture f;
        f.configure(u"Маша"_s);
        MainForm& form = f.start();
        QCOMPARE(form.windowTitle(), u"Маша - ORV v.0.7.31c (главная форма)"_s);
        QVERIFY(!form.settingsForm());
        QVERIFY(f.prompts.messages.isEmpty());
        QCOMPARE(f.ctx->settings.UserName, u"Маша"_s);
        QCOMPARE(treeKeys(form), QStringList({u"MyDiaryRoot"_s, u"key-Маша"_s, u"MyPrivates"_s,
                                              u"MyForums"_s, u"FriendPostsRoot"_s}));
        const QModelIndex root = form.treeModel()->index(0, 0);
        QCOMPARE(root.data().toString(), u"Мой дневник"_s);
        QCOMPARE(form.treeModel()->rowCount(root), 3);
        QCOMPARE(form.treeModel()->index(1, 0, root).data().toString(), u"Мои личные сообщения"_s);
        QCOMPARE(form.treeModel()->index(1, 0).data().toString(), u"Дневники друзей"_s);
        QVERIFY(form.tree()->isExpanded(root));
        QVERIFY(!form.treeModel()->index(0, 0).data(Qt::DecorationRole).isNull());
    }

    void previousRunIsForgotten() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.dir.write(u"log.txt"_s, QByteArray(200000, 'x') + "\r\n");
        {
            Database db(f.dir.file(u"database.mdb"_s));
            db.open();
            db.execute(u"INSERT INTO tmp_MessagesToGet (ID, Type, Direction, ErrCode) VALUES "
                       u"('7', 'get_new_posts', 'in', NULL), ('8', 'get_new_posts', 'in', "
                       u"'welldone'), ('9', 'get_new_comments', 'in', 'error')"_s);
        }
        f.start();
        const QStringList lines = logLines(f.dir);
        QCOMPARE(lines.size(), 1);
        QVERIFY(kStartedLine.match(lines.first()).hasMatch());
        // What still waits is fetched by the next run; the rest is forgotten.
        QSqlQuery q = f.ctx->db.prepare(u"SELECT group_concat(ID) FROM tmp_MessagesToGet"_s);
        Database::exec(q);
        QVERIFY(q.next());
        QCOMPARE(q.value(0).toString(), u"7"_s);
    }

    void optionsAreLoaded() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.userStore.setValue(u"options/check_update"_s, u"1"_s);
        f.userStore.setValue(u"options/comment_type"_s, u"no"_s);
        f.start();
        QVERIFY(f.ctx->options.check_update);
        QCOMPARE(f.ctx->options.comment_type, u"no"_s);
    }

    void theTreeIconsAreBuiltIn() {
        // A first start in a folder without img/ shows everything.
        test::GuiFixture f(test::TestFolder::Icons::None);
        f.configure(u"me"_s);
        MainForm& form = f.start();
        QVERIFY(form.isVisible());
        QCOMPARE(f.ctx->log.failureCount(), 0);
        QVERIFY(f.ctx->db.isOpen());
        const QModelIndex root = form.treeModel()->index(0, 0);
        QVERIFY(!form.treeModel()->data(root, Qt::DecorationRole).value<QIcon>().isNull());
        QVERIFY(!QApplication::overrideCursor());
    }

    void anImgFolderOverridesTheBuiltInIcons() {
        test::GuiFixture f;
        f.configure(u"me"_s);
        QImage red(16, 16, QImage::Format_RGB32);
        red.fill(Qt::red);
        QVERIFY(red.save(f.dir.file(u"img/new_folder.bmp"_s), "BMP"));
        MainForm& form = f.start();
        const QIcon icon = form.treeModel()
                               ->data(form.treeModel()->index(0, 0), Qt::DecorationRole)
                               .value<QIcon>();
        QCOMPARE(icon.pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::red));
    }

    void startingInTheNotificationArea() {
        {
            // Without a notification area nothing could bring a hidden window back.
            test::GuiFixture f;
            f.configure(u"me"_s);
            QVERIFY(!TrayForm::notificationAreaAvailable());
            f.create().setStartHidden(true);
            f.mainForm->Form_Load();
            QVERIFY(f.mainForm->isVisible());
        }
        test::AssumedNotificationArea tray(true);
        {
            test::GuiFixture f;
            f.configure(u"me"_s);
            f.create().setStartHidden(true);
            f.mainForm->Form_Load();
            QVERIFY(f.waitForTree());
            QVERIFY(!f.mainForm->isVisible());
            // Everything else of the start ran.
            QVERIFY(kStartedLine.match(logLines(f.dir).value(0)).hasMatch());
            QCOMPARE(f.mainForm->windowTitle(), u"me - ORV v.0.7.31c (главная форма)"_s);
            QCOMPARE(treeKeys(*f.mainForm).size(), 5);
            QVERIFY(f.mainForm->Timer->isActive());
            f.mainForm->bringForward();
            QVERIFY(f.mainForm->isVisible());
        }
        {
            test::GuiFixture f;
            f.configure(u"me"_s);
            QVERIFY(f.start().isVisible()); // not asked to
        }
    }

    void theStartInTheNotificationAreaIsAnOption() {
        test::AssumedNotificationArea tray(true);
        test::GuiFixture f;
        f.configure(u"me"_s);
        f.start();
        f.mainForm->mnu_update_Click();
        auto* form = f.mainForm->findChild<SetUpdForm*>();
        QVERIFY(form && form->isVisible());
        QCOMPARE(form->Check_startTray->text(), u"Запускать свёрнутым в трей"_s);
        QVERIFY(!form->Check_startTray->isChecked());
        form->Check_startTray->setChecked(true);
        form->Command1_Click();
        QCOMPARE(f.userStore.value(u"options/StartMinimized"_s).toString(), u"1"_s);

        // The next start stays in the notification area.
        f.mainForm.reset();
        f.tray.reset();
        f.start();
        QVERIFY(!f.mainForm->isVisible());
        f.mainForm->mnu_update_Click();
        form = f.mainForm->findChild<SetUpdForm*>();
        QVERIFY(form->Check_startTray->isChecked());
        form->Check_startTray->setChecked(false);
        form->Command1_Click();
        QCOMPARE(f.userStore.value(u"options/StartMinimized"_s).toString(), u"0"_s);
    }

    void aFirstStartInTheNotificationAreaStillAsksForTheSettings() {
        test::AssumedNotificationArea tray(true);
        test::GuiFixture f;
        f.userStore.setValue(u"options/StartMinimized"_s, u"1"_s);
        MainForm& form = f.start();
        QVERIFY(!form.isVisible());
        QVERIFY(form.settingsForm() && form.settingsForm()->isVisible());
        QCOMPARE(f.prompts.messages.size(), 1);
        QCOMPARE(f.prompts.messages[0].text, u"Перед использованием программы, настройте её."_s);
    }

    void unreadableDatabaseLeavesAUsableWindow() {
        test::GuiFixture f;
        f.dir.write(u"database.mdb"_s, QByteArray(8192, '\x01'));
        MainForm& form = f.start();
        QVERIFY(form.isVisible());
        QVERIFY2(f.ctx->log.currentText().contains(u"  MainForm.Load: "_s) &&
                     f.ctx->log.currentText().contains(u"not a database"_s),
                 qPrintable(f.ctx->log.currentText()));
        QCOMPARE(form.windowTitle(), u"ORV главная форма"_s);
        QVERIFY(treeKeys(form).isEmpty());
        QCOMPARE(f.dir.read(u"database.mdb"_s), QByteArray(8192, '\x01'));

        // The window still answers its commands; they fail in their own traps.
        form.mnu_Setting_Click();
        QVERIFY(form.settingsForm());
        QVERIFY(f.ctx->log.currentText().contains(u"  SettingsForm.Load: "_s));
        QVERIFY(!QApplication::overrideCursor());
    }
};

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
